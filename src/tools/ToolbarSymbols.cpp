#include "tools/ToolbarSymbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace pelagon {

namespace {

// Every symbol is drawn in a 24 x 22 unit box; the painter maps it onto the target box, so the
// shapes stay vectors at any size and device pixel ratio.

const QColor kOutline(20, 24, 36);

QPen outlinePen(double width, const QColor& colour = kOutline) {
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void drawGlobe(QPainter& p) {
    const QPointF c(12, 11);
    const double r = 10;
    QRadialGradient sea(QPointF(9, 7.5), 13);
    sea.setColorAt(0, QColor(140, 205, 255));
    sea.setColorAt(0.6, QColor(40, 125, 220));
    sea.setColorAt(1, QColor(18, 70, 160));
    QPainterPath disc;
    disc.addEllipse(c, r, r);
    p.fillPath(disc, sea);

    p.save();
    p.setClipPath(disc);
    // Two continents, rounded blobs in green.
    QPainterPath land;
    land.moveTo(4, 5);
    land.cubicTo(7, 2.5, 11, 3.5, 11.5, 6.5);
    land.cubicTo(12, 9, 9.5, 9.5, 9.5, 12);
    land.cubicTo(9.5, 15, 7, 17, 5.5, 14.5);
    land.cubicTo(4, 12, 1.5, 9, 4, 5);
    land.moveTo(14, 9);
    land.cubicTo(17, 7.5, 21, 8.5, 21.5, 11.5);
    land.cubicTo(22, 15, 19, 19.5, 15.5, 18.5);
    land.cubicTo(13.5, 17.5, 15.5, 14.5, 14, 13);
    land.cubicTo(12.5, 11.5, 12.5, 10, 14, 9);
    p.fillPath(land, QColor(70, 175, 80));
    p.strokePath(land, outlinePen(0.4, QColor(30, 100, 40)));
    // Meridians and parallels, faint.
    p.setPen(outlinePen(0.55, QColor(230, 245, 255, 150)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 4.5, r);
    p.drawLine(QPointF(12, 1), QPointF(12, 21));
    p.drawLine(QPointF(2, 11), QPointF(22, 11));
    p.drawLine(QPointF(3, 6), QPointF(21, 6));
    p.drawLine(QPointF(3, 16), QPointF(21, 16));
    p.restore();

    p.setPen(outlinePen(0.9, QColor(215, 235, 255)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
}

// A magnifying glass with its lens centred at c; the handle runs down to the right.
void drawMagnifier(QPainter& p, QPointF c, double r) {
    const QPointF a = c + QPointF(r * 0.72, r * 0.72);
    const QPointF b = c + QPointF(r * 1.62, r * 1.62);
    p.setPen(outlinePen(r * 0.62, kOutline));
    p.drawLine(a, b);
    p.setPen(outlinePen(r * 0.42, QColor(150, 95, 45)));
    p.drawLine(a, b);

    QRadialGradient glass(c - QPointF(r * 0.35, r * 0.35), r * 1.3);
    glass.setColorAt(0, QColor(235, 250, 255));
    glass.setColorAt(1, QColor(150, 205, 235));
    p.setPen(outlinePen(r * 0.34, QColor(200, 205, 215)));
    p.setBrush(glass);
    p.drawEllipse(c, r, r);
    p.setPen(outlinePen(r * 0.1, kOutline));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 1.17, r * 1.17);
    // A glint on the glass.
    p.setPen(outlinePen(r * 0.14, QColor(255, 255, 255, 220)));
    p.drawArc(QRectF(c.x() - r * 0.65, c.y() - r * 0.65, r * 1.3, r * 1.3), 100 * 16, 60 * 16);
}

void drawLensSign(QPainter& p, QPointF c, double r, bool plus) {
    p.setPen(outlinePen(r * 0.3, QColor(10, 50, 140)));
    p.drawLine(c - QPointF(r * 0.55, 0), c + QPointF(r * 0.55, 0));
    if (plus) {
        p.drawLine(c - QPointF(0, r * 0.55), c + QPointF(0, r * 0.55));
    }
}

void drawArrowAndMagnifier(QPainter& p) {
    // The arrow points left, at the extent the user comes back to.
    QPainterPath arrow;
    arrow.moveTo(0.5, 8);
    arrow.lineTo(6.5, 2.5);
    arrow.lineTo(6.5, 5.5);
    arrow.lineTo(12.5, 5.5);
    arrow.lineTo(12.5, 10.5);
    arrow.lineTo(6.5, 10.5);
    arrow.lineTo(6.5, 13.5);
    arrow.closeSubpath();
    QLinearGradient gold(QPointF(0, 2), QPointF(0, 14));
    gold.setColorAt(0, QColor(255, 240, 110));
    gold.setColorAt(1, QColor(245, 190, 20));
    p.setPen(outlinePen(0.7, QColor(110, 75, 0)));
    p.setBrush(gold);
    p.drawPath(arrow);
    drawMagnifier(p, QPointF(15.5, 12.5), 4.6);
}

void drawOpenHand(QPainter& p) {
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(6, 9.5, 12.5, 11.5), 3.5, 3.5);
    // Fingers: index, middle, ring, little, from left to right.
    const double tops[] = {3.0, 1.2, 2.2, 4.4};
    for (int i = 0; i < 4; ++i) {
        const double x = 6.1 + i * 3.1;
        hand.addRoundedRect(QRectF(x, tops[i], 2.8, 12.0 - tops[i]), 1.4, 1.4);
    }
    // The thumb, spread out to the left.
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-1.5, -6.5, 3.0, 8.5), 1.5, 1.5);
    QTransform t;
    t.translate(6.6, 16.0);
    t.rotate(-52);
    hand.addPath(t.map(thumb));
    hand = hand.simplified();

    QLinearGradient skin(QPointF(4, 0), QPointF(20, 22));
    skin.setColorAt(0, QColor(255, 228, 196));
    skin.setColorAt(1, QColor(235, 180, 135));
    p.setPen(outlinePen(0.75, QColor(90, 50, 20)));
    p.setBrush(skin);
    p.drawPath(hand);
    // Creases where the fingers meet.
    p.setPen(outlinePen(0.5, QColor(150, 95, 55)));
    for (int i = 1; i < 4; ++i) {
        const double x = 6.1 + i * 3.1 - 0.15;
        p.drawLine(QPointF(x, std::max(tops[i - 1], tops[i]) + 2.0), QPointF(x, 10.5));
    }
}

void drawAngelfish(QPainter& p) {
    const QPainterPath fish = angelfishOutline();

    QLinearGradient body(QPointF(0, 3), QPointF(0, 19));
    body.setColorAt(0, QColor(255, 245, 190));
    body.setColorAt(0.5, QColor(250, 225, 120));
    body.setColorAt(1, QColor(235, 195, 80));
    p.fillPath(fish, body);

    p.save();
    p.setClipPath(fish);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(25, 25, 35));
    for (const QRectF& band : angelfishBands()) {
        p.drawRect(band);
    }
    p.restore();

