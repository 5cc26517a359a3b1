// The legend drawn as vectors for a printed page.
#include <QCheckBox>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "layout/LegendGeometry.h"
#include "legend/LayerListForm.h"

namespace pelagon {

namespace {

// Paper is read from further away than a screen: the rows are drawn half as large again.
constexpr double kPaperScale = 1.5;
constexpr double kNamePointSize = 10.0;
constexpr double kHeadingPointSize = 13.0;

}  // namespace

int LayerListForm::paintRows(QPainter& painter, const QRectF& area, int firstRow) const {
    const QPaintDevice* device = painter.device();
    const double dpiX = device ? device->logicalDpiX() : 96.0;
    const double dpiY = device ? device->logicalDpiY() : 96.0;
    const auto across = [&](double twips) { return twips * kPaperScale * dpiX / 1440.0; };
    const auto down = [&](double twips) { return twips * kPaperScale * dpiY / 1440.0; };
    const double pitch = down(RowSpacing * legend::kTwipsPerRowUnit);
    const double rowHeight = down(legend::kSwatchHeight * legend::kTwipsPerRowUnit);
    const double swatchWidth = across(legend::kSwatchWidth * legend::kTwipsPerCellX);
    const double boxSide = rowHeight * 0.8;
    const double boxLeft = area.left() + swatchWidth + across(legend::kTwipsPerCellX);
    const double nameLeft = boxLeft + boxSide + across(legend::kTwipsPerCellX / 2);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(kNamePointSize);
    QFont captionFont = font;
    captionFont.setItalic(true);

    // The rows to print: each layer's, then the lines of its classes' caption (wrapped to the
    // page) and its classes.
    struct Row {
        int layer;
        int line = -1;   // a line of the caption
        int klass = -1;  // a class
    };
    std::vector<Row> rows;
    std::vector<QStringList> captions(static_cast<std::size_t>(LayerVisCheck.size()));
    for (int c = 0; c < LayerVisCheck.size(); ++c) {
        if (LayerVisCheck[c] == nullptr || Legend[c] == nullptr) {
            continue;
        }
        rows.push_back({c});
        if (const LegendClassRows* classes = classes_[c]) {
            QStringList& lines = captions[static_cast<std::size_t>(c)];
            if (!classes->classes().caption.isEmpty()) {
                lines = legend::wrapLines(classes->classes().caption, captionFont,
                                          area.right() - boxLeft, painter.device());
            }
            for (int l = 0; l < lines.size(); ++l) {
                rows.push_back({c, l});
            }
            for (int k = 0; k < classes->classes().rows.size(); ++k) {
                rows.push_back({c, -1, k});
            }
        }
    }
    if (firstRow < 0 || firstRow >= static_cast<int>(rows.size())) {
        return -1;
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    double top = area.top();
    if (firstRow == 0) {
        QFont heading(QStringLiteral("Arial"));
        heading.setPointSizeF(kHeadingPointSize);
        heading.setBold(true);
        const QFontMetricsF hm(heading, device);
        painter.setFont(heading);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(area.left(), top + hm.ascent()),
                         QStringLiteral("Available Layers"));
        top += hm.height() * 1.5;
    }
    const QFontMetricsF metrics(font, device);
    const double lineWidth = std::max(1.0, dpiX / 144.0);

    int k = firstRow;
    for (; k < static_cast<int>(rows.size()); ++k) {
        const double rowTop = top + (k - firstRow) * pitch;
        if (rowTop + std::max(rowHeight, metrics.height()) > area.bottom() && k > firstRow) {
            break;
        }
        const Row& row = rows[static_cast<std::size_t>(k)];
        const double baseline = rowTop + (rowHeight + metrics.ascent() - metrics.descent()) / 2;
        if (row.line >= 0) {
            painter.setFont(captionFont);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(boxLeft, baseline),
                             captions[static_cast<std::size_t>(row.layer)][row.line]);
            continue;
        }
        if (row.klass >= 0) {
            const auto& [colour, label] = classes_[row.layer]->classes().rows[row.klass];
            const QRectF swatch(boxLeft, rowTop + (rowHeight - boxSide) / 2, boxSide * 1.5,
                                boxSide);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::white);
            painter.drawRect(swatch);
            painter.setBrush(colour);
            painter.drawRect(swatch);
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(QColor(90, 90, 90), lineWidth));
            painter.drawRect(swatch);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(swatch.right() + boxSide / 2, baseline), label);
            continue;
        }
        const LegendSwatch* swatch = Legend[row.layer];
        const QCheckBox* box = LayerVisCheck[row.layer];
        if (swatch->shapeType != kPointLayer && swatchPainter_) {
            QRectF rect(area.left(), rowTop, swatchWidth, rowHeight);
            if (swatch->shapeType == kLineLayer) {
                const double lineY = rowTop + swatch->dropRows * down(legend::kTwipsPerRowUnit);
                rect = QRectF(area.left(), lineY - lineWidth * 2, swatchWidth, lineWidth * 4);
            }
            painter.save();
            swatchPainter_(painter, rect, swatch->shapeType, swatch->fill, swatch->border,
                           swatch->style);
            painter.restore();
        }
        const bool shown = box->isChecked();
        const QRectF boxRect(boxLeft, rowTop + (rowHeight - boxSide) / 2, boxSide, boxSide);
        painter.setBrush(Qt::white);
        painter.setPen(QPen(Qt::black, lineWidth));
        painter.drawRect(boxRect);
        if (shown) {
            painter.setPen(
                QPen(Qt::black, lineWidth * 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const QPolygonF tick{boxRect.topLeft() + QPointF(boxSide * 0.2, boxSide * 0.55),
                                 boxRect.topLeft() + QPointF(boxSide * 0.42, boxSide * 0.78),
                                 boxRect.topLeft() + QPointF(boxSide * 0.82, boxSide * 0.22)};
            painter.drawPolyline(tick);
        }
        painter.setFont(font);
        painter.setPen(shown ? QColor(Qt::black) : QColor(110, 110, 110));
        // Names are text from the map definition: drawn literally, never as markup.
        QString text = swatch->name;
        if (!shown) {
            text += QStringLiteral(" (hidden)");
        }
        // A name wider than the page is drawn smaller, never cut.
        const double room = std::max(1.0, area.right() - nameLeft);
        const double wide = metrics.horizontalAdvance(text);
        if (wide > room) {
            QFont smaller = font;
            smaller.setPointSizeF(std::max(1.0, kNamePointSize * room / wide));
            painter.setFont(smaller);
        }
        painter.drawText(QPointF(nameLeft, baseline), text);
    }
    painter.restore();
    return k < static_cast<int>(rows.size()) ? k : -1;
}

}  // namespace pelagon
