#include "app/WindowMenu.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>

#include <cmath>

namespace pelagon {

WindowMenu::WindowMenu(QMenuBar* bar, QMdiArea* area,
                       std::function<QList<QMdiSubWindow*>()> layoutWindows, QObject* parent)
    : QObject(parent), area_(area), layoutWindows_(std::move(layoutWindows)) {
    menu_ = bar->addMenu(QStringLiteral("&Window"));
    menu_->setObjectName(QStringLiteral("WindowMenu"));

    cascade_ = menu_->addAction(QStringLiteral("&Cascade"));
    cascade_->setObjectName(QStringLiteral("CascadeAction"));
    cascade_->setStatusTip(
        QStringLiteral("Arrange the windows over the map in a stack; the map and the legend stay"));
    connect(cascade_, &QAction::triggered, this, &WindowMenu::cascade);

    tile_ = menu_->addAction(QStringLiteral("&Tile"));
    tile_->setObjectName(QStringLiteral("TileAction"));
    tile_->setStatusTip(
        QStringLiteral("Arrange the windows side by side over the map; the map and the legend "
                       "stay"));
    connect(tile_, &QAction::triggered, this, &WindowMenu::tile);

    restoreLayout_ = menu_->addAction(QStringLiteral("&Restore map layout"));
    restoreLayout_->setObjectName(QStringLiteral("RestoreLayoutAction"));
    restoreLayout_->setStatusTip(
        QStringLiteral("Put the map and the legend back side by side, as the map opened"));
    connect(restoreLayout_, &QAction::triggered, this, &WindowMenu::restoreLayoutRequested);

    menu_->addSeparator();
    next_ = menu_->addAction(QStringLiteral("&Next window"));
    next_->setObjectName(QStringLiteral("NextWindowAction"));
    next_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6));
    connect(next_, &QAction::triggered, this, [this] { activateStep(1); });

    previous_ = menu_->addAction(QStringLiteral("&Previous window"));
    previous_->setObjectName(QStringLiteral("PreviousWindowAction"));
    previous_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6));
    connect(previous_, &QAction::triggered, this, [this] { activateStep(-1); });

    listStart_ = menu_->addSeparator();

    // Windows open and close while the viewer runs: the list is made when the menu opens.
    connect(menu_, &QMenu::aboutToShow, this, &WindowMenu::refresh);
    refresh();
}

QList<QMdiSubWindow*> WindowMenu::openWindows() const {
    QList<QMdiSubWindow*> open;
    for (QMdiSubWindow* window : area_->subWindowList(QMdiArea::CreationOrder)) {
        if (window->isVisible()) {
            open.append(window);
        }
    }
    return open;
}

QList<QWidget*> WindowMenu::documentWindows() const {
    QList<QWidget*> open;
    for (QWidget* w : area_->window()->findChildren<QWidget*>(QStringLiteral("DocumentWindow"))) {
        if (w->isWindow() && w->isVisible()) {
            open.append(w);
        }
    }
    return open;
}

QList<QMdiSubWindow*> WindowMenu::arrangedWindows() const {
    const QList<QMdiSubWindow*> layout = layoutWindows_ ? layoutWindows_() : QList<QMdiSubWindow*>();
    QList<QMdiSubWindow*> arranged;
    for (QMdiSubWindow* window : openWindows()) {
        if (!layout.contains(window) && !window->isMinimized()) {
            arranged.append(window);
        }
    }
    return arranged;
}

QRect WindowMenu::arrangeArea() const {
    const QRect all = area_->viewport()->rect();
    const QList<QMdiSubWindow*> layout = layoutWindows_ ? layoutWindows_() : QList<QMdiSubWindow*>();
    if (layout.isEmpty() || layout.first() == nullptr || !layout.first()->isVisible() ||
        layout.first()->isMinimized()) {
        return all;
    }
    const QRect map = layout.first()->geometry() & all;
    return map.width() >= 200 && map.height() >= 150 ? map : all;
}

