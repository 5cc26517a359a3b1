#pragma once

#include <QLabel>
#include <QMargins>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTimer>

#include "reports/PageView.h"

class QMdiArea;
class QScrollArea;

namespace pelagon {

// The results window: one page in a page view under a title strip, a child window of the main
// frame. The location query shows its page in one (closed and opened anew for every query); the
// regulations command keeps one of its own. Its users size the window and place the view; the
// view then keeps its distances to the window's edges, so that it follows the window's size
// (maximized too), and the notice and details under it take their room from its height.
//
// Closing hides the window and discards its page view; open() after a close gives a fresh window
// (initial size, title strip and placement, a new view with an empty history) that keeps
// StartingAddress.
class TheBrowserForm : public QMdiSubWindow {
    Q_OBJECT
public:
    // Adds the (still hidden) window to the frame's area; makeView makes its page view.
    TheBrowserForm(QMdiArea* area, PageViewFactory makeView);
    ~TheBrowserForm() override;

    // The address loaded when the window opens; empty: open without loading anything.
    QString StartingAddress;

    // The open steps: show the window; unless StartingAddress is empty, start timTimer and
    // navigate to it.
    void open();
    bool isOpen() const { return open_; }

    // Outer size of the window (frame included), in twips.
    QSizeF outerSizeTwips() const;
    void setOuterSizeTwips(double width, double height);

    // Placement of theBrowser inside the window, in twips. placeBrowser places it for the
    // window's current size and keeps its distances to the four edges from then on.
    QRectF browserPlacementTwips() const;
    void placeBrowser(double left, double top, double width, double height);
    // The view's distances to the window's edges, in twips (the view fills the rest).
    void setPageMarginsTwips(double left, double top, double right, double bottom);

    // Brings the window to the front and gives it the keyboard focus; opens it first when the
    // user has closed it.
    void focus();

    // The caption the window shows once its page has loaded, instead of the page's name; empty
    // (as at opening): the page's name. "Working..." still shows while the page loads.
    void setFixedCaption(const QString& caption);
    QString fixedCaption() const { return fixedCaption_; }

    // Sets the title strip's text, plain, and widens the window where the text would be cut, so
    // that it shows whole.
    void setTitle(const QString& text);

    // A notice under the page view, plain and wrapped, the window made taller to show it whole;
    // empty hides it. Opening the window anew clears it.
    void setNotice(const QString& text);
    QLabel* notice() const { return notice_; }

    // The text "Copy position" puts on the clipboard: offered by the title strip's menu (a right
    // click on it) and by Ctrl+C on the strip; empty (as at opening) offers nothing.
    void setCopyText(const QString& text);
    QString copyText() const { return copyText_; }
    // Puts the copy text on the clipboard; false when there is none.
    bool copyPosition();
    // Details under the page view and the notice, plain and wrapped (the location query's
    // distances to boundaries), shown whole: the window grows for them (no taller than its
    // area) where the page would be left less than its design height. In a window made smaller
    // than that, the page gives way down to kMinPageHeightTwips, then the details show what
    // whole lines fit and scroll by lines. Empty hides them. Opening the window anew clears them.
    void setDetails(const QString& text);
    QLabel* details() const { return details_; }

    QScrollArea* detailsArea() const { return detailsArea_; }
    static constexpr double kMinPageHeightTwips = 1500;

    QWidget* picAddress() const { return picAddress_; }
    QLabel* DrillIDtitle() const { return DrillIDtitle_; }
    PageView* theBrowser() const { return theBrowser_; }
    QTimer* timTimer() { return &timTimer_; }

signals:
    // The page asked for at opening has loaded (or failed) and shows.
    void pageShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Puts the window and its controls in their initial state with a new page view.
    void resetControls();
    void discardView();
    void timTimer_Timer();
    void theBrowser_DownloadComplete();
    // The caption for a loaded page: the fixed one, else the page's name.
    QString loadedCaption() const;
    // Places the page view by its margins, and the notice and the details under it. With grow,
    // the window is first made tall enough (as its area allows) for both beside a page of the
    // design height.
    void layOutContent(bool grow);

    PageViewFactory makeView_;
    QWidget* body_;
    QWidget* picAddress_;
    QLabel* DrillIDtitle_;
    QLabel* notice_;
    QScrollArea* detailsArea_;
    QLabel* details_;
    QPointer<PageView> theBrowser_;
    QMargins pageMargins_;  // the view's distances to the body's edges, in pixels
    QString fixedCaption_;
    QString copyText_;
    QTimer timTimer_;
    bool open_ = false;
};

}  // namespace pelagon
