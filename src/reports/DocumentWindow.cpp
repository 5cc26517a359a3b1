#include "reports/DocumentWindow.h"

#include <QAction>
#include <QToolBar>
#include <QVBoxLayout>

#include "reports/EngineView.h"

namespace pelagon {

namespace {
constexpr QSize kPageArea(600, 500);
}

DocumentWindow::DocumentWindow(QWidget* owner)
    : QWidget(owner, Qt::Window), toolBar_(new QToolBar(this)), view_(new EngineView(this, owner)) {
    setObjectName(QStringLiteral("DocumentWindow"));  // the frame's Window menu lists it by this name
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(view_, 1);

    toolBar_->addAction(view_->pageAction(QWebEnginePage::Back));
    toolBar_->addAction(view_->pageAction(QWebEnginePage::Forward));
    toolBar_->addAction(view_->pageAction(QWebEnginePage::Reload));

    connect(view_, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);
    connect(view_->page(), &QWebEnginePage::windowCloseRequested, this, &QWidget::close);
    // The opener asks for the page area's size (the query page asks for 600 by 500).
    connect(view_->page(), &QWebEnginePage::geometryChangeRequested, this,
            [this](const QRect& geometry) {
                if (geometry.width() > 0 && geometry.height() > 0) {
                    resizePageArea(geometry.size());
                }
            });
    resizePageArea(kPageArea);
}

void DocumentWindow::resizePageArea(const QSize& size) {
    resize(size.width(), size.height() + toolBar_->sizeHint().height());
}

}  // namespace pelagon