void WindowMenu::cascade() {
    // In their present stacking order, the topmost last, each a title bar's height down and
    // right of the one beneath; as large as they are, where the stack leaves room for that.
    QList<QMdiSubWindow*> windows;
    const QList<QMdiSubWindow*> arranged = arrangedWindows();
    for (QMdiSubWindow* window : area_->subWindowList(QMdiArea::StackingOrder)) {
        if (arranged.contains(window)) {
            windows.append(window);
        }
    }
    if (windows.isEmpty()) {
        return;
    }
    const QRect area = arrangeArea();
    const int step =
        std::max(8, area_->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows[0]));
    const int n = static_cast<int>(windows.size());
    const QSize room =
        (area.size() - QSize(step, step) * (n - 1)).expandedTo(area.size() / 2).boundedTo(
            area.size());
    // Where the stack would leave the area, it starts again at the top.
    const int steps = std::max(1, std::min(area.width() - room.width(),
                                           area.height() - room.height()) / step + 1);
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* window = windows[i];
        window->showNormal();
        window->resize(window->size().boundedTo(room));
        const int at = (i % steps) * step;
        window->move(area.topLeft() + QPoint(at, at));
        window->raise();
    }
    activate(windows.last());
}

void WindowMenu::tile() {
    // In the order they opened, in rows of as many as the square root of their number asks,
    // filling the map window's area; the last row's windows share its whole width.
    const QList<QMdiSubWindow*> windows = arrangedWindows();
    if (windows.isEmpty()) {
        return;
    }
    QMdiSubWindow* active = area_->activeSubWindow();
    const QRect area = arrangeArea();
    const int n = static_cast<int>(windows.size());
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = (n + columns - 1) / columns;
    for (int i = 0; i < n; ++i) {
        const int row = i / columns;
        const int inRow = std::min(columns, n - row * columns);
        const int column = i % columns;
        const int left = area.left() + area.width() * column / inRow;
        const int right = area.left() + area.width() * (column + 1) / inRow;
        const int top = area.top() + area.height() * row / rows;
        const int bottom = area.top() + area.height() * (row + 1) / rows;
        QMdiSubWindow* window = windows[i];
        window->showNormal();
        window->setGeometry(left, top, right - left, bottom - top);
        window->raise();
    }
    activate(windows.contains(active) ? active : windows.last());
}

void WindowMenu::activateStep(int step) {
    const QList<QMdiSubWindow*> windows = openWindows();
    if (windows.isEmpty()) {
        return;
    }
    const int n = static_cast<int>(windows.size());
    const int at = static_cast<int>(windows.indexOf(area_->activeSubWindow()));
    const int next = at < 0 ? (step > 0 ? 0 : n - 1) : ((at + step) % n + n) % n;
    activate(windows[next]);
}

void WindowMenu::activate(QMdiSubWindow* window) {
    if (window == nullptr) {
        return;
    }
    if (window->isMinimized()) {
        window->showNormal();
    }
    area_->setActiveSubWindow(window);
    window->raise();
}

void WindowMenu::refresh() {
    for (QAction* action : windowActions_) {
        menu_->removeAction(action);
        delete action;
    }
    windowActions_.clear();
    const QList<QMdiSubWindow*> windows = openWindows();
    QMdiSubWindow* active = area_->activeSubWindow();
    for (int i = 0; i < windows.size(); ++i) {
        QString title = windows[i]->windowTitle();
        if (title.isEmpty()) {
            title = QStringLiteral("(untitled)");
        }
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const QString text =
            i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(title) : title;
        auto* action = new QAction(text, menu_);
        action->setCheckable(true);
        action->setChecked(windows[i] == active);
        menu_->addAction(action);
        const QPointer<QMdiSubWindow> window(windows[i]);
        connect(action, &QAction::triggered, this, [this, window] { activate(window); });
        windowActions_.append(action);
    }
    // The documents a page's links opened are windows of their own beside the frame: listed
    // after the frame's windows, so that one hidden behind the frame can be brought back.
    const QList<QWidget*> documents = documentWindows();
    for (QWidget* document : documents) {
        QString title = document->windowTitle();
        if (title.isEmpty()) {
            title = QStringLiteral("(untitled)");
        }
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        const qsizetype i = windowActions_.size();
        auto* action = new QAction(i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(title) : title,
                                   menu_);
        action->setCheckable(true);
        action->setChecked(document->isActiveWindow());
        menu_->addAction(action);
        const QPointer<QWidget> window(document);
        connect(action, &QAction::triggered, this, [window] {
            if (window) {
                if (window->isMinimized()) {
                    window->showNormal();
                }
                window->raise();
                window->activateWindow();
            }
        });
        windowActions_.append(action);
    }
    listStart_->setVisible(!windows.isEmpty() || !documents.isEmpty());
    const bool arranged = !arrangedWindows().isEmpty();
    cascade_->setEnabled(arranged);
    tile_->setEnabled(arranged);
    restoreLayout_->setEnabled(layoutWindows_ && !layoutWindows_().isEmpty());
}

}  // namespace pelagon
