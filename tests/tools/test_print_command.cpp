#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "test_print_support.h"
#include "tools/PrintCommand.h"
#include "tools/PrinterPlatformLinux.h"

using namespace pelagon;
using namespace pelagon::test;

namespace {

const QString kOffice = QStringLiteral("Office Laser,winspool,Ne00:");
const QString kPlotter = QStringLiteral("Plotter,winspool,USB001");

class PrintCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        pdf = dir_.filePath(QStringLiteral("map.pdf"));
    }

    // A command over the fakes; the test keeps pointers to the platform and the dialog.
    std::unique_ptr<PrintCommand> makeCommand(std::unique_ptr<PrinterPlatform> ownPlatform = {}) {
        auto fakePlatform = std::make_unique<FakePlatform>();
        platform = fakePlatform.get();
        auto fakeDialog = std::make_unique<FakeDialog>();
        dialog = fakeDialog.get();
        dialog->pdfPath = pdf;
        dialog->platform = platform;
        PrintSources sources;
        sources.paintMap = [this](QPainter& p, const QRectF& target) {
            return map.paint(p, target);
        };
        sources.mapName = QStringLiteral("Fish & Chips.mv");
        sources.mapScreenSizeInches = mapShape;
        sources.paintLegend = paintLegend;
        sources.legendImage = [this] {
            ++legendCalls;
            return legend();
        };
        if (ownPlatform) {
            dialog->platform = nullptr;
            platform = nullptr;
            return std::make_unique<PrintCommand>(std::move(ownPlatform), std::move(fakeDialog),
                                                  std::move(sources));
        }
        return std::make_unique<PrintCommand>(std::move(fakePlatform), std::move(fakeDialog),
                                              std::move(sources));
    }

    QString renderPrefix(int page) const {
        return dir_.filePath(QStringLiteral("page%1").arg(page));
    }

    QString pdf;
    FakePlatform* platform = nullptr;
    FakeDialog* dialog = nullptr;
    FakeMap map;
    int legendCalls = 0;
    std::function<QImage()> legend = [] { return legendPicture(192, 96); };
    std::function<QSizeF()> mapShape;
    LegendPainter paintLegend;

private:
    QTemporaryDir dir_;
};

struct PixelCase {
    int page;
    QPoint point;  // in points of the page (rendered at 72 dpi)
    QColor colour;
    const char* what;
};

TEST_F(PrintCommandTest, PrintsTheMapThenTheLegendOnTwoPages) {
    auto command = makeCommand();
    command->printCurrentExtent();

    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(pdfPageCount(pdf), 2);
    EXPECT_EQ(pdfInfoField(pdf, QStringLiteral("Title")), QStringLiteral("Map_Extent"));
    // No title line above the map; under it, the map's name and the date.
    const QString text = pdfText(pdf, 1).simplified();
    EXPECT_EQ(text,
              QStringLiteral("Fish & Chips.mv ") + QDate::currentDate().toString(Qt::ISODate));

    // The map is drawn straight onto the printer in high resolution and handed the printable
    // area (A4 less 20 mm margins) above the footer line.
    EXPECT_TRUE(map.deviceIsPrinter);
    EXPECT_GE(dialog->resolution, 600);
    EXPECT_EQ(map.target.topLeft(), QPointF(0, 0));
    EXPECT_EQ(map.target.width(), dialog->printableSize.width());
    const double mm = dialog->resolution / 25.4;
    EXPECT_NEAR(map.target.width(), 170.0 * mm, 1.0 * mm);
    EXPECT_LT(map.target.height(), 257.0 * mm - 3.0 * mm);
    EXPECT_GT(map.target.height(), 257.0 * mm - 10.0 * mm);

    // Vectors on the map page, one raster picture on the legend page.
    EXPECT_EQ(pdfImageCount(pdf, 1), 0);
    EXPECT_EQ(pdfImageCount(pdf, 2), 1);

    // A4 is 595 x 842 points with the printable area from 56.7 points in; the map's halves
    // meet at 297.6; the legend, 2 x 1 inches, covers 56.7..200.7 across and 56.7..128.7 down.
    const PixelCase pixels[] = {
        {1, {100, 400}, kMapLeft, "map, left half"},
        {1, {450, 400}, kMapRight, "map, right half"},
        {1, {60, 60}, kMapLeft, "map reaches the printable area's corner"},
        {1, {535, 760}, kMapRight, "map reaches the printable area's right edge"},
        {1, {30, 400}, Qt::white, "left margin"},
        {1, {565, 400}, Qt::white, "right margin"},
        {1, {300, 815}, Qt::white, "bottom margin"},
        {2, {80, 70}, kLegendMark, "legend, its top-left quarter"},
        {2, {180, 115}, kLegendGround, "legend, its ground"},
        {2, {30, 70}, Qt::white, "left of the legend"},
        {2, {215, 70}, Qt::white, "right of the legend: printed at its size, not blown up"},
        {2, {80, 145}, Qt::white, "below the legend"},
    };
    QImage pages[3];
    for (int page : {1, 2}) {
        pages[page] = renderPdfPage(pdf, page, 72, renderPrefix(page));
        ASSERT_FALSE(pages[page].isNull());
        EXPECT_NEAR(pages[page].width(), 595, 1);
    }
    for (const PixelCase& c : pixels) {
        const QColor seen = pages[c.page].pixelColor(c.point);
        EXPECT_TRUE(near(seen, c.colour))
            << c.what << ": page " << c.page << " at " << c.point.x() << "," << c.point.y()
            << " is " << seen.name().toStdString();
    }
}

