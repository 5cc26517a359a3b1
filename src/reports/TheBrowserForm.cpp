#include "reports/TheBrowserForm.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMdiArea>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

#include "common/Twips.h"

namespace pelagon {

namespace {

// Initial placement in twips, inside the window.
constexpr double kClientWidth = 7905;
constexpr double kClientHeight = 5130;
constexpr double kStripHeight = 675;
constexpr QRectF kTitlePlacement(45, 60, 5355, 615);
constexpr QRectF kBrowserPlacement(120, 720, 4245, 4335);
constexpr int kTimerIntervalMs = 5;

const QString kInitialTitle = QStringLiteral("Species present at clicked location:");
const QString kWorking = QStringLiteral("Working...");

// "MS Sans Serif" 9.75 point bold, or the default sans serif at that size where it is missing.
QFont titleFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    if (QFontInfo(font).family() != font.family()) {
        // The family that the system's general font really resolves to.
        font.setFamilies(
            {QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family()});
    }
    return font;
}

}  // namespace

TheBrowserForm::TheBrowserForm(QMdiArea* area, PageViewFactory makeView)
    : makeView_(std::move(makeView)),
      body_(new QWidget),
      picAddress_(new QWidget(body_)),
      DrillIDtitle_(new QLabel(picAddress_)),
      notice_(new QLabel(body_)),
      detailsArea_(new QScrollArea(body_)),
      details_(new QLabel) {
    setObjectName(QStringLiteral("TheBrowserForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    body_->setObjectName(QStringLiteral("body"));
    picAddress_->setObjectName(QStringLiteral("picAddress"));
    picAddress_->setAutoFillBackground(true);
    DrillIDtitle_->setObjectName(QStringLiteral("DrillIDtitle"));
    DrillIDtitle_->setFont(titleFont());
    DrillIDtitle_->setWordWrap(true);
    DrillIDtitle_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DrillIDtitle_->setTextFormat(Qt::PlainText);
    // The strip's menu copies the position the window shows.
    for (QWidget* strip :
         {static_cast<QWidget*>(picAddress_), static_cast<QWidget*>(DrillIDtitle_)}) {
        strip->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(strip, &QWidget::customContextMenuRequested, this, [this, strip](QPoint at) {
            if (copyText_.isEmpty()) {
                return;
            }
            QMenu menu(this);
            menu.addAction(QStringLiteral("Copy position"), this, [this] { copyPosition(); });
            menu.exec(strip->mapToGlobal(at));
        });
    }
    auto* copy = new QShortcut(QKeySequence::Copy, picAddress_, nullptr, nullptr,
                               Qt::WidgetWithChildrenShortcut);
    connect(copy, &QShortcut::activated, this, [this] { copyPosition(); });
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setTextFormat(Qt::PlainText);
    notice_->setWordWrap(true);
    notice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notice_->hide();
    details_->setObjectName(QStringLiteral("details"));
    details_->setTextFormat(Qt::PlainText);
    details_->setWordWrap(true);
    details_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The details scroll in the room the page leaves below it: the window keeps its size.
    detailsArea_->setObjectName(QStringLiteral("detailsArea"));
    detailsArea_->setFrameShape(QFrame::NoFrame);
    detailsArea_->setWidgetResizable(true);
    detailsArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    detailsArea_->setWidget(details_);
    detailsArea_->hide();
    setWidget(body_);
    body_->installEventFilter(this);

    timTimer_.setInterval(kTimerIntervalMs);
    connect(&timTimer_, &QTimer::timeout, this, &TheBrowserForm::timTimer_Timer);

    if (area != nullptr) {
        area->addSubWindow(this);
    }
    hide();
}

TheBrowserForm::~TheBrowserForm() {
    timTimer_.stop();
}

void TheBrowserForm::resetControls() {
    discardView();
    setWindowTitle(QString());
    fixedCaption_.clear();
    copyText_.clear();
    notice_->clear();
    notice_->hide();
    details_->clear();
    detailsArea_->hide();
    DrillIDtitle_->setText(kInitialTitle);
    DrillIDtitle_->setGeometry(twipsToPixelsX(*this, kTitlePlacement.left()),
                               twipsToPixelsY(*this, kTitlePlacement.top()),
                               twipsToPixelsX(*this, kTitlePlacement.width()),
                               twipsToPixelsY(*this, kTitlePlacement.height()));
    if (makeView_) {
        theBrowser_ = makeView_(body_);
    }
    if (theBrowser_) {
        theBrowser_->setObjectName(QStringLiteral("theBrowser"));
        connect(theBrowser_, &PageView::downloadComplete, this,
                &TheBrowserForm::theBrowser_DownloadComplete);
        theBrowser_->show();
    }

    // The client area gets its initial size; the frame adds its own border and title bar.
    const QSize client(twipsToPixelsX(*this, kClientWidth), twipsToPixelsY(*this, kClientHeight));
    resize(client);
    if (layout() != nullptr) {
        layout()->activate();
    }
    resize(client + (client - body_->size()));
    if (layout() != nullptr) {
        layout()->activate();
    }
    picAddress_->setGeometry(0, 0, body_->width(), twipsToPixelsY(*this, kStripHeight));
    placeBrowser(kBrowserPlacement.left(), kBrowserPlacement.top(), kBrowserPlacement.width(),
                 kBrowserPlacement.height());
}

void TheBrowserForm::discardView() {
    timTimer_.stop();
    if (theBrowser_) {
        PageView* old = theBrowser_;
        theBrowser_ = nullptr;
        old->disconnect(this);
        old->stop();
        old->hide();
        // Later, so that a view whose own notification led here is not deleted under itself.
        old->deleteLater();
    }
}

void TheBrowserForm::open() {
    // The page area comes back first: the frame sizes only a visible area.
    body_->show();
    if (!open_) {
        resetControls();
        open_ = true;
    }
    // 1. Show the window, in the normal state.
    showNormal();
    // 2. Nothing to load.
    if (StartingAddress.isEmpty()) {
        return;
    }
    // 3.-4. Poll the view while it loads, and load.
    timTimer_.start();
    if (theBrowser_) {
        theBrowser_->navigate(StartingAddress);
    }
}

void TheBrowserForm::closeEvent(QCloseEvent* event) {
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) {
        open_ = false;
        discardView();
    }
}

bool TheBrowserForm::eventFilter(QObject* watched, QEvent* event) {
    // The title strip is docked to the top edge: it spans the window's width. The page view
    // keeps its margins; the notice and the details span its width under it.
    if (watched == body_ && event->type() == QEvent::Resize) {
        picAddress_->resize(body_->width(), picAddress_->height());
        layOutContent(false);
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

QSizeF TheBrowserForm::outerSizeTwips() const {
    return {pixelsToTwipsX(*this, width()), pixelsToTwipsY(*this, height())};
}

void TheBrowserForm::setOuterSizeTwips(double width, double height) {
    resize(twipsToPixelsX(*this, width), twipsToPixelsY(*this, height));
}

QRectF TheBrowserForm::browserPlacementTwips() const {
    if (!theBrowser_) {
        return {};
    }
    const QRect g = theBrowser_->geometry();
    return {pixelsToTwipsX(*this, g.left()), pixelsToTwipsY(*this, g.top()),
            pixelsToTwipsX(*this, g.width()), pixelsToTwipsY(*this, g.height())};
}

void TheBrowserForm::placeBrowser(double left, double top, double width, double height) {
    if (layout() != nullptr) {
        layout()->activate();  // the body has the window's current size
    }
    const QRect placed(twipsToPixelsX(*this, left), twipsToPixelsY(*this, top),
                       twipsToPixelsX(*this, width), twipsToPixelsY(*this, height));
    pageMargins_ = QMargins(placed.left(), placed.top(), body_->width() - placed.right() - 1,
                            body_->height() - placed.bottom() - 1);
    layOutContent(false);
}

void TheBrowserForm::setPageMarginsTwips(double left, double top, double right, double bottom) {
    pageMargins_ = QMargins(twipsToPixelsX(*this, left), twipsToPixelsY(*this, top),
                            twipsToPixelsX(*this, right), twipsToPixelsY(*this, bottom));
    layOutContent(false);
}

void TheBrowserForm::focus() {
    if (!open_) {
        open();
    }
    showNormal();
    raise();
    if (mdiArea() != nullptr) {
        mdiArea()->setActiveSubWindow(this);
    }
    if (theBrowser_) {
        theBrowser_->setFocus(Qt::OtherFocusReason);
    } else {
        setFocus(Qt::OtherFocusReason);
    }
}

QString TheBrowserForm::loadedCaption() const {
    if (!fixedCaption_.isEmpty()) {
        return fixedCaption_;
    }
    return theBrowser_ ? theBrowser_->title() : QString();
}

void TheBrowserForm::setFixedCaption(const QString& caption) {
    fixedCaption_ = caption;
    if (!timTimer_.isActive() && !windowTitle().isEmpty()) {
        setWindowTitle(loadedCaption());
    }
}

void TheBrowserForm::timTimer_Timer() {
    if (theBrowser_ && theBrowser_->busy()) {
        setWindowTitle(kWorking);
        return;
    }
    timTimer_.stop();
    setWindowTitle(loadedCaption());
    emit pageShown();
}

void TheBrowserForm::theBrowser_DownloadComplete() {
    if (theBrowser_) {
        setWindowTitle(loadedCaption());
    }
}

void TheBrowserForm::setTitle(const QString& text) {
    DrillIDtitle_->setText(text);
    if (text.isEmpty()) {
        return;
    }
    // The label keeps its place; it and the window grow where the text is wider than they are.
    const int needed = DrillIDtitle_->fontMetrics().horizontalAdvance(text) + 2;
    if (needed > DrillIDtitle_->width()) {
        DrillIDtitle_->resize(needed, DrillIDtitle_->height());
    }
    const int margin = twipsToPixelsX(*this, kTitlePlacement.left());
    const int missing = DrillIDtitle_->x() + DrillIDtitle_->width() + margin - body_->width();
    if (missing > 0) {
        resize(width() + missing, height());
    }
}

void TheBrowserForm::setNotice(const QString& text) {
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
    layOutContent(true);
}

void TheBrowserForm::setDetails(const QString& text) {
    details_->setText(text);
    detailsArea_->setVisible(!text.isEmpty());
    layOutContent(true);
}

void TheBrowserForm::layOutContent(bool grow) {
    if (layout() != nullptr) {
        layout()->activate();  // the body takes the window's current size
    }
    const int left = pageMargins_.left();
    const int top = pageMargins_.top();
    const int width = std::max(1, body_->width() - left - pageMargins_.right());
    const int gap = twipsToPixelsY(*this, kTitlePlacement.top());
    const bool notice = !notice_->isHidden();
    const bool details = !detailsArea_->isHidden();
    const int noticeHeight = notice ? notice_->heightForWidth(width) : 0;
    // The details wrap as they would beside a scroll bar too, so that they never need one when
    // they are given their whole height.
    const int scrollBar = detailsArea_->verticalScrollBar()->sizeHint().width();
    const int detailsHeight =
        details ? std::max(details_->heightForWidth(width),
                           details_->heightForWidth(std::max(1, width - scrollBar)))
                : 0;
    const int below = (notice ? noticeHeight + gap : 0) + (details ? detailsHeight + gap : 0);
    const int bottom = pageMargins_.bottom();
    if (grow && below > 0) {
        // Room for both beside a page of the design height (or as tall as it was, when less).
        const int designPage = twipsToPixelsY(*this, kBrowserPlacement.height());
        const int page = std::min(designPage, std::max(0, body_->height() - top - bottom));
        const int missing = top + page + below + bottom - body_->height();
        int room = missing;
        if (const QMdiArea* area = mdiArea()) {
            room = std::min(missing, area->viewport()->height() - height());
        }
        if (room > 0) {
            resize(this->width(), height() + room);
            if (layout() != nullptr) {
                layout()->activate();
            }
        }
    }
    // The page gives way to the notice and details down to its least height; then the details
    // show the whole lines that fit and scroll by lines.
    const int inside = body_->height() - top - bottom;
    int shownDetails = detailsHeight;
    if (details) {
        const int line = std::max(1, details_->fontMetrics().lineSpacing());
        const int minPage = twipsToPixelsY(*this, kMinPageHeightTwips);
        if (inside - below < minPage) {
            const int room = inside - minPage - (notice ? noticeHeight + gap : 0) - gap;
            shownDetails = std::min(detailsHeight, std::max(line, room / line * line));
        }
        detailsArea_->verticalScrollBar()->setSingleStep(line);
    }
    const int shownBelow =
        (notice ? noticeHeight + gap : 0) + (details ? shownDetails + gap : 0);
    const int pageHeight = std::max(1, inside - shownBelow);
    if (theBrowser_) {
        theBrowser_->setGeometry(left, top, width, pageHeight);
    }
    int y = top + pageHeight + gap;
    if (notice) {
        notice_->setGeometry(left, y, width, noticeHeight);
        y += noticeHeight + gap;
    }
    if (details) {
        detailsArea_->setGeometry(left, y, width, shownDetails);
    }
}

void TheBrowserForm::setCopyText(const QString& text) {
    copyText_ = text;
}

bool TheBrowserForm::copyPosition() {
    if (copyText_.isEmpty()) {
        return false;
    }
    QGuiApplication::clipboard()->setText(copyText_);
    return true;
}

}  // namespace pelagon
