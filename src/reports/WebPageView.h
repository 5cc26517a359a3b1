#pragma once

#include <QTimer>

#include "reports/PageView.h"

namespace pelagon {

class EngineView;

// The page view over the web engine. Its home page and its search page are pages of the program
// (compiled in): a short start page, and a page with a box that searches the web.
class WebPageView : public PageView {
    Q_OBJECT
public:
    explicit WebPageView(QWidget* parent = nullptr);

    // Makes WebPageViews; what the program hands to its browser windows.
    static PageViewFactory factory();

    static QString homeAddress();
    static QString searchAddress();

    EngineView* engine() const { return view_; }

    void navigate(const QString& address) override;
    void back() override;
    void forward() override;
    void reload() override;
    void goHome() override;
    void goSearch() override;
    void stop() override;

    QString title() const override;
    QString currentAddress() const override;
    bool busy() const override;

private:
    // Marks the view busy until the engine starts loading, in case the first poll comes first.
    void expectLoad();
    void onLoadStarted();
    void onLoadFinished();
    void onUrlChanged();

    EngineView* view_;
    bool loading_ = false;  // between the engine's load start and load end
    bool pending_ = false;  // asked to navigate, load not started yet
    // Clears pending_ when the engine never starts a load (an address it refuses at once).
    QTimer pendingGuard_;
};

}  // namespace pelagon
