#include "render/MapExport.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace pelagon {

namespace {

constexpr double kDotsPerMeter96 = 96.0 / 0.0254;
constexpr double kPointsPerPixel = 72.0 / 96.0;

ExportedView failed(const QString& why) {
    return {{}, why};
}

}  // namespace

ExportedView exportView(const ViewDrawer& draw, QSize size, ExportFormat format,
                        const QString& creator) {
    if (size.isEmpty()) {
        return failed(QStringLiteral("The view has no size to draw."));
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QString formatName = exportFormatName(format);
    if (format == ExportFormat::Pdf) {
        QPdfWriter writer(&buffer);
        writer.setCreator(creator);
        writer.setResolution(96);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(QSizeF(size) * kPointsPerPixel, QPageSize::Point));
        QPainter painter;
        if (!painter.begin(&writer)) {
            return failed(QStringLiteral("The PDF page cannot be made."));
        }
        // The page in device units may differ from the asked size by rounding to points.
        draw(painter, QSizeF(writer.width(), writer.height()));
        painter.end();
        return {buffer.data(), {}};
    }
    if (format == ExportFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        svg.setTitle(QStringLiteral("Map"));
        svg.setDescription(QStringLiteral("Drawn by %1").arg(creator));
        QPainter painter;
        if (!painter.begin(&svg)) {
            return failed(QStringLiteral("The SVG drawing cannot be made."));
        }
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        draw(painter, QSizeF(size));
        painter.end();
        return {buffer.data(), {}};
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return failed(QStringLiteral("Cannot make an image of %1 x %2 pixels: not enough memory.")
                          .arg(size.width())
                          .arg(size.height()));
    }
    image.setDotsPerMeterX(qRound(kDotsPerMeter96));
    image.setDotsPerMeterY(qRound(kDotsPerMeter96));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        draw(painter, QSizeF(size));
    }
    // JPEG has no transparency; the map is opaque anyway.
    if (format == ExportFormat::Jpeg) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    if (!image.save(&buffer, formatName.toLatin1().constData())) {
        return failed(
            QStringLiteral("The %1 image cannot be made: this installation has no %1 writer.")
                .arg(formatName));
    }
    return {buffer.data(), {}};
}

}  // namespace pelagon
