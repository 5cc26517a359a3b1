#pragma once

#include <QList>
#include <QObject>
#include <QRect>

#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;

namespace pelagon {

// The frame's Window menu. The map window and the legend are the frame's own layout: they keep
// their places side by side, beneath the other windows (results, regulations, help, positions).
// The menu offers
// - "Cascade" and "Tile", which arrange those other windows over the map window's area and leave
//   the map window and the legend where they are;
// - "Restore map layout", which puts the map window and the legend back side by side as the map
//   opened them (after the user moved, resized, minimized or maximized them);
// - "Next window" (Ctrl+F6) and "Previous window" (Ctrl+Shift+F6), in the order the windows
//   opened;
// - the open windows, the active one checked, then the document windows that pages' links opened:
//   choosing one brings it to the front, restored when it was minimized.
class WindowMenu : public QObject {
    Q_OBJECT
public:
    // layoutWindows gives the map window and the legend (the map window first; none while no
    // map is open).
    WindowMenu(QMenuBar* bar, QMdiArea* area,
               std::function<QList<QMdiSubWindow*>()> layoutWindows, QObject* parent = nullptr);

    QMenu* menu() const { return menu_; }
    QAction* cascadeAction() const { return cascade_; }
    QAction* tileAction() const { return tile_; }
    QAction* restoreLayoutAction() const { return restoreLayout_; }
    QAction* nextAction() const { return next_; }
    QAction* previousAction() const { return previous_; }
    // The entries of the open windows, in the order the windows opened (filled by refresh).
    QList<QAction*> windowActions() const { return windowActions_; }

    // The frame's windows that show, in the order they opened.
    QList<QMdiSubWindow*> openWindows() const;
    // The document windows the pages' links opened that show (windows of their own, owned by
    // the frame), in the order they opened.
    QList<QWidget*> documentWindows() const;
    // Those that Cascade and Tile arrange: the open ones other than the map window and the
    // legend, not minimized.
    QList<QMdiSubWindow*> arrangedWindows() const;
    // Where Cascade and Tile put them: the map window's rectangle in the area (the whole area when
    // no map window shows).
    QRect arrangeArea() const;

    void cascade();
    void tile();
    // Activates the window after (step 1) or before (step -1) the active one, in the order the
    // windows opened, wrapping round.
    void activateStep(int step);
    // Brings a window to the front and makes it the active one.
    void activate(QMdiSubWindow* window);

    // Lists the open windows and sets what can be chosen.
    void refresh();

signals:
    void restoreLayoutRequested();

private:
    QMdiArea* area_;
    std::function<QList<QMdiSubWindow*>()> layoutWindows_;
    QMenu* menu_ = nullptr;
    QAction* cascade_ = nullptr;
    QAction* tile_ = nullptr;
    QAction* restoreLayout_ = nullptr;
    QAction* next_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* listStart_ = nullptr;  // the separator above the list of windows
    QList<QAction*> windowActions_;
};

}  // namespace pelagon
