#include "render/Symbology.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pelagon::symbology {

namespace {

// One period of a hatch, drawn in device pixels so that its lines stay sharp at any resolution.
QImage hatchTile(const QColor& color, int style, double scale, double dpr) {
    const double px = std::max(scale * dpr, 0.25);
    const int tile = std::max(4, static_cast<int>(std::lround(kHatchSpacing * px)));
    const int width = std::max(1, static_cast<int>(std::lround(kLineWidth * px)));
    QImage img(tile, tile, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    const int middle = (tile - width) / 2;
    const bool horizontal = style == style::HorizontalLines || style == style::Cross;
    const bool vertical = style == style::VerticalLines || style == style::Cross;
    const bool upward = style == style::UpwardDiagonal || style == style::DiagonalCross;
    const bool downward = style == style::DownwardDiagonal || style == style::DiagonalCross;
    if (horizontal) {
        p.fillRect(QRect(0, middle, tile, width), color);
    }
    if (vertical) {
        p.fillRect(QRect(middle, 0, width, tile), color);
    }
    if (upward || downward) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
        // The lines run corner to corner; copies one period to either side fill the corners,
        // so neighbouring tiles join without a seam.
        for (int k = -1; k <= 1; ++k) {
            const double x = k * tile;
            if (upward) {
                p.drawLine(QPointF(x, tile), QPointF(x + tile, 0));
            }
            if (downward) {
                p.drawLine(QPointF(x, 0), QPointF(x + tile, tile));
            }
        }
    }
    p.end();
    img.setDevicePixelRatio(dpr);
    return img;
}

}  // namespace

QColor colorFromValue(qint32 value) {
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

qint32 valueFromColor(const QColor& color) {
    return color.red() + 256 * color.green() + 65536 * color.blue();
}

SymbolKind kindForShapeType(int shapeType) {
    if (shapeType == 21) {
        return SymbolKind::Marker;
    }
    if (shapeType == 22) {
        return SymbolKind::Line;
    }
    return SymbolKind::Fill;
}

double deviceScale(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    if (device == nullptr || device->logicalDpiX() <= 0) {
        return 1.0;
    }
    return device->logicalDpiX() / 96.0;
}

bool isHatch(int s) {
    return s >= style::HorizontalLines && s <= style::DiagonalCross;
}

QBrush fillBrush(const QColor& color, int s, double scale, double devicePixelRatio) {
    switch (s) {
        case style::Transparent:
            return Qt::NoBrush;
        case style::LightGray:
        case style::Gray:
        case style::DarkGray: {
            QColor c = color;
            c.setAlphaF(s == style::LightGray ? 0.25f : s == style::Gray ? 0.5f : 0.75f);
            return QBrush(c);
        }
        default:
            if (isHatch(s)) {
                return QBrush(hatchTile(color, s, scale, devicePixelRatio));
            }
            return QBrush(color);
    }
}

QPen outlinePen(const QColor& color, double scale) {
    QPen pen(color, kOutlineWidth * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    return pen;
}

QPen linePen(const QColor& color, int s, double scale) {
    QPen pen(color, kLineWidth * scale, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    // Dash lengths are in pen widths, so they scale with the device like the width does.
    switch (s) {
        case 1:
            pen.setDashPattern({6, 3});
            break;
        case 2:
            pen.setDashPattern({1, 2});
            break;
        case 3:
            pen.setDashPattern({6, 3, 1, 3});
            break;
        case 4:
            pen.setDashPattern({6, 3, 1, 3, 1, 3});
            break;
        case 5:
            pen.setDashPattern({12, 4});
            break;
        default:
            break;
    }
    return pen;
}

bool markerIsFilled(int s) {
    return s != 3 && s != 4 && s != 7 && s != 8;
}

QPainterPath markerPath(int s, double scale) {
    const double size = kMarkerSize * scale;
    const double r = size / 2.0;
    QPainterPath path;
    switch (s) {
        case 1:
        case 8:
            path.addRect(QRectF(-r, -r, size, size));
            break;
        case 2:
            path.moveTo(0, -r);
            path.lineTo(r, r * 0.75);
            path.lineTo(-r, r * 0.75);
            path.closeSubpath();
            break;
        case 3:
            path.moveTo(-r, 0);
            path.lineTo(r, 0);
            path.moveTo(0, -r);
            path.lineTo(0, r);
            break;
        case 4:
            path.moveTo(-r, -r);
            path.lineTo(r, r);
            path.moveTo(-r, r);
            path.lineTo(r, -r);
            break;
        case 5:
            path.moveTo(0, -r);
            path.lineTo(r, 0);
            path.lineTo(0, r);
            path.lineTo(-r, 0);
            path.closeSubpath();
            break;
        case 6:
            for (int i = 0; i < 10; ++i) {
                const double a = std::numbers::pi * i / 5.0 - std::numbers::pi / 2.0;
                const double rr = i % 2 == 0 ? r : r * 0.45;
                const QPointF p(rr * std::cos(a), rr * std::sin(a));
                if (i == 0) {
                    path.moveTo(p);
                } else {
                    path.lineTo(p);
                }
            }
            path.closeSubpath();
            break;
        default:
            path.addEllipse(QPointF(0, 0), r, r);
            break;
    }
    return path;
}

void drawMarker(QPainter& painter, QPointF p, const QColor& color, int s, double scale) {
    const QPainterPath path = markerPath(s, scale).translated(p);
    if (markerIsFilled(s)) {
        painter.setPen(QPen(color.darker(160), 0.5 * scale));
        painter.setBrush(color);
    } else {
        painter.setPen(QPen(color, 1.5 * scale, Qt::SolidLine, Qt::FlatCap));
        painter.setBrush(Qt::NoBrush);
    }
    painter.drawPath(path);
}

void drawSwatch(QPainter& painter, const QRectF& rect, SymbolKind kind, qint32 color,
                qint32 outlineColor, int s) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double scale = deviceScale(painter);
    const double dpr = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const QColor fill = colorFromValue(color);
    switch (kind) {
        case SymbolKind::Fill: {
            const QPen pen = outlinePen(colorFromValue(outlineColor), scale);
            const double inset = pen.widthF() / 2.0;
            painter.setPen(pen);
            painter.setBrush(fillBrush(fill, s, scale, dpr));
            painter.drawRect(rect.adjusted(inset, inset, -inset, -inset));
            break;
        }
        case SymbolKind::Line: {
            const QPen pen = linePen(fill, s, scale);
            painter.setPen(pen);
            // A line of odd device width sits on a device pixel's centre, so it stays sharp.
            const double w = std::max(1.0, std::round(pen.widthF() * dpr));
            double y = std::round(rect.center().y() * dpr);
            if (static_cast<long>(w) % 2 == 1) {
                y = std::floor(rect.center().y() * dpr) + 0.5;
            }
            y /= dpr;
            painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
            break;
        }
        case SymbolKind::Marker:
            drawMarker(painter, rect.center(), fill, s, scale);
            break;
    }
    painter.restore();
}

}  // namespace pelagon::symbology
