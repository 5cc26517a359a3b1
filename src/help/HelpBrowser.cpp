#include "help/HelpBrowser.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>

#include "common/Twips.h"
#include "help/HelpBrowserLayout.h"
#include "help/HelpIcons.h"

namespace pelagon {

namespace {

// Initial placement in twips, inside the window.
constexpr double kHelpClientWidth = 6540;
constexpr double kHelpClientHeight = 5130;
constexpr double kToolbarHeight = 540;
constexpr double kStripTop = 540;
constexpr double kHelpStripHeight = 675;
constexpr QRectF kLabelPlacement(45, 60, 3075, 255);
constexpr QRectF kAddressPlacement(45, 300, 3795, 315);
constexpr QRectF kViewPlacement(45, 1215, 4680, 3735);
constexpr double kAddressLeftWhenOpen = 50;
constexpr double kAddressGapBelowLabel = 15;
constexpr int kHelpTimerIntervalMs = 5;
constexpr int kEnter = 13;

const QString kHelpWorking = QStringLiteral("Working...");

}  // namespace

const QStringList& HelpBrowser::buttonKeys() {
    static const QStringList keys = {QStringLiteral("Back"), QStringLiteral("Forward"),
                                     QStringLiteral("Stop"), QStringLiteral("Refresh"),
                                     QStringLiteral("Home"), QStringLiteral("Search")};
    return keys;
}

HelpBrowser::HelpBrowser(QMdiArea* area, PageViewFactory makeView)
    : makeView_(std::move(makeView)),
      body_(new QWidget),
      tbToolBar_(new QToolBar(body_)),
      picAddress_(new QWidget(body_)),
      lblAddress_(new QLabel(QStringLiteral("&Address:"), picAddress_)),
      cboAddress_(new QComboBox(picAddress_)) {
    setObjectName(QStringLiteral("HelpBrowser"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    body_->setObjectName(QStringLiteral("body"));
    tbToolBar_->setObjectName(QStringLiteral("tbToolBar"));
    picAddress_->setObjectName(QStringLiteral("picAddress"));
    lblAddress_->setObjectName(QStringLiteral("lblAddress"));
    cboAddress_->setObjectName(QStringLiteral("cboAddress"));

    tbToolBar_->setMovable(false);
    tbToolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const QString& key : buttonKeys()) {
        QAction* action = tbToolBar_->addAction(helpToolbarIcon(key), key);
        action->setObjectName(key);
        action->setToolTip(key);
        connect(action, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
    }

    // The address box: typed text is loaded by Enter; choosing from the list loads the item.
    // Qt's own handling of Enter (adding the text to the list) and completion are switched off:
    // the list is kept by UpdateAddressHistory alone.
    cboAddress_->setEditable(true);
    cboAddress_->setInsertPolicy(QComboBox::NoInsert);
    cboAddress_->setCompleter(nullptr);
    cboAddress_->setMaxVisibleItems(20);
    cboAddress_->lineEdit()->installEventFilter(this);
    connect(cboAddress_, &QComboBox::activated, this, [this] { cboAddress_Click(); });
    lblAddress_->setBuddy(cboAddress_);

    setWidget(body_);
    body_->installEventFilter(this);

    timTimer_.setInterval(kHelpTimerIntervalMs);
    connect(&timTimer_, &QTimer::timeout, this, &HelpBrowser::timTimer_Timer);

    if (area != nullptr) {
        area->addSubWindow(this);
    }
    hide();
}

HelpBrowser::~HelpBrowser() {
    timTimer_.stop();
}

void HelpBrowser::resetControls() {
    discardView();
    setWindowTitle(QString());
    cboAddress_->clear();
    cboAddress_->setEditText(QString());
    UpdatingHistory_ = false;

    tbToolBar_->setGeometry(0, 0, body_->width(), twipsToPixelsY(*this, kToolbarHeight));
    picAddress_->setGeometry(0, twipsToPixelsY(*this, kStripTop), body_->width(),
                             twipsToPixelsY(*this, kHelpStripHeight));
    lblAddress_->setGeometry(twipsToPixelsX(*this, kLabelPlacement.left()),
                             twipsToPixelsY(*this, kLabelPlacement.top()),
                             twipsToPixelsX(*this, kLabelPlacement.width()),
                             twipsToPixelsY(*this, kLabelPlacement.height()));
    cboAddress_->setGeometry(twipsToPixelsX(*this, kAddressPlacement.left()),
                             twipsToPixelsY(*this, kAddressPlacement.top()),
                             twipsToPixelsX(*this, kAddressPlacement.width()),
                             twipsToPixelsY(*this, kAddressPlacement.height()));

    if (makeView_) {
        brwWebBrowser_ = makeView_(body_);
    }
    if (brwWebBrowser_) {
        brwWebBrowser_->setObjectName(QStringLiteral("brwWebBrowser"));
        connect(brwWebBrowser_, &PageView::downloadComplete, this,
                &HelpBrowser::brwWebBrowser_DownloadComplete);
        connect(brwWebBrowser_, &PageView::navigateComplete, this,
                &HelpBrowser::UpdateAddressHistory);
        brwWebBrowser_->setGeometry(twipsToPixelsX(*this, kViewPlacement.left()),
                                    twipsToPixelsY(*this, kViewPlacement.top()),
                                    twipsToPixelsX(*this, kViewPlacement.width()),
                                    twipsToPixelsY(*this, kViewPlacement.height()));
        brwWebBrowser_->show();
    }

    // The client area gets its initial size; the frame adds its own border and title bar.
    const QSize client(twipsToPixelsX(*this, kHelpClientWidth), twipsToPixelsY(*this, kHelpClientHeight));
    resize(client);
    if (layout() != nullptr) {
        layout()->activate();
    }
    resize(client + (client - body_->size()));
}

void HelpBrowser::discardView() {
    timTimer_.stop();
    if (brwWebBrowser_) {
        PageView* old = brwWebBrowser_;
        brwWebBrowser_ = nullptr;
        old->disconnect(this);
        old->stop();
        old->hide();
        // Later, so that a view whose own notification led here is not deleted under itself.
        old->deleteLater();
    }
}

void HelpBrowser::open() {
    // The page area comes back first: the frame sizes only a visible area.
    body_->show();
    if (!open_) {
        resetControls();
        open_ = true;
    }
    // 1.-3. Show the window, repaint the toolbar, lay out.
    showNormal();
    tbToolBar_->repaint();
    Form_Resize();
    // 4. The address box moves just below its label.
    cboAddress_->move(
        twipsToPixelsX(*this, kAddressLeftWhenOpen),
        lblAddress_->y() + lblAddress_->height() + twipsToPixelsY(*this, kAddressGapBelowLabel));
    // 5. Nothing to load.
    if (StartingAddress.isEmpty()) {
        return;
    }
    // 6.-8. Show the address, keep it in the list, poll the view while it loads, and load.
    cboAddress_->setEditText(StartingAddress);
    cboAddress_->addItem(StartingAddress);
    timTimer_.start();
    if (brwWebBrowser_) {
        brwWebBrowser_->navigate(StartingAddress);
    }
}

void HelpBrowser::closeEvent(QCloseEvent* event) {
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) {
        open_ = false;
        discardView();
    }
}

bool HelpBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == body_ && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == cboAddress_->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            cboAddress_KeyPress(kEnter);
            return true;
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void HelpBrowser::Form_Resize() {
    // The toolbar and the address strip are docked to the top: they span the window's width.
    tbToolBar_->resize(body_->width(), tbToolBar_->height());
    picAddress_->resize(body_->width(), picAddress_->height());

    const HelpBrowserSizes sizes = helpBrowserSizes(
        pixelsToTwipsX(*this, body_->width()), pixelsToTwipsY(*this, body_->height()),
        pixelsToTwipsY(*this, picAddress_->y()), pixelsToTwipsY(*this, picAddress_->height()));
    cboAddress_->resize(twipsToPixelsX(*this, sizes.addressWidth), cboAddress_->height());
    if (brwWebBrowser_) {
        brwWebBrowser_->resize(twipsToPixelsX(*this, sizes.viewWidth),
                               twipsToPixelsY(*this, sizes.viewHeight));
    }
}

void HelpBrowser::tbToolBar_ButtonClick(const QString& key) {
    timTimer_.start();
    if (!brwWebBrowser_) {
        return;
    }
    if (key == QLatin1String("Back")) {
        brwWebBrowser_->back();
    } else if (key == QLatin1String("Forward")) {
        brwWebBrowser_->forward();
    } else if (key == QLatin1String("Stop")) {
        timTimer_.stop();
        brwWebBrowser_->stop();
        setWindowTitle(brwWebBrowser_->title());
    } else if (key == QLatin1String("Refresh")) {
        brwWebBrowser_->reload();
    } else if (key == QLatin1String("Home")) {
        brwWebBrowser_->goHome();
    } else if (key == QLatin1String("Search")) {
        brwWebBrowser_->goSearch();
    }
}

void HelpBrowser::navigateToAddressBox() {
    timTimer_.start();
    if (brwWebBrowser_) {
        brwWebBrowser_->navigate(cboAddress_->currentText());
    }
}

void HelpBrowser::cboAddress_Click() {
    if (UpdatingHistory_) {
        return;
    }
    navigateToAddressBox();
}

void HelpBrowser::cboAddress_KeyPress(int KeyAscii) {
    if (KeyAscii != kEnter || UpdatingHistory_) {
        return;
    }
    navigateToAddressBox();
}

void HelpBrowser::UpdateAddressHistory() {
    if (!brwWebBrowser_) {
        return;
    }
    setWindowTitle(brwWebBrowser_->title());
    const QString address = brwWebBrowser_->currentAddress();
    const int found = cboAddress_->findText(address, Qt::MatchExactly | Qt::MatchCaseSensitive);
    UpdatingHistory_ = true;
    if (found >= 0) {
        cboAddress_->removeItem(found);
    }
    cboAddress_->insertItem(0, address);
    // Selecting the first item counts as choosing it; UpdatingHistory keeps it from navigating.
    cboAddress_->setCurrentIndex(0);
    cboAddress_Click();
    UpdatingHistory_ = false;
}

void HelpBrowser::timTimer_Timer() {
    if (brwWebBrowser_ && brwWebBrowser_->busy()) {
        setWindowTitle(kHelpWorking);
        return;
    }
    timTimer_.stop();
    setWindowTitle(brwWebBrowser_ ? brwWebBrowser_->title() : QString());
}

void HelpBrowser::brwWebBrowser_DownloadComplete() {
    if (brwWebBrowser_) {
        setWindowTitle(brwWebBrowser_->title());
    }
}

}  // namespace pelagon
