#pragma once

#include <QWidget>

class QToolBar;

namespace pelagon {

class EngineView;

// A separate window for a document that a page opened with window.open: 600 by 500 pixels of page,
// resizable, with the engine's scroll bars and Back, Forward and Reload buttons. It deletes itself
// when closed and lives at most as long as its owner.
class DocumentWindow : public QWidget {
    Q_OBJECT
public:
    explicit DocumentWindow(QWidget* owner);

    EngineView* view() const { return view_; }
    QToolBar* toolBar() const { return toolBar_; }

private:
    // Sizes the window so that the page area gets the given size.
    void resizePageArea(const QSize& size);

    QToolBar* toolBar_;
    EngineView* view_;
};

}  // namespace pelagon
