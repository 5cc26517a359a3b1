#include "app/ViewMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>

namespace pelagon {

ViewMenu::ViewMenu(QMenuBar* bar, std::function<State()> state, QObject* parent)
    : QObject(parent), state_(std::move(state)) {
    menu_ = bar->addMenu(QStringLiteral("&View"));
    menu_->setObjectName(QStringLiteral("ViewMenu"));

    scaleBar_ = menu_->addAction(QStringLiteral("&Scale bar"));
    scaleBar_->setObjectName(QStringLiteral("ScaleBarAction"));
    scaleBar_->setCheckable(true);
    connect(scaleBar_, &QAction::toggled, this, &ViewMenu::scaleBarToggled);

    graticule_ = menu_->addAction(QStringLiteral("&Graticule"));
    graticule_->setObjectName(QStringLiteral("GraticuleAction"));
    graticule_->setCheckable(true);
    connect(graticule_, &QAction::toggled, this, &ViewMenu::graticuleToggled);

    menu_->addSeparator();
    goTo_ = menu_->addAction(QStringLiteral("Go to &position…"));
    goTo_->setObjectName(QStringLiteral("GoToPositionAction"));
    goTo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(goTo_, &QAction::triggered, this, &ViewMenu::goToPositionRequested);

    copy_ = menu_->addAction(QStringLiteral("&Copy position"));
    copy_->setObjectName(QStringLiteral("CopyPositionAction"));
    // The menu shows Ctrl+C beside the action; the key itself works over the map only (the map's
    // own shortcut), so that elsewhere Ctrl+C copies as usual.
    copy_->setShortcut(QKeySequence::Copy);
    copy_->setShortcutContext(Qt::WidgetShortcut);
    copy_->setStatusTip(
        QStringLiteral("Copy the last position clicked or gone to (Ctrl+C over the map)"));
    connect(copy_, &QAction::triggered, this, &ViewMenu::copyPositionRequested);

    connect(menu_, &QMenu::aboutToShow, this, &ViewMenu::refresh);
    refresh();
}

void ViewMenu::refresh() {
    const State s = state_ ? state_() : State{};
    // Setting the marks is not a choice of the user's: no toggled signal.
    const QSignalBlocker blockBar(scaleBar_);
    const QSignalBlocker blockGrid(graticule_);
    scaleBar_->setChecked(s.scaleBar);
    graticule_->setChecked(s.graticule);
    scaleBar_->setEnabled(s.mapOpen);
    graticule_->setEnabled(s.mapOpen);
    goTo_->setEnabled(s.mapOpen);
    copy_->setEnabled(s.mapOpen && s.havePosition);
}

}  // namespace pelagon
