#pragma once

#include <QComboBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QToolBar>

#include "reports/PageView.h"

class QMdiArea;

namespace pelagon {

// The help window: a small web browser for the help pages that come with the map, a child window
// of the main frame. A toolbar with six navigation buttons, an address box that keeps the
// addresses visited (most recent first), and a page view that follows the window's size.
//
// Closing hides the window and discards its page view and address list; open() after a close
// gives a fresh window that keeps StartingAddress.
class HelpBrowser : public QMdiSubWindow {
    Q_OBJECT
public:
    // The toolbar's keys, from the left; each button's tooltip is its key.
    static const QStringList& buttonKeys();

    // Adds the (still hidden) window to the frame's area; makeView makes its page view.
    HelpBrowser(QMdiArea* area, PageViewFactory makeView);
    ~HelpBrowser() override;

    // The address loaded when the window opens; empty: open without loading anything.
    QString StartingAddress;

    // The open steps: show, lay out, place the address box; unless StartingAddress is empty, put
    // it into the address box and its list, start timTimer and navigate to it.
    void open();
    bool isOpen() const { return open_; }

    // A toolbar button by key: start timTimer, then act ("Stop" stops it again at once). A key
    // not among buttonKeys() does nothing more.
    void tbToolBar_ButtonClick(const QString& key);

    // The view completed a navigation: caption = page name; the view's address moves to the top
    // of the address list (selected) without navigating.
    void UpdateAddressHistory();

    // True while UpdateAddressHistory changes the address box.
    bool UpdatingHistory() const { return UpdatingHistory_; }

    QToolBar* tbToolBar() const { return tbToolBar_; }
    QWidget* picAddress() const { return picAddress_; }
    QLabel* lblAddress() const { return lblAddress_; }
    QComboBox* cboAddress() const { return cboAddress_; }
    PageView* brwWebBrowser() const { return brwWebBrowser_; }
    QTimer* timTimer() { return &timTimer_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resetControls();
    void discardView();
    // The layout on the client area's current size.
    void Form_Resize();
    // An item of the address list became the selected one.
    void cboAddress_Click();
    // A key typed into the address box; 13 (Enter) navigates to the typed text.
    void cboAddress_KeyPress(int KeyAscii);
    void timTimer_Timer();
    void brwWebBrowser_DownloadComplete();
    void navigateToAddressBox();

    PageViewFactory makeView_;
    QWidget* body_;
    QToolBar* tbToolBar_;
    QWidget* picAddress_;
    QLabel* lblAddress_;
    QComboBox* cboAddress_;
    QPointer<PageView> brwWebBrowser_;
    QTimer timTimer_;
    bool UpdatingHistory_ = false;
    bool open_ = false;
};

}  // namespace pelagon
