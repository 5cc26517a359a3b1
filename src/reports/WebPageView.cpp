#include "reports/WebPageView.h"

#include <QVBoxLayout>
#include <QWebEngineHistory>

#include "reports/EngineView.h"
#include "reports/PageAddress.h"

// The compiled-in pages live in a static library, so their registration is pulled in by hand, once.
static void initPageResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(pelagon_pages);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace pelagon {

namespace {
constexpr int kPendingGuardMs = 3000;
}

WebPageView::WebPageView(QWidget* parent) : PageView(parent), view_(new EngineView(this)) {
    initPageResources();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);

    pendingGuard_.setSingleShot(true);
    pendingGuard_.setInterval(kPendingGuardMs);
    connect(&pendingGuard_, &QTimer::timeout, this, [this] { pending_ = false; });

    connect(view_, &QWebEngineView::loadStarted, this, &WebPageView::onLoadStarted);
    connect(view_, &QWebEngineView::loadFinished, this, &WebPageView::onLoadFinished);
    connect(view_, &QWebEngineView::urlChanged, this, &WebPageView::onUrlChanged);
}

PageViewFactory WebPageView::factory() {
    return [](QWidget* parent) -> PageView* { return new WebPageView(parent); };
}

QString WebPageView::homeAddress() {
    return QStringLiteral("qrc:/pelagon/pages/home.htm");
}

QString WebPageView::searchAddress() {
    return QStringLiteral("qrc:/pelagon/pages/search.htm");
}

void WebPageView::expectLoad() {
    pending_ = true;
    pendingGuard_.start();
}

void WebPageView::navigate(const QString& address) {
    const QUrl url = pageAddressToUrl(address);
    if (url.isEmpty()) {
        return;
    }
    // A jump to another anchor of the page on show loads nothing; the engine only reports the
    // new address. Loading the very same address again reloads the page.
    const QUrl current = view_->url();
    const bool sameDocument =
        !loading_ && url.hasFragment() && url != current &&
        url.adjusted(QUrl::RemoveFragment) == current.adjusted(QUrl::RemoveFragment);
    if (!sameDocument) {
        expectLoad();
    }
    view_->load(url);
}

void WebPageView::back() {
    if (view_->history()->canGoBack()) {
        expectLoad();
        view_->back();
    }
}

void WebPageView::forward() {
    if (view_->history()->canGoForward()) {
        expectLoad();
        view_->forward();
    }
}

void WebPageView::reload() {
    if (!view_->url().isEmpty()) {
        expectLoad();
        view_->reload();
    }
}

void WebPageView::goHome() {
    navigate(homeAddress());
}

void WebPageView::goSearch() {
    navigate(searchAddress());
}

void WebPageView::stop() {
    view_->stop();
    loading_ = false;
    pending_ = false;
    pendingGuard_.stop();
}

QString WebPageView::title() const {
    return view_->title();
}

QString WebPageView::currentAddress() const {
    return view_->url().toString();
}

bool WebPageView::busy() const {
    return loading_ || pending_;
}

void WebPageView::onLoadStarted() {
    loading_ = true;
    pending_ = false;
    pendingGuard_.stop();
}

void WebPageView::onLoadFinished() {
    loading_ = false;
    pending_ = false;
    pendingGuard_.stop();
    emit navigateComplete();
    emit downloadComplete();
}

void WebPageView::onUrlChanged() {
    // Outside a load, a new address is a move within the page (an anchor, a script's history
    // step): it completes at once, and the page's name may have changed with it.
    if (!loading_) {
        pending_ = false;
        pendingGuard_.stop();
        emit navigateComplete();
        emit downloadComplete();
    }
}

}  // namespace pelagon
