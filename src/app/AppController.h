#pragma once

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <functional>

#include "app/MapSelectForm.h"
#include "app/Mapform.h"
#include "app/RecentMaps.h"
#include "app/TheMDIform.h"

class QTimer;

namespace pelagon {

class FileMenu;
class ViewMenu;
class WindowMenu;
class MessageSink;

// Runs the program's windows: the map chooser first, then the frame with one map at a time.
// The frame's File menu opens other maps in the same frame; a map that another viewer hands over
// (requestOpen) opens the same way.
class AppController : public QObject {
    Q_OBJECT
public:
    // makePageView makes the page views of the browser windows (the web engine in the program,
    // a fake in tests). The recent maps are kept in the application's QSettings.
    AppController(MessageSink& messages, PageViewFactory makePageView, QObject* parent = nullptr);
    ~AppController() override;

    // Shows the chooser, with the recent maps, on the current folder. While a map is open it opens
    // over the frame, which waits for it (window-modal); closing it keeps the map.
    void showChooser();

    // Opens a map definition directly: makes its folder the working directory and loads it. On
    // failure the user has been told why and the chooser is shown on that folder.
    bool openMapFile(const QString& path);

    // The load path shared by the chooser and openMapFile: the working directory is already the
    // map folder. Creates the frame (the first time) and the map window and runs the map window's
    // load. While a map is open the new one loads out of sight: the open map's windows and the
    // frame's caption stay until it has loaded, and then the open map's windows close and the new
    // map's show; when it cannot be opened nothing of it was shown and the working folder goes
    // back to the open map's. A projection file that cannot be used ends the program only when no
    // map was open before.
    bool loadMap(const QString& theMapFile);

    // Opens path as soon as the viewer is free: at once from the event loop, or when the message
    // box or load in progress has ended. The chooser, if it is open, gives way to it. The
    // positions files (absolute paths) open with the map once it has opened.
    void requestOpen(const QString& path, const QStringList& positions = {});

    // Opens positions files (absolute paths) on the open map, each in a Positions window as
    // File > Open positions does; false when no map is open.
    bool openPositions(const QStringList& files);

    MapSelectForm* chooser() const { return chooser_; }
    TheMDIform* frame() const { return frame_; }
    Mapform* mapform() const { return mapform_; }
    FileMenu* fileMenu() const { return fileMenu_; }
    ViewMenu* viewMenu() const { return viewMenu_; }
    WindowMenu* windowMenu() const { return windowMenu_; }
    RecentMaps& recentMaps() { return recent_; }

    // The printer dialog of the map window's print command (default: Qt's print dialog).
    void setPrinterDialogFactory(std::function<std::unique_ptr<PrinterDialog>(QWidget*)> make) {
        makePrinterDialog_ = std::move(make);
    }

    // Called when a fatal condition or Quit ends the program (default: QCoreApplication::exit).
    void setEndProgram(std::function<void(int)> end) { endProgram_ = std::move(end); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void closeChooser();
    // Hides the chooser and deletes it once control is back in the event loop (it may be the
    // caller).
    void retireChooser();
    void createFrame();
    void discardMap(Mapform* map);
    void openPending();

    MessageSink& messages_;
    PageViewFactory makePageView_;
    std::function<std::unique_ptr<PrinterDialog>(QWidget*)> makePrinterDialog_;
    QSettings settings_;
    RecentMaps recent_;
    QPointer<MapSelectForm> chooser_;
    QPointer<TheMDIform> frame_;
    QPointer<Mapform> mapform_;
    FileMenu* fileMenu_ = nullptr;
    ViewMenu* viewMenu_ = nullptr;
    WindowMenu* windowMenu_ = nullptr;
    std::function<void(int)> endProgram_;
    bool ending_ = false;   // a fatal message has been shown; the program is ending
    bool loading_ = false;  // a map's load is running (its message boxes may be open)
    struct PendingOpen {
        QString map;
        QStringList positions;
    };
    QList<PendingOpen> pending_;  // maps handed over, waiting for the viewer to be free
    QTimer* pendingTimer_ = nullptr;
};

}  // namespace pelagon
