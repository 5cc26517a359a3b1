#pragma once

// A page view for widget tests: it loads nothing and shows nothing, records what it was asked to
// do, and completes a load when the test says so (or at once). Header-only, so that any test can
// use it: #include "reports/FakePageView.h" and link pelagon_gui.

#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include "reports/PageAddress.h"
#include "reports/PageView.h"

namespace pelagon::test {

class FakePageView : public PageView {
public:
    static constexpr char kHome[] = "about:fake-home";
    static constexpr char kSearch[] = "about:fake-search";

    explicit FakePageView(QWidget* parent = nullptr) : PageView(parent) {}

    // --- set by the test
    bool loadsAtOnce = false;       // every load completes inside the call that starts it
    QMap<QString, QString> titles;  // page name by address as the view writes it

    // --- recorded
    QStringList navigations;  // the addresses given to navigate()
    QStringList calls;  // "navigate", "back", "forward", "reload", "goHome", "goSearch", "stop"

    // Completes the load in progress: the view moves to its address, the notifications follow.
    void finishLoading() {
        if (!pending_) {
            return;
        }
        pending_ = false;
        if (pendingIndex_ >= 0) {
            index_ = pendingIndex_;
        } else {
            history_ = history_.mid(0, index_ + 1);
            history_.append(pendingAddress_);
            index_ = static_cast<int>(history_.size()) - 1;
        }
        emit navigateComplete();
        emit downloadComplete();
    }

    QStringList history() const { return history_; }

    // The address as the view writes it: file paths become file URLs, as the engine writes them.
    static QString written(const QString& address) {
        const QUrl url = pageAddressToUrl(address);
        return url.isEmpty() ? address : url.toString();
    }

    void navigate(const QString& address) override {
        calls.append(QStringLiteral("navigate"));
        navigations.append(address);
        start(written(address), -1);
    }
    void back() override {
        calls.append(QStringLiteral("back"));
        if (index_ > 0) {
            start(history_[index_ - 1], index_ - 1);
        }
    }
    void forward() override {
        calls.append(QStringLiteral("forward"));
        if (index_ + 1 < history_.size()) {
            start(history_[index_ + 1], index_ + 1);
        }
    }
    void reload() override {
        calls.append(QStringLiteral("reload"));
        if (index_ >= 0) {
            start(history_[index_], index_);
        }
    }
    void goHome() override {
        calls.append(QStringLiteral("goHome"));
        start(QString::fromLatin1(kHome), -1);
    }
    void goSearch() override {
        calls.append(QStringLiteral("goSearch"));
        start(QString::fromLatin1(kSearch), -1);
    }
    void stop() override {
        calls.append(QStringLiteral("stop"));
        pending_ = false;
    }

    QString title() const override {
        const QString address = currentAddress();
        if (titles.contains(address)) {
            return titles.value(address);
        }
        // Like the engine: a page without a title is named by its file name.
        const QString name = QUrl(address).fileName();
        return name.isEmpty() ? address : name;
    }
    QString currentAddress() const override { return index_ >= 0 ? history_[index_] : QString(); }
    bool busy() const override { return pending_; }

private:
    void start(const QString& address, int historyIndex) {
        pending_ = true;
        pendingAddress_ = address;
        pendingIndex_ = historyIndex;
        if (loadsAtOnce) {
            finishLoading();
        }
    }

    QStringList history_;
    int index_ = -1;
    bool pending_ = false;
    QString pendingAddress_;
    int pendingIndex_ = -1;
};

// A page view factory that makes fake views and keeps track of them.
class FakePageViews {
public:
    bool loadsAtOnce = false;  // handed to every view made from now on

    PageViewFactory factory() {
        return [this](QWidget* parent) -> PageView* {
            auto* view = new FakePageView(parent);
            view->loadsAtOnce = loadsAtOnce;
            created.append(view);
            return view;
        };
    }

    FakePageView* last() const { return created.isEmpty() ? nullptr : created.last().data(); }

    QList<QPointer<FakePageView>> created;
};

}  // namespace pelagon::test