struct DefaultCase {
    const char* name;
    FakeDialog::Answer answer;
    bool skipsRestore;  // the platform family that keeps the dialog's printer as the default
    FakeMap::Outcome mapOutcome;
    const char* defaultAfter;
    int restores;  // calls of the platform's "make default"
    int pages;     // 0: no output file
    int mapCalls;
    int legendCalls;
};

std::ostream& operator<<(std::ostream& os, const DefaultCase& c) {
    return os << c.name;
}

class PrintCommandDefaultTest : public PrintCommandTest,
                                public ::testing::WithParamInterface<DefaultCase> {};

TEST_P(PrintCommandDefaultTest, RestoresOrKeepsTheDefaultPrinter) {
    const DefaultCase& c = GetParam();
    auto command = makeCommand();
    platform->skipsRestore = c.skipsRestore;
    dialog->answer = c.answer;
    dialog->chosenPrinter = kPlotter;
    map.outcome = c.mapOutcome;

    command->printCurrentExtent();

    EXPECT_EQ(command->savedPrinterDevice, kOffice);
    EXPECT_EQ(dialog->shown, 1);
    EXPECT_EQ(platform->current, QString::fromUtf8(c.defaultAfter));
    EXPECT_EQ(platform->setCalls.size(), c.restores);
    if (c.restores > 0) {
        EXPECT_EQ(platform->setCalls.last(), kOffice);
    }
    EXPECT_EQ(map.calls, c.mapCalls);
    EXPECT_EQ(legendCalls, c.legendCalls);
    if (c.pages == 0) {
        EXPECT_FALSE(QFile::exists(pdf)) << "nothing printed";
    } else {
        EXPECT_EQ(pdfPageCount(pdf), c.pages);
    }
}

using A = FakeDialog::Answer;
using M = FakeMap::Outcome;

INSTANTIATE_TEST_SUITE_P(
    Table, PrintCommandDefaultTest,
    ::testing::Values(DefaultCase{"OtherPrinterChosen", A::PrintToPdf, false, M::Draw,
                                  "Office Laser,winspool,Ne00:", 1, 2, 1, 1},
                      DefaultCase{"FamilyKeepsChoice", A::PrintToPdf, true, M::Draw,
                                  "Plotter,winspool,USB001", 0, 2, 1, 1},
                      DefaultCase{"Cancelled", A::Cancel, false, M::Draw,
                                  "Office Laser,winspool,Ne00:", 1, 0, 0, 0},
                      DefaultCase{"CancelledFamilyKeepsChoice", A::Cancel, true, M::Draw,
                                  "Plotter,winspool,USB001", 0, 0, 0, 0},
                      DefaultCase{"DialogFails", A::Fail, false, M::Draw,
                                  "Office Laser,winspool,Ne00:", 1, 0, 0, 0},
                      DefaultCase{"MapReportsFailure", A::PrintToPdf, false, M::Fail,
                                  "Office Laser,winspool,Ne00:", 1, 0, 1, 0},
                      DefaultCase{"MapThrows", A::PrintToPdf, false, M::Throw,
                                  "Office Laser,winspool,Ne00:", 1, 0, 1, 0}),
    [](const ::testing::TestParamInfo<DefaultCase>& info) { return info.param.name; });

