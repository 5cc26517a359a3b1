#include "reports/EngineView.h"

#include <QWebEngineSettings>

#include "reports/DocumentWindow.h"

namespace pelagon {

namespace {

void applySettings(QWebEngineSettings* s) {
    // Our pages are written in UTF-8 without a charset declaration.
    s->setDefaultTextEncoding(QStringLiteral("UTF-8"));
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    // The query page's links open documents with window.open from a script URL.
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
}

}  // namespace

EngineView::EngineView(QWidget* parent, QWidget* owner) : QWebEngineView(parent), owner_(owner) {
    applySettings(page()->settings());
}

QWidget* EngineView::documentOwner() const {
    return owner_ ? owner_.data() : window();
}

QWebEngineView* EngineView::createWindow(QWebEnginePage::WebWindowType type) {
    Q_UNUSED(type);
    auto* window = new DocumentWindow(documentOwner());
    window->show();
    emit documentWindowOpened(window);
    return window->view();
}

}  // namespace pelagon
