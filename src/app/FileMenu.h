#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace pelagon {

// The frame's File menu: "Open map…" (Ctrl+O), "Open positions…" (Ctrl+Shift+O), "Recent maps",
// "Save view as…" (Ctrl+S) and "Quit" (Ctrl+Q). The recent maps are read again each time the
// menu opens; those that no longer exist are greyed out.
class FileMenu : public QObject {
    Q_OBJECT
public:
    // recentMaps gives the recent maps' paths, most recent first.
    FileMenu(QMenuBar* bar, std::function<QStringList()> recentMaps, QObject* parent = nullptr);

    QMenu* menu() const { return menu_; }
    QAction* openMapAction() const { return open_; }
    QAction* openPositionsAction() const { return openPositions_; }
    QMenu* recentMenu() const { return recent_; }
    QAction* quitAction() const { return quit_; }
    QAction* saveViewAction() const { return saveView_; }

    // Fills "Recent maps" from the current list: numbered entries, then "Clear recent maps".
    void refreshRecent();

    // The text of a recent map's entry: "&1 Alaska.mv — /home/me/maps/alaska", with the
    // ampersands of the path doubled so that they show.
    static QString entryText(int number, const QString& path);

signals:
    void openMapRequested();
    void openPositionsRequested();
    void recentMapChosen(const QString& path);
    void clearRecentRequested();
    void quitRequested();
    void saveViewRequested();

private:
    std::function<QStringList()> recentMaps_;
    QMenu* menu_ = nullptr;
    QAction* open_ = nullptr;
    QAction* openPositions_ = nullptr;
    QMenu* recent_ = nullptr;
    QAction* quit_ = nullptr;
    QAction* saveView_ = nullptr;
};

}  // namespace pelagon
