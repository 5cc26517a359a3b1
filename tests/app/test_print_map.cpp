#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPrinter>
#include <QTemporaryDir>

#include "app/MapWindowFixture.h"
#include "legend/LayerListForm.h"
#include "tools/PrintCommand.h"
#include "tools/test_print_support.h"

using namespace pelagon;

namespace {

// Accepts the dialog with its print-to-PDF output into a file.
class PdfFileDialog : public PrinterDialog {
public:
    explicit PdfFileDialog(QString path) : path_(std::move(path)) {}
    bool choosePrinter(QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path_);
        return true;
    }

private:
    QString path_;
};

int pixelsNear(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += test::near(image.pixelColor(x, y), colour, 6) ? 1 : 0;
        }
    }
    return n;
}

class PrintMapTest : public test::MapWindowFixture {};

TEST_F(PrintMapTest, PrintsTheMapAsShownThenTheLegend) {
    QTemporaryDir out;
    const QString pdf = out.filePath("map.pdf");
    controller = std::make_unique<AppController>(messages, pages.factory());
    controller->setPrinterDialogFactory(
        [pdf](QWidget*) { return std::make_unique<PdfFileDialog>(pdf); });
    ASSERT_TRUE(controller->openMapFile(sample.definition()));
    map = controller->mapform();
    canvas = map->theMap;
    click("Zoom Out");
    const MapRect shown = canvas->extent();

    click("PrintTheMap");

    ASSERT_EQ(test::pdfPageCount(pdf), 2);
    EXPECT_EQ(test::pdfInfoField(pdf, "Title"), QStringLiteral("Map_Extent"));
    // Both pages are drawn as vectors: no raster image on them.
    EXPECT_EQ(test::pdfImageCount(pdf, 1), 0);
    EXPECT_EQ(test::pdfImageCount(pdf, 2), 0);
    // The map's page shows its name and the scale bar.
    const QString mapText = test::pdfText(pdf, 1);
    EXPECT_TRUE(mapText.contains(QStringLiteral("Alaska.mv"))) << mapText.toStdString();
    EXPECT_TRUE(mapText.contains(QStringLiteral(" nm"))) << mapText.toStdString();
    EXPECT_TRUE(mapText.contains(QStringLiteral(" km"))) << mapText.toStdString();
    // Every layer of the legend, in its order, under the legend's heading.
    const QString legendText = test::pdfText(pdf, 2).simplified();
    EXPECT_TRUE(legendText.startsWith(QStringLiteral("Available Layers")))
        << legendText.toStdString();
    int at = 0;
    for (const QCheckBox* box : map->legend()->LayerVisCheck) {
        if (box != nullptr) {
            const int found = static_cast<int>(legendText.indexOf(box->text(), at));
            EXPECT_GE(found, at) << box->text().toStdString();
            at = std::max(at, found);
        }
    }
    const QImage mapPage = test::renderPdfPage(pdf, 1, 40, out.filePath("page1"));
    EXPECT_EQ(mapPage.width() > mapPage.height(), canvas->width() > canvas->height())
        << "the page's orientation follows the map's shape";
    EXPECT_GT(pixelsNear(mapPage, QColor(230, 220, 170)), 500);  // land
    EXPECT_GT(pixelsNear(mapPage, QColor(200, 225, 255)), 500);  // statistical areas
    const QImage legendPage = test::renderPdfPage(pdf, 2, 72, out.filePath("page2"));
    EXPECT_GT(pixelsNear(legendPage, QColor(230, 220, 170)), 20);  // the land's swatch
    // Printing leaves the map and its history as they were.
    EXPECT_EQ(canvas->extent(), shown);
    EXPECT_EQ(map->extentHistory.size(), 1);
    EXPECT_TRUE(messages.messages.isEmpty());
}

}  // namespace
