#include "app/Mapform.h"

#include <QContextMenuEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "app/TheMDIform.h"
#include "common/Twips.h"
#include "help/HelpBrowser.h"
#include "help/HelpCommand.h"
#include "layout/MapWindowLayout.h"
#include "reports/TheBrowserForm.h"
#include "tools/MapToolbar.h"
#include "tools/PlaceComboBox.h"

// The map window's place in the frame and the legend's, the windows its commands open
// and how they stack.

namespace pelagon {

void Mapform::showWindows() {
    if (legendWindow_) {
        legendWindow_->show();
    }
    if (QMdiSubWindow* sub = subWindow()) {
        sub->show();
        if (QMdiArea* area = sub->mdiArea()) {
            area->setActiveSubWindow(sub);
        }
    }
}

void Mapform::ShowRegs() {
    if (RegsOpened && RegsWindow) {
        if (!RegsWindow->isOpen()) {
            // Closed by the user: it opens again as it was created, with the page loaded anew.
            openRegsWindow();
        }
        RegsWindow->focus();
        return;
    }
    RegsWindow = new TheBrowserForm(ctx_.frame->mdiArea(), ctx_.makePageView);
    RegsWindow->setObjectName(QStringLiteral("RegsWindow"));
    RegsOpened = true;
    RegsWindow->StartingAddress = BaseDir + QStringLiteral("HTML/Regs.htm");
    openRegsWindow();
}

void Mapform::openRegsWindow() {
    RegsWindow->open();
    RegsWindow->setOuterSizeTwips(6500, 7500);
    const QSizeF outer = RegsWindow->outerSizeTwips();
    RegsWindow->placeBrowser(200, 200, outer.width() - 450, outer.height() - 800);
    RegsWindow->DrillIDtitle()->setText(QString());
    placeOpenedWindow(RegsWindow, 1);
    RegsWindow->repaint();
}

void Mapform::HelpCmd_Click() {
    if (!help_) {
        help_ = new HelpBrowser(ctx_.frame->mdiArea(), ctx_.makePageView);
        help_->setObjectName(QStringLiteral("HelpBrowser"));
    }
    const bool wasOpen = help_->isOpen();
    showHelp(*help_, BaseDir);
    if (!wasOpen) {
        placeOpenedWindow(help_, 2);
    }
    // Open already (perhaps behind the map window): it comes to the front on its page.
    bringToFront(help_);
}

void Mapform::bringToFront(QMdiSubWindow* window) {
    if (window == nullptr || !window->isVisible()) {
        return;
    }
    if (window->isMinimized()) {
        window->showNormal();
    }
    window->raise();
    if (QMdiArea* area = window->mdiArea()) {
        area->setActiveSubWindow(window);
    }
    if (QWidget* inside = window->widget()) {
        inside->setFocus(Qt::OtherFocusReason);
    }
}

void Mapform::keepLegendBesideMaximizedMap() {
    QMdiSubWindow* sub = subWindow();
    if (sub == nullptr || !sub->isMaximized() || !legendWindow_ || !legendWindow_->isVisible() ||
        fittingMaximized_) {
        return;
    }
    QMdiArea* area = sub->mdiArea();
    if (area == nullptr) {
        return;
    }
    const QRect viewport = area->viewport()->rect();
    const int right = std::clamp(legendWindow_->geometry().left(), 1, viewport.width());
    const QRect target(viewport.left(), viewport.top(), right - viewport.left(), viewport.height());
    if (sub->geometry() != target) {
        fittingMaximized_ = true;
        sub->setGeometry(target);
        fittingMaximized_ = false;
    }
}

bool Mapform::eventFilter(QObject* watched, QEvent* event) {
    if (watched == theMap && event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        // A right press already acted by the selected tool, as every press does; the menu is
        // for presses that do nothing else, and for the keyboard.
        if (menuEvent->reason() != QContextMenuEvent::Mouse ||
            tools.pressAction() == MapPressAction::None) {
            showMapMenu(menuEvent->globalPos(), menuEvent->pos());
        }
        return true;
    }
    // The map window and the legend are the frame's own layout, beneath every other window:
    // activating them (a click on the map) raises them, and they go back under the others.
    if (event->type() == QEvent::ZOrderChange && !lowering_ &&
        (watched == subWindow() || watched == legendWindow_)) {
        keepLayoutBeneath();
    }
    // Qt gives a maximized sub-window the whole area, and gives it again when the area changes
    // size; each time the map window is put back beside the legend.
    if (watched == subWindow() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
         event->type() == QEvent::WindowStateChange)) {
        if (event->type() == QEvent::WindowStateChange) {
            QTimer::singleShot(0, this, [this] { keepLegendBesideMaximizedMap(); });
        } else {
            keepLegendBesideMaximizedMap();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Mapform::placeOpenedWindow(QMdiSubWindow* window, int slot) {
    QMdiArea* area = ctx_.frame->mdiArea();
    const QRect visible = area->viewport()->rect();
    const QRect mapRect = subWindow() ? subWindow()->geometry() : visible;
    const int step = 28;
    int x = mapRect.right() - window->width() - step * (slot + 1);
    int y = mapRect.top() + step * (slot + 1);
    x = std::clamp(x, 0, std::max(0, visible.width() - window->width()));
    y = std::clamp(y, 0, std::max(0, visible.height() - window->height()));
    window->move(x, y);
}

void Mapform::keepLayoutBeneath() {
    lowering_ = true;
    if (legendWindow_) {
        legendWindow_->lower();
    }
    if (QMdiSubWindow* sub = subWindow()) {
        sub->lower();
    }
    lowering_ = false;
}

void Mapform::placeMapAndLegend() {
    TheMDIform* frame = ctx_.frame;
    const QSizeF frameTwips = frame->outerSizeTwips();
    const double dpiX = frame->logicalDpiXF();
    const double dpiY = frame->logicalDpiYF();
    // The map window keeps the width its toolbar and its row of buttons and lists need, its
    // frame included, where the frame is wide enough: a legend of long names gives way first.
    double leastMapWidth = 0;
    if (QMdiSubWindow* sub = subWindow(); sub != nullptr && RegionComboBox != nullptr) {
        const int frameSides = sub->width() - width();
        leastMapWidth = pixelsToTwips(frameSides + theToolbar->width() +
                                          RegionComboBox->geometry().right() + 1,
                                      dpiX) +
                        mapwindow::kControlGap;
    }
    const FramePlacement placement = placeInFrame(frameTwips.width(), frameTwips.height(),
                                                  legendWidthTwips_, leastMapWidth);
    if (QMdiSubWindow* sub = subWindow()) {
        sub->setGeometry(0, 0, twipsToPixels(placement.mapWidth, dpiX),
                         twipsToPixels(placement.mapHeight, dpiY));
    }
    if (legendWindow_) {
        legendWindow_->setGeometry(
            twipsToPixels(placement.legendLeft, dpiX), twipsToPixels(placement.legendTop, dpiY),
            twipsToPixels(placement.legendWidth, dpiX),
            twipsToPixels(placement.legendHeight, dpiY));
    }
}

void Mapform::restoreMapLayout() {
    QMdiSubWindow* sub = subWindow();
    for (QMdiSubWindow* window : {sub, legendWindow_.data()}) {
        if (window != nullptr) {
            window->showNormal();
            window->show();
        }
    }
    placeMapAndLegend();
    keepLayoutBeneath();
    if (sub != nullptr && sub->mdiArea() != nullptr) {
        sub->mdiArea()->setActiveSubWindow(sub);
    }
}

}  // namespace pelagon