    p.setPen(outlinePen(0.6, kOutline));
    p.setBrush(Qt::NoBrush);
    p.drawPath(fish);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(4.0, 9.6), 1.25, 1.25);
    p.setBrush(kOutline);
    p.drawEllipse(QPointF(3.8, 9.6), 0.65, 0.65);
}

void drawPrinter(QPainter& p) {
    // The sheet going in at the back.
    p.setPen(outlinePen(0.6, QColor(90, 95, 110)));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(6, 1, 12, 8));
    // The body.
    QLinearGradient metal(QPointF(0, 7), QPointF(0, 17));
    metal.setColorAt(0, QColor(235, 238, 243));
    metal.setColorAt(1, QColor(160, 166, 178));
    p.setPen(outlinePen(0.8, kOutline));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(1.5, 7, 21, 10), 2, 2);
    p.setPen(outlinePen(0.9, QColor(50, 55, 70)));
    p.drawLine(QPointF(5, 13.2), QPointF(19, 13.2));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 210, 90));
    p.drawEllipse(QPointF(19.3, 9.8), 0.9, 0.9);
    // The printed sheet coming out at the front.
    p.setPen(outlinePen(0.6, QColor(90, 95, 110)));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 13.2, 13, 8.3));
    p.setPen(outlinePen(0.55, QColor(70, 110, 190)));
    for (double y = 15.5; y < 21; y += 1.8) {
        p.drawLine(QPointF(7.5, y), QPointF(16.5, y));
    }
}

