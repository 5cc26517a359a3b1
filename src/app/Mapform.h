#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>

#include "app/StatusLabel.h"
#include "canvas/MapCanvas.h"
#include "common/MapTypes.h"
#include "geo/AlbersProjection.h"
#include "help/HelpBrowser.h"
#include "legend/LayerListForm.h"
#include "mapdef/LayerInfo.h"
#include "reports/PageView.h"
#include "reports/TheBrowserForm.h"
#include "tools/ExtentHistory.h"
#include "tools/PresetExtents.h"
#include "tools/PrintCommand.h"
#include "tools/ToolSelection.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelagon {

class LabelRenderer;
class MapLayer;
class MapPictureBox;
class MapToolbar;
class MessageSink;
class PrinterDialog;
class PlaceComboBox;
class PositionsController;
struct PlaceList;
class TheMDIform;

// What the map window needs from the rest of the program; handed over at construction.
struct MapformContext {
    TheMDIform* frame = nullptr;
    MessageSink* messages = nullptr;
    QString theMapFile;                   // full path of the chosen definition
    std::function<void()> closeChooser;   // closes the map chooser; it is not used again
    std::function<void(int)> endProgram;  // ends the program after a fatal message
    // The map replaces an open one: its windows stay hidden and the frame's caption stays until
    // the load has succeeded and the caller shows them (showWindows, frameCaption).
    bool hiddenUntilLoaded = false;
    PageViewFactory makePageView;         // page views of the results, regulations and help windows
    // The printer dialog of the print command; empty: Qt's print dialog.
    std::function<std::unique_ptr<PrinterDialog>(QWidget* parent)> makePrinterDialog;
};

// The map window: the map, its toolbar and controls, and the state of one opened map.
class Mapform : public QWidget {
    Q_OBJECT
public:
    explicit Mapform(MapformContext context, QWidget* parent = nullptr);
    ~Mapform() override;

    // The load sequence. Returns false when the map cannot be shown; the reason has been told to
    // the user and the caller closes the map window again.
    bool Form_Load();

    // The map window's sub-window in the frame (its outer geometry is the window's size).
    QMdiSubWindow* subWindow() const;

    // The frame's caption for this map (set by the load unless hiddenUntilLoaded).
    QString frameCaption() const { return frameCaption_; }
    // Shows the map window and the legend, the map window active (after a hidden load).
    void showWindows();
    // Puts the map window and the legend back side by side, as the map opened them, for the
    // frame's current size (after they were moved, resized, minimized or closed).
    void restoreMapLayout();

    // State of the opened map.
    QString BaseDir;  // the map folder with a trailing separator
    QVector<LayerInfo> LayerInfos;
    int LastLayer = -1;
    AlbersProjection projection;  // set by ReadProjPars

    // The map's layers, label renderers and their shared font, indexed like LayerInfos.
    std::vector<std::shared_ptr<MapLayer>> MapLayers;
    std::vector<std::shared_ptr<LabelRenderer>> LabelRenderers;
    std::shared_ptr<QFont> LabelFont;

    // Navigation state.
    ExtentHistory extentHistory;
    PresetExtents presetExtents;
    QVector<MapRect> siteExtents;
    QVector<MapRect> regionExtents;
    ToolSelection tools;  // currentTool and currentToolButton
    const QString& currentTool() const { return tools.currentTool(); }
    int currentToolButton() const { return tools.currentToolButton(); }

    // The regulations window, created by the first ShowRegs.
    bool RegsOpened = false;
    QPointer<TheBrowserForm> RegsWindow;

    // Controls.
    MapToolbar* theToolbar = nullptr;
    MapPictureBox* Picture1 = nullptr;
    QLabel* Title = nullptr;
    MapCanvas* theMap = nullptr;
    QFrame* ButtonFrame = nullptr;
    QPushButton* CmdShowRegs = nullptr;
    QPushButton* HelpCmd = nullptr;
    QLabel* lblSite = nullptr;
    QLabel* lblRegion = nullptr;
    PlaceComboBox* SiteComboBox = nullptr;
    PlaceComboBox* RegionComboBox = nullptr;
    StatusLabel* LblStatus = nullptr;  // right of the region list, as wide as the field leaves
    QLineEdit* txtPosition = nullptr;  // "Go to position", right of the button frame

    LayerListForm* legend() const { return legend_; }
    QMdiSubWindow* legendWindow() const { return legendWindow_; }
    HelpBrowser* helpWindow() const { return help_; }
    // The window of the location query's results (closed and opened anew by every query).
    TheBrowserForm* resultsWindow() const { return results_; }
    PrintCommand* printCommand() const { return print_.get(); }

    // Reads the map definition into LayerInfos, sizes the legend and places the map window and
    // the legend side by side. Returns false (after telling the user) when it cannot be read.
    bool getLayerInfo();

    // Places the map control and the button frame for the window's current size.
    void ArrangeMapWindow();

    // Reads ProjPars.alb of the map folder. On failure tells the user and ends the program.
    bool ReadProjPars();

    // The scale bar and the graticule over the map: on or off, remembered between runs
    // (QSettings "view/scaleBar", default on; "view/graticule", default off).
    void setScaleBarShown(bool shown);
    void setGraticuleShown(bool shown);
    static constexpr char kScaleBarSetting[] = "view/scaleBar";
    static constexpr char kGraticuleSetting[] = "view/graticule";