struct LegendFailureCase {
    const char* name;
    std::function<QImage()> legend;
};

class PrintCommandLegendFailureTest : public PrintCommandTest,
                                      public ::testing::WithParamInterface<LegendFailureCase> {};

TEST_P(PrintCommandLegendFailureTest, MapPageAloneAndDefaultRestored) {
    auto command = makeCommand();
    dialog->chosenPrinter = kPlotter;
    legend = GetParam().legend;

    command->printCurrentExtent();

    EXPECT_EQ(legendCalls, 1);
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_EQ(platform->current, kOffice);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrintCommandLegendFailureTest,
    ::testing::Values(LegendFailureCase{"NullImage", [] { return QImage(); }},
                      LegendFailureCase{
                          "Throws",
                          []() -> QImage { throw std::runtime_error("legend not shown"); }}),
    [](const ::testing::TestParamInfo<LegendFailureCase>& info) { return info.param.name; });

struct TwiceCase {
    const char* name;
    bool skipsRestore;
    const char* secondSaved;
    int restores;
};

class PrintCommandTwiceTest : public PrintCommandTest,
                              public ::testing::WithParamInterface<TwiceCase> {};

TEST_P(PrintCommandTwiceTest, SecondCommandSavesWhatTheFirstLeft) {
    const TwiceCase& c = GetParam();
    auto command = makeCommand();
    platform->skipsRestore = c.skipsRestore;

    dialog->chosenPrinter = kPlotter;
    command->printCurrentExtent();
    EXPECT_EQ(command->savedPrinterDevice, kOffice);

    dialog->chosenPrinter = QStringLiteral("Label Writer,winspool,COM1:");
    command->printCurrentExtent();
    EXPECT_EQ(command->savedPrinterDevice, QString::fromUtf8(c.secondSaved));
    EXPECT_EQ(platform->setCalls.size(), c.restores);
    EXPECT_EQ(dialog->shown, 2);
    EXPECT_EQ(map.calls, 2);
    EXPECT_EQ(legendCalls, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrintCommandTwiceTest,
    ::testing::Values(TwiceCase{"RestoringPlatform", false, "Office Laser,winspool,Ne00:", 2},
                      TwiceCase{"FamilyKeepsChoice", true, "Plotter,winspool,USB001", 0}),
    [](const ::testing::TestParamInfo<TwiceCase>& info) { return info.param.name; });

TEST_F(PrintCommandTest, UnreadablePrinterPrintsNothingAndRestoresNothing) {
    auto command = makeCommand();
    command->savedPrinterDevice = QStringLiteral("left over");
    platform->failRead = true;
    command->printCurrentExtent();
    EXPECT_EQ(dialog->shown, 0);
    EXPECT_TRUE(platform->setCalls.isEmpty());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintCommandTest, FailingRestoreIsSilent) {
    auto command = makeCommand();
    platform->failSet = true;
    EXPECT_NO_THROW(command->printCurrentExtent());
    EXPECT_EQ(platform->setCalls, QStringList{kOffice});
    EXPECT_EQ(pdfPageCount(pdf), 2);
}

TEST_F(PrintCommandTest, PrintsToPdfWithTheLinuxPlatform) {
    PrinterPlatformLinux reference;
    auto command = makeCommand(std::make_unique<PrinterPlatformLinux>());
    command->printCurrentExtent();
    EXPECT_EQ(command->savedPrinterDevice, reference.currentPrinterDevice());
    EXPECT_TRUE(command->SetDefaultPrinter(command->savedPrinterDevice));
    EXPECT_EQ(pdfPageCount(pdf), 2);
}

struct OrientationCase {
    const char* name;
    QSizeF mapInches;  // the map's shape on screen; empty: unknown
    std::optional<QPageLayout::Orientation> userChoice;
    QPageLayout::Orientation offered;
    QPageLayout::Orientation printed;
    double aspect;  // of the map's rectangle on the page; 0: fills the area
};

std::ostream& operator<<(std::ostream& os, const OrientationCase& c) {
    return os << c.name;
}

class PrintOrientationTest : public PrintCommandTest,
                             public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(PrintOrientationTest, PageFollowsTheMapsShapeUnlessTheUserChoseAnother) {
    const OrientationCase& c = GetParam();
    if (!c.mapInches.isEmpty()) {
        mapShape = [c] { return c.mapInches; };
    }
    auto command = makeCommand();
    dialog->userOrientation = c.userChoice;
    command->printCurrentExtent();
    EXPECT_EQ(dialog->offeredOrientation, c.offered);
    ASSERT_EQ(pdfPageCount(pdf), 2);
    const QImage page = renderPdfPage(pdf, 1, 20, renderPrefix(1));
    EXPECT_EQ(page.width() > page.height(), c.printed == QPageLayout::Landscape);
    if (c.aspect > 0) {
        EXPECT_NEAR(map.target.width() / map.target.height(), c.aspect, 0.01);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrintOrientationTest,
    ::testing::Values(
        OrientationCase{"WideMap",
                        {12, 7},
                        std::nullopt,
                        QPageLayout::Landscape,
                        QPageLayout::Landscape,
                        12.0 / 7},
        OrientationCase{
            "TallMap", {6, 9}, std::nullopt, QPageLayout::Portrait, QPageLayout::Portrait, 6.0 / 9},
        OrientationCase{"WideMapUserChosePortrait",
                        {12, 7},
                        QPageLayout::Portrait,
                        QPageLayout::Landscape,
                        QPageLayout::Portrait,
                        12.0 / 7},
        OrientationCase{"TallMapUserChoseLandscape",
                        {6, 9},
                        QPageLayout::Landscape,
                        QPageLayout::Portrait,
                        QPageLayout::Landscape,
                        6.0 / 9},
        OrientationCase{
            "ShapeUnknown", {}, std::nullopt, QPageLayout::Portrait, QPageLayout::Portrait, 0}),
    [](const ::testing::TestParamInfo<OrientationCase>& info) { return info.param.name; });

TEST_F(PrintCommandTest, VectorLegendGoesOverAsManyPagesAsItsRowsNeed) {
    // 50 rows of an inch each: the legend takes pages until the painter says it is done.
    std::vector<int> starts;
    paintLegend = [&starts](QPainter& p, const QRectF& area, int first) {
        starts.push_back(first);
        const double inch = p.device()->logicalDpiY();
        int row = first;
        for (double top = area.top(); row < 50 && top + inch <= area.bottom(); top += inch) {
            p.fillRect(QRectF(area.left(), top, inch * 2, inch * 0.8), kLegendMark);
            ++row;
        }
        return row < 50 ? row : -1;
    };
    auto command = makeCommand();
    command->printCurrentExtent();
    // A4 less 20 mm margins holds 10 rows of an inch: pages 2 to 6 hold the legend.
    EXPECT_EQ(starts, (std::vector<int>{0, 10, 20, 30, 40}));
    EXPECT_EQ(pdfPageCount(pdf), 6);
    EXPECT_EQ(legendCalls, 0) << "the vector legend replaces the picture";
    for (int page = 2; page <= 6; ++page) {
        EXPECT_EQ(pdfImageCount(pdf, page), 0) << "page " << page << " is vectors only";
    }
    const QImage last = renderPdfPage(pdf, 6, 72, renderPrefix(6));
    EXPECT_TRUE(near(last.pixelColor(80, 70), kLegendMark));
}

TEST_F(PrintCommandTest, LegendPainterThatCannotFitARowStopsThePrinting) {
    int calls = 0;
    paintLegend = [&calls](QPainter&, const QRectF&, int first) {
        ++calls;
        return first;  // no progress
    };
    auto command = makeCommand();
    command->printCurrentExtent();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(pdfPageCount(pdf), 2) << "the map page and the one legend page tried";
}

}  // namespace
