#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <vector>

#include "render/MapExport.h"

using namespace pelagon;

namespace {

// A drawer that paints its left half red and remembers the surface it was given.
struct HalfRed {
    QSizeF* surface;
    void operator()(QPainter& painter, const QSizeF& s) const {
        *surface = s;
        painter.fillRect(QRectF(0, 0, s.width() / 2, s.height()), Qt::red);
    }
};

TEST(MapExport, EveryFormatHoldsTheDrawingAtTheAskedSize) {
    struct Case {
        ExportFormat format;
        const char* magic;  // how the file starts
    };
    const std::vector<Case> cases = {
        {ExportFormat::Png, "\x89PNG"}, {ExportFormat::Jpeg, "\xff\xd8\xff"},
        {ExportFormat::Tiff, "II*"},    {ExportFormat::Pdf, "%PDF"},
        {ExportFormat::Svg, "<?xml"},
    };
    const QSize size(300, 120);
    for (const Case& c : cases) {
        SCOPED_TRACE(exportFormatName(c.format).toStdString());
        QSizeF surface;
        const ExportedView view = exportView(HalfRed{&surface}, size, c.format, "Tester 1.0");
        ASSERT_TRUE(view.ok()) << view.error.toStdString();
        EXPECT_TRUE(view.bytes.startsWith(c.magic));
        if (!isVectorFormat(c.format)) {
            EXPECT_EQ(surface, QSizeF(size));
            QImage image;
            ASSERT_TRUE(image.loadFromData(view.bytes));
            EXPECT_EQ(image.size(), size);
            // 96 dpi, the left half red and the right half white, JPEG's blur allowed.
            EXPECT_NEAR(image.dotsPerMeterX(), 3780, 1);
            const QColor left = image.pixelColor(40, 60);
            const QColor right = image.pixelColor(260, 60);
            EXPECT_GT(left.red(), 240);
            EXPECT_LT(left.green(), 20);
            EXPECT_GT(right.green(), 240);
        } else {
            // One point per pixel: the surface keeps the asked size within rounding to points.
            EXPECT_NEAR(surface.width(), size.width(), 1.5);
            EXPECT_NEAR(surface.height(), size.height(), 1.5);
            if (c.format == ExportFormat::Svg) {
                EXPECT_TRUE(view.bytes.contains("Tester 1.0"));
            }
        }
    }
    // The SVG's drawing space is the view's pixels, and the red half is there as a shape.
    QSizeF surface;
    const ExportedView svg = exportView(HalfRed{&surface}, size, ExportFormat::Svg, "T");
    EXPECT_TRUE(svg.bytes.contains("viewBox=\"0 0 300 120\"")) << svg.bytes.toStdString();
    EXPECT_TRUE(svg.bytes.contains("#ff0000")) << svg.bytes.toStdString();
}

TEST(MapExport, AnEmptyViewIsRefused) {
    QSizeF surface;
    const ExportedView view = exportView(HalfRed{&surface}, QSize(0, 10), ExportFormat::Png, "T");
    EXPECT_FALSE(view.ok());
    EXPECT_TRUE(view.bytes.isEmpty());
    EXPECT_FALSE(view.error.isEmpty());
}

}  // namespace
