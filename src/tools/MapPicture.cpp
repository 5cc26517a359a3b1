#include "tools/MapPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace pelagon {

namespace {

// Everything is drawn in design units, 177 x 41; the horizon lies at y = 21.
constexpr double kHorizon = 21.0;
constexpr double kWidth = kMapPictureDesignWidth;
constexpr double kHeight = kMapPictureDesignHeight;

void paintSky(QPainter& p) {
    QLinearGradient sky(QPointF(0, 0), QPointF(0, kHorizon));
    sky.setColorAt(0, QColor(120, 180, 235));
    sky.setColorAt(1, QColor(220, 238, 250));
    p.fillRect(QRectF(0, 0, kWidth, kHorizon + 1), sky);

    // Snow-capped coast range behind the water.
    QPainterPath range;
    range.moveTo(0, kHorizon);
    const double peaks[][2] = {{0, 13}, {10, 8},  {19, 12}, {28, 5},  {38, 11},
                               {46, 9}, {54, 14}, {62, 12}, {70, 16}, {78, kHorizon}};
    for (const auto& pt : peaks) {
        range.lineTo(pt[0], pt[1]);
    }
    range.closeSubpath();
    QLinearGradient rock(QPointF(0, 5), QPointF(0, kHorizon));
    rock.setColorAt(0, QColor(120, 140, 170));
    rock.setColorAt(1, QColor(70, 95, 125));
    p.fillPath(range, rock);
    QPainterPath snow;
    snow.moveTo(6, 10.4);
    snow.lineTo(10, 8);
    snow.lineTo(13.5, 10);
    snow.lineTo(10.5, 9.6);
    snow.closeSubpath();
    snow.moveTo(23.5, 8.2);
    snow.lineTo(28, 5);
    snow.lineTo(32, 7.8);
    snow.lineTo(29.5, 7.3);
    snow.lineTo(27.5, 8.6);
    snow.lineTo(25.5, 7.6);
    snow.closeSubpath();
    snow.moveTo(43.5, 10);
    snow.lineTo(46, 9);
    snow.lineTo(48.5, 10.2);
    snow.closeSubpath();
    p.fillPath(snow, QColor(250, 252, 255));
}

void paintSea(QPainter& p) {
    QLinearGradient sea(QPointF(0, kHorizon), QPointF(0, kHeight));
    sea.setColorAt(0, QColor(40, 120, 185));
    sea.setColorAt(1, QColor(10, 45, 105));
    p.fillRect(QRectF(0, kHorizon, kWidth, kHeight - kHorizon), sea);

    // Rows of waves, smaller and fainter towards the horizon.
    for (int row = 0; row < 4; ++row) {
        const double y = kHorizon + 2.5 + row * 4.6;
        const double amplitude = 0.7 + row * 0.35;
        const double length = 7.0 + row * 2.5;
        QPainterPath wave;
        wave.moveTo(-length, y);
        for (double x = -length; x < kWidth + length; x += length) {
            wave.cubicTo(x + length * 0.25, y - amplitude * 2, x + length * 0.5, y - amplitude * 2,
                         x + length * 0.6, y);
            wave.quadTo(x + length * 0.8, y + amplitude, x + length, y);
        }
        QPen pen(QColor(210, 235, 255, 70 + row * 30), 0.5 + row * 0.2);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    }
}

void paintBoat(QPainter& p) {
    // A small trawler heading left, its net line trailing into the water.
    p.setPen(QPen(QColor(60, 40, 30), 0.5));
    p.drawLine(QPointF(98, 11), QPointF(112, 29.5));
    p.setPen(QPen(QColor(230, 230, 230, 160), 0.4, Qt::DotLine));
    p.drawLine(QPointF(112, 29.5), QPointF(118, 34));

    // Mast and boom.
    p.setPen(QPen(QColor(50, 45, 45), 0.9));
    p.drawLine(QPointF(92, 5), QPointF(92, 19));
    p.setPen(QPen(QColor(50, 45, 45), 0.6));
    p.drawLine(QPointF(92, 6), QPointF(98, 11));
    p.drawLine(QPointF(92, 5), QPointF(80, 15));

    // Wheelhouse.
    p.setPen(QPen(QColor(40, 40, 50), 0.5));
    p.setBrush(QColor(250, 250, 245));
    p.drawRect(QRectF(80, 13, 9, 6.5));
    p.setBrush(QColor(60, 110, 160));
    p.drawRect(QRectF(81.3, 14.3, 2.6, 2.3));
    p.drawRect(QRectF(85.1, 14.3, 2.6, 2.3));

    // Hull with a white stripe.
    QPainterPath hull;
    hull.moveTo(70, 18.5);
    hull.lineTo(101, 18.5);
    hull.cubicTo(100, 21.5, 98, 23.5, 95, 24);
    hull.lineTo(75, 24);
    hull.cubicTo(72.5, 23, 71, 21, 70, 18.5);
    hull.closeSubpath();
    QLinearGradient paint(QPointF(0, 18.5), QPointF(0, 24));
    paint.setColorAt(0, QColor(215, 50, 40));
    paint.setColorAt(1, QColor(140, 20, 20));
    p.setPen(QPen(QColor(50, 15, 10), 0.5));
    p.setBrush(paint);
    p.drawPath(hull);
    p.setPen(QPen(QColor(250, 250, 250), 0.7));
    p.drawLine(QPointF(71.2, 20), QPointF(100.4, 20));

    // Wake at the waterline.
    p.setPen(QPen(QColor(255, 255, 255, 200), 0.6));
    p.drawLine(QPointF(74, 24.3), QPointF(97, 24.3));
    p.drawLine(QPointF(99, 24), QPointF(106, 25));
}

// A fish facing left, body length len, centred at c.
void paintFish(QPainter& p, QPointF c, double len, const QColor& back, const QColor& belly) {
    p.save();
    p.translate(c);
    p.scale(len / 10.0, len / 10.0);
    QPainterPath fish;
    fish.moveTo(-5, 0);
    fish.cubicTo(-3, -2.3, 1.5, -2.3, 3.3, -0.4);
    fish.lineTo(5.5, -2);
    fish.lineTo(5, 0);
    fish.lineTo(5.5, 2);
    fish.lineTo(3.3, 0.4);
    fish.cubicTo(1.5, 2.3, -3, 2.3, -5, 0);
    fish.closeSubpath();
    QLinearGradient body(QPointF(0, -2), QPointF(0, 2));
    body.setColorAt(0, back);
    body.setColorAt(1, belly);
    p.setPen(QPen(QColor(20, 30, 50), 0.25));
    p.setBrush(body);
    p.drawPath(fish);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 30));
    p.drawEllipse(QPointF(-3.4, -0.4), 0.4, 0.4);
    p.restore();
}

