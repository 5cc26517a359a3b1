#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace pelagon {

// A web page view as the browser windows use it: navigation, the name and address of the current
// page and a busy flag, with notifications when a navigation or a download has completed. The
// program uses the real engine (WebPageView); tests use a fake.
class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr) : QWidget(parent) {}

    // Loads an address: a file path (absolute, optionally with "#anchor") or a URL.
    virtual void navigate(const QString& address) = 0;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void reload() = 0;
    // The view's own home and search pages.
    virtual void goHome() = 0;
    virtual void goSearch() = 0;
    virtual void stop() = 0;

    // The view's name of the current page (its title as the view reports it).
    virtual QString title() const = 0;
    // The current address as the view writes it (file pages as file URLs).
    virtual QString currentAddress() const = 0;
    // True from the moment a navigation is asked for until the page has loaded or failed.
    virtual bool busy() const = 0;

signals:
    // A page has finished loading (successfully or not).
    void downloadComplete();
    // The view has moved to a new address (a new page or an anchor in the same page).
    void navigateComplete();
};

// Makes the page view of a browser window, as a child of the given parent.
using PageViewFactory = std::function<PageView*(QWidget* parent)>;

}  // namespace pelagon
