#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

#include "legend/LayerListForm.h"
#include "test_print_support.h"
#include "tools/PrintJob.h"
#include "tools/PrintLayout.h"

using namespace pelagon;
using namespace pelagon::test;

namespace {

constexpr int kDpm96 = 3780;  // 96 dots per inch

struct PagePixel {
    QPoint point;  // in points of the page (rendered at 72 dpi)
    QColor colour;
    const char* what;
};

struct PictureSizeCase {
    const char* name;
    QSize pixels;
    double ratio;
    int dpmX;
    int dpmY;
    QSizeF inches;
};

class PictureSizeTest : public ::testing::TestWithParam<PictureSizeCase> {};

TEST_P(PictureSizeTest, InchesFromPixelsRatioAndResolution) {
    const PictureSizeCase& c = GetParam();
    const QSizeF inches = pictureSizeInches(c.pixels, c.ratio, c.dpmX, c.dpmY);
    EXPECT_NEAR(inches.width(), c.inches.width(), 0.005);
    EXPECT_NEAR(inches.height(), c.inches.height(), 0.005);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureSizeTest,
    ::testing::Values(
        PictureSizeCase{"ScreenResolution", {192, 96}, 1.0, kDpm96, kDpm96, {2.0, 1.0}},
        PictureSizeCase{"HighDensityScreen", {384, 192}, 2.0, kDpm96, kDpm96, {2.0, 1.0}},
        PictureSizeCase{"PrintResolution", {300, 150}, 1.0, 11811, 11811, {1.0, 0.5}},
        PictureSizeCase{"DifferentAcrossAndDown", {200, 100}, 1.0, 7874, 3937, {1.0, 1.0}},
        PictureSizeCase{"NoResolutionCountsAs96", {96, 48}, 1.0, 0, -5, {1.0, 0.5}},
        PictureSizeCase{"NoRatioCountsAs1", {96, 96}, 0.0, kDpm96, kDpm96, {1.0, 1.0}}),
    [](const ::testing::TestParamInfo<PictureSizeCase>& info) { return info.param.name; });

struct PlaceCase {
    const char* name;
    QSizeF size;
    QRectF area;
    QRectF expected;
};

class PlaceWithinTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceWithinTest, TopLeftNeverEnlargedAspectKept) {
    const PlaceCase& c = GetParam();
    const QRectF placed = placeWithin(c.size, c.area);
    EXPECT_NEAR(placed.left(), c.expected.left(), 1e-9);
    EXPECT_NEAR(placed.top(), c.expected.top(), 1e-9);
    EXPECT_NEAR(placed.width(), c.expected.width(), 1e-6);
    EXPECT_NEAR(placed.height(), c.expected.height(), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaceWithinTest,
    ::testing::Values(
        PlaceCase{"Fits", {100, 50}, {10, 20, 400, 300}, {10, 20, 100, 50}},
        PlaceCase{"ExactlyFits", {400, 300}, {0, 0, 400, 300}, {0, 0, 400, 300}},
        PlaceCase{"TooWide", {800, 100}, {0, 0, 400, 300}, {0, 0, 400, 50}},
        PlaceCase{"TooTall", {100, 600}, {5, 5, 400, 300}, {5, 5, 50, 300}},
        PlaceCase{"TallerMoreThanWider", {800, 900}, {0, 0, 400, 300}, {0, 0, 800.0 / 3, 300}},
        PlaceCase{"EmptySize", {0, 50}, {10, 20, 400, 300}, {10, 20, 0, 0}}),
    [](const ::testing::TestParamInfo<PlaceCase>& info) { return info.param.name; });

// A print run to a PDF file on A4 with 20 mm margins at the printer's high resolution.
class PrintJobTest : public ::testing::Test {
protected:
    PrintJobTest() : printer(QPrinter::HighResolution) {}

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath(QStringLiteral("job.pdf"));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    }

    MapPainter mapPainter() {
        return [this](QPainter& p, const QRectF& target) { return map.paint(p, target); };
    }

    QRectF printable() const { return {0, 0, double(printer.width()), double(printer.height())}; }

    QTemporaryDir dir;
    QString pdf;
    QPrinter printer;
    FakeMap map;
};

TEST_F(PrintJobTest, TitleLineAboveTheMap) {
    {
        PrintJob job(printer);
        ASSERT_TRUE(job.printMap(mapPainter(), QStringLiteral("Regions"),
                                 QStringLiteral("Gulf of Alaska"), true));
        ASSERT_TRUE(job.finish());
    }
    EXPECT_EQ(pdfInfoField(pdf, QStringLiteral("Title")), QStringLiteral("Regions"));
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("Gulf of Alaska")));
    // The map takes the rest of the printable area, below a band of some millimetres.
    const double mm = printer.resolution() / 25.4;
    EXPECT_GT(map.target.top(), 4 * mm);
    EXPECT_LT(map.target.top(), 15 * mm);
    EXPECT_DOUBLE_EQ(map.target.bottom(), printable().bottom());
    EXPECT_DOUBLE_EQ(map.target.width(), printable().width());
}

