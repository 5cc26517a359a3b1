#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

namespace pelagon {

// The frame's View menu: the scale bar and the graticule over the map (switches, remembered
// between runs), "Go to position…" (Ctrl+G) and "Copy position" (the last position pressed or
// gone to; Ctrl+C over the map does the same).
class ViewMenu : public QObject {
    Q_OBJECT
public:
    // The state the menu shows when it opens.
    struct State {
        bool mapOpen = false;
        bool scaleBar = false;
        bool graticule = false;
        bool havePosition = false;
    };

    ViewMenu(QMenuBar* bar, std::function<State()> state, QObject* parent = nullptr);

    QMenu* menu() const { return menu_; }
    QAction* scaleBarAction() const { return scaleBar_; }
    QAction* graticuleAction() const { return graticule_; }
    QAction* goToAction() const { return goTo_; }
    QAction* copyAction() const { return copy_; }

    // Sets the switches and what can be chosen from the current state.
    void refresh();

signals:
    void scaleBarToggled(bool shown);
    void graticuleToggled(bool shown);
    void goToPositionRequested();
    void copyPositionRequested();

private:
    std::function<State()> state_;
    QMenu* menu_ = nullptr;
    QAction* scaleBar_ = nullptr;
    QAction* graticule_ = nullptr;
    QAction* goTo_ = nullptr;
    QAction* copy_ = nullptr;
};

}  // namespace pelagon
