#include "tools/ToolbarFaces.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace pelagon {

namespace {

// Layout in design pixels (40 x 39): the symbol on top, up to two caption lines below it.
const QRectF kSymbolBox(6, 1.5, 28, 21.5);
constexpr double kCaptionTop = 23.5;
constexpr double kCaptionLineHeight = 7.6;
constexpr double kCaptionMaxWidth = 38.5;
constexpr int kCaptionPixelSize = 7;

struct ButtonFace {
    FaceSymbol symbol;
    QStringList caption;
};

const ButtonFace& buttonFace(int button) {
    static const ButtonFace faces[kToolbarFaceButtons] = {
        {FaceSymbol::Globe, {QStringLiteral("Full"), QStringLiteral("Extent")}},
        {FaceSymbol::MagnifierPlus, {QStringLiteral("Zoom In")}},
        {FaceSymbol::MagnifierMinus, {QStringLiteral("Zoom Out")}},
        {FaceSymbol::ArrowAndMagnifier, {QStringLiteral("Last"), QStringLiteral("Extent")}},
        {FaceSymbol::OpenHand, {QStringLiteral("Pan")}},
        {FaceSymbol::Angelfish, {QStringLiteral("Fish Tool")}},
        {FaceSymbol::Printer, {QStringLiteral("Print")}},
        {FaceSymbol::RulerAndArrow, {QStringLiteral("Measure")}},
        {FaceSymbol::Magnifier, {QStringLiteral("Aleutian"), QStringLiteral("Islands")}},
        {FaceSymbol::Magnifier, {QStringLiteral("Bering"), QStringLiteral("Sea")}},
        {FaceSymbol::Magnifier, {QStringLiteral("Gulf of"), QStringLiteral("Alaska")}},
    };
    return faces[button - 1];
}

QFont captionFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(kCaptionPixelSize);
    font.setWeight(QFont::DemiBold);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

void paintHalo(QPainter& painter) {
    QRadialGradient halo(kSymbolBox.center(), 15.5);
    halo.setColorAt(0.0, QColor(255, 255, 225, 190));
    halo.setColorAt(0.6, QColor(255, 250, 200, 115));
    halo.setColorAt(1.0, QColor(255, 250, 200, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(kSymbolBox.center(), 15.5, 12.5);
}

// The point nearest to p that falls on a whole device pixel, so text stems at small sizes land on
// pixel columns and rows instead of being smeared across two.
QPointF snappedToDevicePixel(const QPainter& painter, QPointF p) {
    const QTransform& t = painter.deviceTransform();
    if (!t.isInvertible()) {
        return p;
    }
    const QPointF device = t.map(p);
    return t.inverted().map(QPointF(std::round(device.x()), std::round(device.y())));
}

void paintCaption(QPainter& painter, const QStringList& lines, const QColor& colour) {
    const QFont font = captionFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(colour);
    // One line stands in the middle of the two-line space.
    const double blockHeight = kCaptionLineHeight * static_cast<double>(lines.size());
    const double areaHeight = kToolbarFaceHeight - kCaptionTop;
    double baseline = kCaptionTop + (areaHeight - blockHeight) / 2.0 + metrics.ascent() -
                      (kCaptionLineHeight - metrics.height()) / 2.0;
    for (const QString& line : lines) {
        const double width = metrics.horizontalAdvance(line);
        painter.save();
        if (width > kCaptionMaxWidth) {
            // A line wider than the face (a wider fallback font) is narrowed to fit.
            painter.translate(kToolbarFaceWidth / 2.0, baseline);
            painter.scale(kCaptionMaxWidth / width, 1.0);
            painter.drawText(QPointF(-width / 2.0, 0), line);
        } else {
            const QPointF origin((kToolbarFaceWidth - width) / 2.0, baseline);
            painter.drawText(snappedToDevicePixel(painter, origin), line);
        }
        painter.restore();
        baseline += kCaptionLineHeight;
    }
}

}  // namespace

QColor toolbarFaceGround() {
    return {14, 38, 104};
}

QColor toolbarCaptionColour() {
    return {255, 255, 255};
}

QColor toolbarSelectedCaptionColour() {
    return {255, 228, 0};
}

ToolbarFace toolbarFace(int imageNumber) {
    if (!isToolbarFaceNumber(imageNumber)) {
        imageNumber = 1;
    }
    const bool selected = imageNumber > kToolbarFaceButtons;
    const int button = selected ? imageNumber - kToolbarFaceButtons : imageNumber;
    const ButtonFace& face = buttonFace(button);
    // The fish tool's selected face has a yellow caption only: its symbol is light already.
    const bool halo = selected && face.symbol != FaceSymbol::Angelfish;
    return {face.symbol, face.caption, selected, halo};
}

void paintToolbarFace(QPainter& painter, const QRectF& target, int imageNumber, bool enabled) {
    if (target.isEmpty()) {
        return;
    }
    const ToolbarFace face = toolbarFace(imageNumber);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / kToolbarFaceWidth, target.height() / kToolbarFaceHeight);
    const QRectF design(0, 0, kToolbarFaceWidth, kToolbarFaceHeight);

    // A dark blue ground, a shade lighter at the top.
    QLinearGradient ground(design.topLeft(), design.bottomLeft());
    ground.setColorAt(0, toolbarFaceGround().lighter(125));
    ground.setColorAt(0.5, toolbarFaceGround());
    ground.setColorAt(1, toolbarFaceGround().darker(115));
    painter.fillRect(design, ground);

    if (face.halo) {
        paintHalo(painter);
    }
    drawFaceSymbol(painter, face.symbol, kSymbolBox);
    paintCaption(painter, face.captionLines,
                 face.selected ? toolbarSelectedCaptionColour() : toolbarCaptionColour());

    if (!enabled) {
        painter.fillRect(design, QColor(30, 34, 48, 165));
    }
    painter.restore();
}

QPixmap toolbarFacePixmap(int imageNumber, qreal devicePixelRatio, const QSize& logicalSize,
                          bool enabled) {
    const QSize size = logicalSize.isEmpty() ? toolbarFaceSize() : logicalSize;
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap((QSizeF(size) * dpr).toSize());
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    // The whole pixmap, also when size x ratio is not a whole number of pixels.
    paintToolbarFace(painter, QRectF(QPointF(0, 0), pixmap.deviceIndependentSize()), imageNumber,
                     enabled);
    return pixmap;
}

}  // namespace pelagon