enum class MapSize { Printable, ScreenInches, PrintableWidth };

struct ScreenSizeCase {
    const char* name;
    bool fitToPage;
    bool hasScreenSize;
    QSizeF screenInches;
    MapSize expected;  // the whole printable area, the screen size, or the printable width
};

class PrintJobScreenSizeTest : public PrintJobTest,
                               public ::testing::WithParamInterface<ScreenSizeCase> {};

TEST_P(PrintJobScreenSizeTest, MapTarget) {
    const ScreenSizeCase& c = GetParam();
    std::function<QSizeF()> screen;
    if (c.hasScreenSize) {
        screen = [size = c.screenInches] { return size; };
    }
    PrintJob job(printer);
    ASSERT_TRUE(
        job.printMap(mapPainter(), QStringLiteral("Map_Extent"), QString(), c.fitToPage, screen));
    ASSERT_TRUE(job.finish());
    EXPECT_EQ(map.target.topLeft(), QPointF(0, 0));
    QSizeF expected = printable().size();
    if (c.expected == MapSize::ScreenInches) {
        expected = c.screenInches * printer.resolution();
    } else if (c.expected == MapSize::PrintableWidth) {
        const double width = printable().width();
        expected = {width, width * c.screenInches.height() / c.screenInches.width()};
    }
    EXPECT_NEAR(map.target.width(), expected.width(), 0.5);
    EXPECT_NEAR(map.target.height(), expected.height(), 0.5);
}

// The printable area of A4 less 20 mm margins is about 6.7 x 10.1 inches.
INSTANTIATE_TEST_SUITE_P(
    Table, PrintJobScreenSizeTest,
    ::testing::Values(
        ScreenSizeCase{"FittedIgnoresScreenSize", true, true, {4, 3}, MapSize::Printable},
        ScreenSizeCase{"ScreenSize", false, true, {4, 3}, MapSize::ScreenInches},
        ScreenSizeCase{"ShrunkToWidth", false, true, {20, 5}, MapSize::PrintableWidth},
        ScreenSizeCase{"NoScreenSizeFits", false, false, {}, MapSize::Printable},
        ScreenSizeCase{"EmptyScreenSizeFits", false, true, {0, 0}, MapSize::Printable}),
    [](const ::testing::TestParamInfo<ScreenSizeCase>& info) { return info.param.name; });

TEST_F(PrintJobTest, FailedMapLeavesNoFile) {
    map.outcome = FakeMap::Outcome::Fail;
    {
        PrintJob job(printer);
        EXPECT_FALSE(job.printMap(mapPainter(), QStringLiteral("Map_Extent"), QString(), true));
        EXPECT_EQ(job.pageCount(), 1);
    }
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintJobTest, LargePictureShrunkToThePrintableWidth) {
    {
        PrintJob job(printer);
        ASSERT_TRUE(job.printMap(mapPainter(), QStringLiteral("Map_Extent"), QString(), true));
        // 20 x 5 inches on screen: printed 481.9 points wide and a quarter of that high.
        ASSERT_TRUE(job.printPicture(legendPicture(1920, 480)));
        ASSERT_TRUE(job.finish());
    }
    ASSERT_EQ(pdfPageCount(pdf), 2);
    const QImage page = renderPdfPage(pdf, 2, 72, dir.filePath(QStringLiteral("p2")));
    ASSERT_FALSE(page.isNull());
    const PagePixel cases[] = {
        {{60, 60}, kLegendMark, "top-left corner"},
        {{290, 110}, kLegendMark, "end of the marked quarter"},
        {{535, 170}, kLegendGround, "bottom-right corner"},
        {{565, 100}, Qt::white, "right margin"},
        {{300, 185}, Qt::white, "below, aspect kept"},
    };
    for (const PagePixel& c : cases) {
        const QColor seen = page.pixelColor(c.point);
        EXPECT_TRUE(near(seen, c.colour)) << c.what << " is " << seen.name().toStdString();
    }
}

}  // namespace

namespace {

// The legend's picture of itself carries the screen's resolution, so it prints at the size the
// legend has on screen.
TEST(LegendPictureTest, PrintsAtTheLegendsScreenSize) {
    LayerListForm legend(SwatchPainter{});
    legend.resize(240, 360);
    legend.show();
    const QImage image = legend.printImage();
    ASSERT_FALSE(image.isNull());
    const QSizeF inches = pictureSizeInches(image.size(), image.devicePixelRatio(),
                                            image.dotsPerMeterX(), image.dotsPerMeterY());
    EXPECT_NEAR(inches.width(), 240.0 / legend.logicalDpiX(), 0.01);
    EXPECT_NEAR(inches.height(), 360.0 / legend.logicalDpiY(), 0.01);
}

}  // namespace
