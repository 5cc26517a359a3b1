#include "tools/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>

#include <cmath>
#include <numbers>

#include "tools/ToolbarSymbols.h"

namespace pelagon {

namespace {

// The icon is designed on a 256-unit square.
constexpr double kDesign = 256.0;

const QColor kInk(12, 28, 58);

void paintTile(QPainter& p, const QPainterPath& tile) {
    QLinearGradient sea(QPointF(0, 8), QPointF(0, 248));
    sea.setColorAt(0, QColor(96, 186, 236));
    sea.setColorAt(0.55, QColor(28, 104, 184));
    sea.setColorAt(1, QColor(12, 52, 122));
    p.fillPath(tile, sea);
    p.setPen(QPen(QColor(8, 40, 96), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tile);
}

void paintGraticule(QPainter& p) {
    // Parallels of a conic projection are arcs about a point far below; meridians run towards it.
    // Every line ends well inside the tile, so nothing needs clipping.
    const QPointF apex(128, 520);
    QPen pen(QColor(255, 255, 255, 70), 3);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (const double radius : {330.0, 400.0, 470.0}) {
        QPainterPath arc;
        const QRectF circle(apex.x() - radius, apex.y() - radius, 2 * radius, 2 * radius);
        // Each arc spans the same 200 units across the tile.
        const double half = std::asin(100.0 / radius) * 180.0 / std::numbers::pi;
        arc.arcMoveTo(circle, 90 + half);
        arc.arcTo(circle, 90 + half, -2 * half);
        p.drawPath(arc);
    }
    for (const double angle : {-12.0, 0.0, 12.0}) {
        QTransform turn;
        turn.translate(apex.x(), apex.y());
        turn.rotate(angle);
        p.drawLine(turn.map(QPointF(0, -480)), turn.map(QPointF(0, -316)));
    }
}

void paintFish(QPainter& p) {
    // The toolbar's angelfish (24 x 22 design units), large and a little left of centre.
    QTransform t;
    t.translate(28, 36);
    t.scale(8.6, 8.6);
    const QPainterPath fish = t.map(angelfishOutline());

    // A soft shadow under the fish lifts it off the sea.
    p.fillPath(QTransform::fromTranslate(4, 6).map(fish), QColor(0, 20, 50, 70));

    QLinearGradient body(t.map(QPointF(0, 3)), t.map(QPointF(0, 19)));
    body.setColorAt(0, QColor(255, 247, 200));
    body.setColorAt(0.5, QColor(252, 226, 118));
    body.setColorAt(1, QColor(236, 190, 72));
    p.fillPath(fish, body);

    // The bands, cut to the outline at this scale so that their curved ends stay smooth.
    for (const QRectF& band : angelfishBands()) {
        QPainterPath rect;
        rect.addRect(t.mapRect(band));
        p.fillPath(fish.intersected(rect), QColor(30, 30, 44));
    }

    QPen outline(kInk, 5);
    outline.setJoinStyle(Qt::RoundJoin);
    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    p.drawPath(fish);

    const QPointF eye = t.map(QPointF(4.0, 9.6));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(eye, 11, 11);
    p.setBrush(kInk);
    p.drawEllipse(eye - QPointF(1.5, 0), 6, 6);
}

}  // namespace

void paintAppIcon(QPainter& painter, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kDesign, target.height() / kDesign);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(10, 10, 236, 236), 46, 46);
    paintTile(painter, tile);
    paintGraticule(painter);
    paintFish(painter);
    painter.restore();
}

QList<int> appIconSizes() {
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

QIcon appIcon() {
    QIcon icon;
    for (const int size : appIconSizes()) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintAppIcon(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace pelagon
