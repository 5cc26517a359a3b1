// Where the windows of the positions files go in the map's frame: clear of the scale bar, of one
// another and, where they can be, of the positions they list.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRectF>

#include <algorithm>
#include <optional>
#include <utility>

#include "app/Mapform.h"
#include "app/PositionsController.h"
#include "app/PositionsWindow.h"
#include "canvas/MapCanvas.h"

namespace pelagon {

void PositionsController::keepPositionsInSight(PositionsWindow* window, const MapRect& box) {
    QMdiArea* area = window->mdiArea();
    if (area == nullptr) {
        return;
    }
    const QRect shown = onScreen(area, box) & area->viewport()->rect();
    if (shown.isEmpty() || !window->geometry().intersects(shown)) {
        return;
    }
    // The window at the bottom of the map hides them: its top may not (each further window a
    // title bar's height lower, as at the bottom).
    QRect top = window->geometry();
    top.moveTop(mapArea(area).top() +
                28 * static_cast<int>(std::max<qsizetype>(0, windows().indexOf(window))));
    if (!top.intersects(shown)) {
        window->move(top.topLeft());
    }
}

QRect PositionsController::onScreen(QMdiArea* area, const MapRect& box) const {
    // The map's axes are the screen's, so the corners of the box on the map make it.
    const QPoint offset = map_.theMap->mapTo(area->viewport(), QPoint(0, 0));
    const QPoint topLeft = map_.theMap->toWindowPoint({box.left, box.top}).toPoint() + offset;
    const QPoint bottomRight =
        map_.theMap->toWindowPoint({box.right, box.bottom}).toPoint() + offset;
    return {topLeft, bottomRight + QPoint(1, 1)};
}

QRect placeClear(const QRect& inside, QSize size, int leastWidth, const QList<QRect>& keep,
                 const QRect& positions) {
    const auto covered = [&](const QRect& r) {
        const auto area = [](const QRect& a) {
            return static_cast<qint64>(std::max(0, a.width())) * std::max(0, a.height());
        };
        qint64 sum = area(r & positions);
        for (const QRect& k : keep) {
            sum += area(r & k);
        }
        return sum;
    };
    size = size.boundedTo(inside.size());
    std::optional<QRect> best;
    for (const bool left : {true, false}) {
        for (const bool top : {true, false}) {
            QRect candidate(QPoint(left ? inside.left() : inside.right() + 1 - size.width(),
                                   top ? inside.top() : inside.bottom() + 1 - size.height()),
                            size);
            // Narrower, down to its least width, where that clears a window or the bar beside it.
            for (const QRect& k : keep) {
                if (!candidate.intersects(k)) {
                    continue;
                }
                const int width =
                    left ? k.left() - candidate.left() : candidate.right() + 1 - (k.right() + 1);
                if (width >= leastWidth && width < candidate.width()) {
                    candidate.setWidth(width);
                    if (!left) {
                        candidate.moveRight(inside.right());
                    }
                }
            }
            if (!best || covered(candidate) < covered(*best)) {
                best = candidate;
            }
        }
    }
    return *best;
}

QRect PositionsController::mapArea(QMdiArea* area) const {
    // The map control's rectangle in the area: the window covers the map, never the toolbar,
    // the lists or the status line around it.
    const QRect all = area->viewport()->rect();
    if (!map_.theMap->isVisible()) {
        return all;
    }
    const QRect canvas(map_.theMap->mapTo(area->viewport(), QPoint(0, 0)), map_.theMap->size());
    const QRect inside = canvas & all;
    return inside.width() >= 320 && inside.height() >= 200 ? inside : all;
}

void PositionsController::placeWindow(PositionsWindow* window) {
    QMdiArea* area = window->mdiArea();
    if (area == nullptr) {
        return;
    }
    // In the map's lower right corner, clear of the scale bar in the lower left and of the
    // results windows near the top right; each further file a title bar's height higher. A
    // window takes less than half the map's width and a quarter of its height, so that the map
    // stays in view, but never less than it needs to show its buttons and three rows.
    const QRect visible = mapArea(area);
    const int step = 28 * static_cast<int>(windows().size() - 1);
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    const int width = std::min(
        visible.width(),
        std::max({visible.width() * 9 / 20, std::min(360, visible.width() / 2), least.width()}));
    const int height = std::min(visible.height(), std::max(visible.height() / 4, least.height()));
    window->resize(width, height);
    QRect placed(visible.right() + 1 - width,
                 visible.top() + std::clamp(visible.height() - height - step, 0,
                                            std::max(0, visible.height() - height)),
                 width, height);
    // On a map too narrow for it beside the scale bar, the window goes above the bar.
    if (const std::optional<QRect> bar = scaleBarInArea(area); bar && placed.intersects(*bar)) {
        placed.moveBottom(std::max(visible.top() + height - 1, bar->top() - 1 - step));
    }
    window->move(placed.topLeft());
}

std::optional<QRect> PositionsController::scaleBarInArea(QMdiArea* area) const {
    const std::optional<QRectF> bar = map_.theMap->scaleBarBox();
    if (!bar || !map_.theMap->isVisible()) {
        return std::nullopt;
    }
    return bar->toAlignedRect().translated(map_.theMap->mapTo(area->viewport(), QPoint(0, 0)));
}

}  // namespace pelagon
