#include "help/HelpIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pelagon {

namespace {

constexpr int kSize = 24;

void drawArrow(QPainter& p, bool pointsLeft) {
    QPainterPath path;
    const qreal tip = pointsLeft ? 3 : kSize - 3;
    const qreal base = pointsLeft ? 13 : kSize - 13;
    const qreal tail = pointsLeft ? kSize - 3 : 3;
    path.moveTo(tip, 12);
    path.lineTo(base, 3);
    path.lineTo(base, 8);
    path.lineTo(tail, 8);
    path.lineTo(tail, 16);
    path.lineTo(base, 16);
    path.lineTo(base, 21);
    path.closeSubpath();
    p.setPen(QPen(QColor(20, 80, 20), 1));
    p.setBrush(QColor(60, 160, 60));
    p.drawPath(path);
}

void drawStop(QPainter& p) {
    QPolygonF octagon;
    for (const QPointF& pt : {QPointF(8, 2), QPointF(16, 2), QPointF(22, 8), QPointF(22, 16),
                              QPointF(16, 22), QPointF(8, 22), QPointF(2, 16), QPointF(2, 8)}) {
        octagon << pt;
    }
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(210, 40, 40));
    p.drawPolygon(octagon);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
    p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
}

void drawRefresh(QPainter& p) {
    p.setPen(QPen(QColor(30, 90, 170), 3, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4, 16, 16), 100 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(10, 1);
    head.lineTo(16, 4.5);
    head.lineTo(10, 9);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 170));
    p.drawPath(head);
}

void drawHome(QPainter& p) {
    QPolygonF roof;
    roof << QPointF(12, 2) << QPointF(23, 12) << QPointF(1, 12);
    p.setPen(QPen(QColor(110, 30, 10), 1));
    p.setBrush(QColor(190, 60, 30));
    p.drawPolygon(roof);
    p.setPen(QPen(QColor(90, 70, 40), 1));
    p.setBrush(QColor(235, 215, 170));
    p.drawRect(QRectF(4.5, 12, 15, 10));
    p.setBrush(QColor(120, 80, 40));
    p.drawRect(QRectF(10, 15, 4, 7));
}

void drawSearch(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 2.5));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(3, 3, 12, 12));
    p.setPen(QPen(QColor(60, 60, 60), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 14), QPointF(21, 21));
}

}  // namespace

QIcon helpToolbarIcon(const QString& key) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (key == QLatin1String("Back")) {
        drawArrow(p, true);
    } else if (key == QLatin1String("Forward")) {
        drawArrow(p, false);
    } else if (key == QLatin1String("Stop")) {
        drawStop(p);
    } else if (key == QLatin1String("Refresh")) {
        drawRefresh(p);
    } else if (key == QLatin1String("Home")) {
        drawHome(p);
    } else if (key == QLatin1String("Search")) {
        drawSearch(p);
    } else {
        return {};
    }
    p.end();
    return QIcon(pixmap);
}

}  // namespace pelagon