    // Read SSL_Locs.csv and Regions.csv into the two lists. A file that cannot be used is
    // reported once; its list stays empty and disabled.
    void applyViewSettings();
    void loadSiteList();
    void loadRegionList();

    // The regulations command: one regulations window, brought to the front on later requests.
    void ShowRegs();

    // The "Info" command: the help window on the map's help page.
    void HelpCmd_Click();

    // Builds the map's layers from the definition, with their legend rows and labels.
    bool LoadLayers();

    // Shows (V = 1) or hides (V = 0) layer Index, records it and redraws the map.
    void changeLayerVisible(int Index, int V);

    // Toolbar click, by key and 1-based index.
    void theToolbar_ButtonClick(const QString& key, int index);

    // A press on the map, whatever the button: acts by the selected tool.
    void theMap_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double Y);

    // Pointer movement over the map: the longitude and latitude in the status line.
    void theMap_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, double x, double y);
    // The pointer has left the map: the read-out goes.
    void theMap_MouseLeave();

    // Extent history and preset regions.
    void pushExtent();
    void previousExtent();
    void zoomToPresetRegion(const QString& key);

    // A choice in the site or region list, by its 0-based index.
    void SiteComboBox_Click(int k);
    void RegionComboBox_Click(int k);

    // The location query at a pressed position of the map control.
    void doDrillID(double x, double Y);
    // The location query at a map point (a position gone to, a row of a Positions window): the
    // page, the results window, the outlines.
    void queryAtPoint(MapPoint point);

    // Goes to a position typed as people write it (parsePosition): the extent is saved on the
    // history, the map centres on it showing about kGoToAcrossNm nautical miles across (or keeps
    // its scale when it already shows less), a marker stays there until the next position or
    // query, and the Fish Tool's page for that point opens. Returns false, changing nothing,
    // when the text is not understood or lies outside the map's projection; the field's tooltip
    // and the status line say why.
    bool goToPosition(const QString& text);
    static constexpr double kGoToAcrossNm = 20.0;

    // Puts one line for a map point on the clipboard (positionClipboardText) and says so in the
    // status line. Returns false for a point outside the projection.
    bool copyPosition(MapPoint point);
    // Ctrl+G: the keyboard goes to the position field, its text selected.
    void focusPositionField();
    // The map point of the last press on the map or the last position gone to.
    const std::optional<MapPoint>& lastPosition() const { return lastPosition_; }

    // Writes the displayed extent to a file in the format of its extension (PNG, JPEG, TIFF,
    // PDF, SVG) through the renderer that prints, with the scale bar and graticule as shown.
    // width: the image's width in pixels (0: the map's size on screen), the height keeping the
    // map's shape; PDF and SVG take the map's size on screen in points at 96 dpi. Returns an
    // empty text, or the message that was shown.
    QString saveViewTo(const QString& path, int width = 0);
    // Asks for the file (and, for an image, the width) and saves the view.
    void saveViewAs();

    // The map's menu: "Copy position" (of mapPos), the scale bar and graticule switches, "Save
    // view as…". Opened by a right click where a press does nothing else (no tool selected:
    // presses on the map act by the tool whatever the button) and by the keyboard's menu key.
    void showMapMenu(QPoint globalPos, QPointF mapPos);
    // The positions files open on this map.
    PositionsController* positions() const { return positions_; }

    // Distance measurement along a path drawn from the last press on the map.
    void DoMeasure();

    // Prints the map as shown and the legend.
    void printCurrentExtent();

    // What the status line shows for a point outside the projection's domain.
    static QString noPositionText();
    // What the status line shows while the location query searches.
    static QString findingLayersText();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void placeFixed(QWidget* w, double left, double top, double width, double height);
    void applyPresetButtons();
    void createPrintCommand();
    // Reports a list file that cannot be used, fills the list box and returns the rectangles.
    QVector<MapRect> takePlaceList(const PlaceList& list, const QString& what,
                                   PlaceComboBox* combo);
    // Opens the regulations window as at its creation: size, page view placement, empty title.
    void openRegsWindow();
    // Places a browser window that has just opened inside the frame's visible area, near the
    // map window's top-right corner; slot staggers windows opened by different commands.
    void placeOpenedWindow(QMdiSubWindow* window, int slot);
    // Raises a browser window above the others and makes it the active one.
    void bringToFront(QMdiSubWindow* window);
    // A maximized map window takes the frame's area left of the legend, which stays visible.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keepLegendBesideMaximizedMap();
    // Places the map window and the legend side by side for the frame's size.
    void placeMapAndLegend();
    // The map window and the legend stay beneath the frame's other windows.
    void keepLayoutBeneath();

    MapformContext ctx_;
    QString frameCaption_;
    QPointer<LayerListForm> legend_;
    QPointer<QMdiSubWindow> legendWindow_;
    QPointer<HelpBrowser> help_;
    QPointer<TheBrowserForm> results_;
    std::unique_ptr<PrintCommand> print_;
    PositionsController* positions_ = nullptr;
    QPointF lastPress_;  // where the last press on the map was, for the measure tool
    std::optional<MapPoint> lastPosition_;  // the last press or position gone to, for Ctrl+C
    void createPositionControls();
    void showPositionProblem(const QString& text);
    bool statusShowsPosition_ = false;  // the status line holds the pointer's read-out
    bool fittingMaximized_ = false;     // the maximized map window is being fitted
    bool lowering_ = false;             // the map window and legend are being put beneath
    double legendWidthTwips_ = 0;       // the legend's width, as the load fitted it
};

}  // namespace pelagon
