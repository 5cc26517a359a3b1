#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/AreaShading.h"
#include "app/PositionsOverlay.h"
#include "common/MapTypes.h"

class QMdiArea;
class QMimeData;

namespace pelagon {

class Mapform;
class MessageSink;
class PositionsWindow;
class TimeBar;
class VisitsWindow;
struct PositionSet;
struct VisitRows;

// Where a window of the given size goes inside the map's rectangle: in the corner where it covers
// the least of the windows and boxes to keep in sight (keep) and of the positions' box together,
// each corner's window made narrower, down to leastWidth, where that clears one of keep. Corners
// are weighed upper left, lower left, upper right, lower right; the first of equals wins.
QRect placeClear(const QRect& inside, QSize size, int leastWidth, const QList<QRect>& keep,
                 const QRect& positions);

// The positions files open on a map: "Open positions…" and files dropped on the map open one
// each. Every file is read and searched off the user-interface thread while its Positions window
// shows the progress; then its positions are drawn over the map and listed in the window.
// Choosing a row centres the map on the position and marks it; a double-click runs the Fish
// Tool there; "Export CSV…" writes the table of pelagon-cli query --csv. Closing a window takes
// its positions off the map.
class PositionsController : public QObject {
    Q_OBJECT
public:
    PositionsController(Mapform& map, MessageSink& messages);
    ~PositionsController() override;

    // Asks for a file and opens it.
    void openDialog();
    // Opens a positions file (CSV or GPX) in a Positions window of its own.
    void openFile(const QString& path);

    const PositionsOverlay& overlay() const { return overlay_; }
    // The time bar under the map: shown while an open file has positions with times.
    TimeBar* timeBar() const { return timeBar_; }
    // Takes away the mark of the row chosen in a Positions window (a position gone to is marked
    // instead).
    void clearMark();
    // The windows open now, oldest first.
    QList<PositionsWindow*> windows() const;
    // Opens the Visits window of a shown file: its visits are computed off this thread.
    VisitsWindow* openVisits(const std::shared_ptr<const PositionSet>& set);
    QList<VisitsWindow*> visitsWindows() const;

    // Asks which areas to shade by the file's hours and shades them.
    void shadeDialog(PositionsWindow* window, const std::shared_ptr<const PositionSet>& set);
    // Shades the areas of a layer by a shown file's hours, computed off this thread (one shading
    // on the map at a time: it takes the place of the last), drawn as part of the layer with its
    // classes listed under the layer in the legend; shadingChanged tells when drawn. When the
    // choice gives no hours, the shading is cleared and a message says so.
    void shadeAreas(const std::shared_ptr<const PositionSet>& set, const ShadeRequest& request);
    // Takes the shading away: the layer looks as its own symbol draws it, and its classes leave
    // the legend.
    void clearShading();
    // The shading on the map; null when there is none.
    const std::shared_ptr<const AreaShade>& shading() const { return shade_; }

    // Whether a drag carries files that could be positions (local files).
    static QStringList localFiles(const QMimeData* data);

    // The search tolerance of a click on the map at its full extent: what the positions are
    // searched with (lines and points within it count as present).
    double fullExtentTolerance() const;

signals:
    // A file has been read and shown (or could not be): for tests and the status line.
    void fileShown(const QString& path, bool ok);
    // The Visits window of a file has its rows.
    void visitsShown(const QString& path);
    // The shading of the areas was drawn or taken away.
    void shadingChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Task;
    void finished(QPointer<PositionsWindow> window, std::shared_ptr<Task> task);
    void chooseRow(const std::shared_ptr<const PositionSet>& set, int row);
    void chooseVisit(const std::shared_ptr<const PositionSet>& set, const VisitRows& rows, int row);
    // Centres the map on a point, keeping the scale; a run of choices is one navigation step.
    void centreOn(MapPoint point);
    void exportTable(PositionsWindow* window, const std::shared_ptr<const PositionSet>& set);
    void placeWindow(PositionsWindow* window);
    // Hands the open files' times to the time bar, showing it or hiding it.
    void updateTimes();
    QRect mapArea(QMdiArea* area) const;
    // The box on the map in the area's coordinates.
    QRect onScreen(QMdiArea* area, const MapRect& box) const;
    // The map's scale bar in the area's coordinates, where one is shown.
    std::optional<QRect> scaleBarInArea(QMdiArea* area) const;
    // Moves a window that hides the file's positions (their box on the map) to the top of the
    // frame, where that leaves them in sight.
    void keepPositionsInSight(PositionsWindow* window, const MapRect& box);
    // Puts a shading on its layer and in the legend, in place of the last.
    void showShading(const std::shared_ptr<const AreaShade>& shade, const PositionSet* set);
    // Takes the shading off its layer and out of the legend, telling no one.
    void takeShadingOff();

    Mapform& map_;
    MessageSink& messages_;
    std::shared_ptr<const AreaShade> shade_;
    const PositionSet* shadeSet_ = nullptr;
    int shadeRun_ = 0;  // counts requests: only the latest one's result is shown
    PositionsOverlay overlay_;
    std::vector<std::shared_ptr<Task>> running_;
    QList<QPointer<PositionsWindow>> windows_;
    std::vector<std::pair<const PositionSet*, QPointer<VisitsWindow>>> visits_;
    TimeBar* timeBar_ = nullptr;
    // Each shown file's times, sorted.
    std::vector<std::pair<const PositionSet*, std::shared_ptr<const std::vector<qint64>>>> times_;
    int nextColour_ = 0;
    QString lastFolder_;
    std::optional<MapRect> centred_;  // the extent the last row choice showed
};

}  // namespace pelagon