void paintFishes(QPainter& p) {
    paintFish(p, QPointF(124, 31.5), 10, QColor(70, 110, 130), QColor(235, 150, 130));
    paintFish(p, QPointF(136, 36), 8, QColor(60, 100, 120), QColor(225, 140, 120));
    paintFish(p, QPointF(112, 37.5), 7, QColor(80, 120, 140), QColor(230, 200, 190));
}

void paintCompassRose(QPainter& p) {
    const QPointF c(158, 20.5);
    const double r = 17.5;
    p.save();
    QRadialGradient face(c, r);
    face.setColorAt(0, QColor(255, 252, 240, 235));
    face.setColorAt(1, QColor(240, 230, 200, 215));
    p.setPen(QPen(QColor(60, 50, 30), 0.6));
    p.setBrush(face);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r - 2.2, r - 2.2);
    // Ticks every 30 degrees between the rings.
    for (int i = 0; i < 12; ++i) {
        const double a = i * std::numbers::pi / 6.0;
        const QPointF dir(std::sin(a), -std::cos(a));
        p.drawLine(c + dir * (r - 2.2), c + dir * (r - 0.6));
    }
    // Eight points: the four main ones long, the others short; each half light, half dark.
    for (int i = 0; i < 8; ++i) {
        const double a = i * std::numbers::pi / 4.0;
        const double len = (i % 2 == 0) ? r - 2.6 : (r - 2.6) * 0.55;
        const double w = (i % 2 == 0) ? 2.6 : 1.8;
        const QPointF dir(std::sin(a), -std::cos(a));
        const QPointF side(std::cos(a), std::sin(a));
        const QPointF tip = c + dir * len;
        QPolygonF left{c, tip, c - side * w};
        QPolygonF right{c, tip, c + side * w};
        p.setPen(QPen(QColor(40, 35, 30), 0.35));
        p.setBrush(i == 0 ? QColor(200, 40, 35) : QColor(35, 60, 110));
        p.drawPolygon(left);
        p.setBrush(i == 0 ? QColor(245, 150, 140) : QColor(225, 230, 240));
        p.drawPolygon(right);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 160, 60));
    p.drawEllipse(c, 1.1, 1.1);
    p.restore();
}

}  // namespace

void paintMapPicture(QPainter& painter, const QRectF& target) {
    if (target.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(target);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kWidth, target.height() / kHeight);
    paintSky(painter);
    paintSea(painter);
    paintFishes(painter);
    paintBoat(painter);
    paintCompassRose(painter);
    painter.restore();
}

QPixmap mapPicturePixmap(const QSize& logicalSize, qreal devicePixelRatio) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap((QSizeF(logicalSize) * dpr).toSize());
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    if (!logicalSize.isEmpty()) {
        QPainter painter(&pixmap);
        // The whole pixmap, also when size x ratio is not a whole number of pixels.
        paintMapPicture(painter, QRectF(QPointF(0, 0), pixmap.deviceIndependentSize()));
    }
    return pixmap;
}

}  // namespace pelagon