void drawRulerAndArrow(QPainter& p) {
    // The span being measured: a white arrow with a head at each end.
    const double y = 5.5;
    QPainterPath arrow;
    arrow.moveTo(0.5, y);
    arrow.lineTo(5, y - 3.8);
    arrow.lineTo(5, y - 1.2);
    arrow.lineTo(19, y - 1.2);
    arrow.lineTo(19, y - 3.8);
    arrow.lineTo(23.5, y);
    arrow.lineTo(19, y + 3.8);
    arrow.lineTo(19, y + 1.2);
    arrow.lineTo(5, y + 1.2);
    arrow.lineTo(5, y + 3.8);
    arrow.closeSubpath();
    p.setPen(outlinePen(0.6, kOutline));
    p.setBrush(QColor(250, 250, 250));
    p.drawPath(arrow);

    // The ruler with ticks along its upper edge.
    QLinearGradient wood(QPointF(0, 12), QPointF(0, 21));
    wood.setColorAt(0, QColor(255, 225, 130));
    wood.setColorAt(1, QColor(225, 170, 60));
    p.setPen(outlinePen(0.7, QColor(100, 60, 10)));
    p.setBrush(wood);
    p.drawRect(QRectF(1, 12, 22, 8.5));
    p.setPen(outlinePen(0.6, QColor(70, 40, 5)));
    for (int i = 0; i <= 10; ++i) {
        const double x = 2.5 + i * 1.9;
        const double len = (i % 5 == 0) ? 4.2 : (i % 2 == 0 ? 2.8 : 1.9);
        p.drawLine(QPointF(x, 12), QPointF(x, 12 + len));
    }
}

}  // namespace

QPainterPath angelfishOutline() {
    // Facing left: a tall body, long swept-back dorsal and anal fins, a fan tail.
    QPainterPath fish;
    fish.moveTo(1.5, 11);
    fish.cubicTo(3, 7, 6, 4.8, 9.5, 4.5);
    fish.cubicTo(12, 2.5, 15.5, 0.8, 20, 0.3);
    fish.cubicTo(17.5, 2.8, 16.5, 5.5, 16.2, 8.2);
    fish.lineTo(22.8, 5.8);
    fish.cubicTo(21.8, 9.3, 21.8, 12.7, 22.8, 16.2);
    fish.lineTo(16.2, 13.8);
    fish.cubicTo(16.5, 16.5, 17.5, 19.2, 20, 21.7);
    fish.cubicTo(15.5, 21.2, 12, 19.5, 9.5, 17.5);
    fish.cubicTo(6, 17.2, 3, 15, 1.5, 11);
    fish.closeSubpath();
    return fish;
}

QList<QRectF> angelfishBands() {
    // Dark vertical bands: through the eye, the body and the fins.
    return {QRectF(4.4, 0, 1.5, 22), QRectF(9.0, 0, 2.0, 22), QRectF(13.6, 0, 1.8, 22),
            QRectF(17.6, 0, 1.2, 22)};
}

void drawFaceSymbol(QPainter& painter, FaceSymbol symbol, const QRectF& box) {
    if (box.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Start from a clean pen and brush: a halo or ground painted before must not leak in.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::NoBrush);
    const double scale =
        std::min(box.width() / kSymbolDesignWidth, box.height() / kSymbolDesignHeight);
    painter.translate(box.center());
    painter.scale(scale, scale);
    painter.translate(-kSymbolDesignWidth / 2, -kSymbolDesignHeight / 2);

    switch (symbol) {
        case FaceSymbol::Globe:
            drawGlobe(painter);
            break;
        case FaceSymbol::MagnifierPlus:
        case FaceSymbol::MagnifierMinus:
            drawMagnifier(painter, QPointF(10, 8.5), 6.8);
            drawLensSign(painter, QPointF(10, 8.5), 6.8, symbol == FaceSymbol::MagnifierPlus);
            break;
        case FaceSymbol::Magnifier:
            drawMagnifier(painter, QPointF(10, 8.5), 6.8);
            break;
        case FaceSymbol::ArrowAndMagnifier:
            drawArrowAndMagnifier(painter);
            break;
        case FaceSymbol::OpenHand:
            drawOpenHand(painter);
            break;
        case FaceSymbol::Angelfish:
            drawAngelfish(painter);
            break;
        case FaceSymbol::Printer:
            drawPrinter(painter);
            break;
        case FaceSymbol::RulerAndArrow:
            drawRulerAndArrow(painter);
            break;
    }
    painter.restore();
}

}  // namespace pelagon
