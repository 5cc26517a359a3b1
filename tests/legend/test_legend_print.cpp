#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollBar>
#include <QTemporaryDir>

#include "legend/LayerListForm.h"
#include "tools/test_print_support.h"

using namespace pelagon;
using namespace pelagon::test;

namespace {

void filledSwatch(QPainter& p, const QRectF& r, int, const QColor& fill, const QColor&, int) {
    p.fillRect(r, fill);
}

class LegendPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        form = std::make_unique<LayerListForm>(filledSwatch);
        form->resize(200, 120);
        form->LegendWidth = 26;
        form->AvailRows = 3;
        // Twelve slots with a gap at 2; even rows shown, odd rows hidden; one name with markup
        // characters and an ampersand.
        for (int i = 0; i < 12; ++i) {
            if (i == 2) {
                continue;
            }
            const QString name =
                i == 5 ? QStringLiteral("Closures & <zones>") : QStringLiteral("Layer %1").arg(i);
            form->AddToLayerListForm(i, name, i % 2 == 0 ? -1 : 0, 0x0000FF, 0, 0,
                                     i % 3 == 1 ? 22 : 23);
        }
        form->placeScrollbar();
        form->show();
        // Scrolled to the end: the printed legend still starts with the first row.
        form->LayerListScroll->setValue(form->LayerListScroll->maximum());
    }

    // Prints pages into a PDF until the legend is done; returns the first row of each page.
    std::vector<int> print(const QString& pdf, QSizeF pageInches) {
        QPdfWriter writer(pdf);
        writer.setResolution(300);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(pageInches, QPageSize::Inch));
        QPainter painter(&writer);
        std::vector<int> starts;
        int row = 0;
        while (row >= 0 && starts.size() < 20) {
            if (!starts.empty()) {
                writer.newPage();
            }
            starts.push_back(row);
            row = form->paintRows(painter, QRectF(0, 0, writer.width(), writer.height()), row);
        }
        return starts;
    }

    QString file(const char* name) { return dir_.filePath(QString::fromLatin1(name)); }

    std::unique_ptr<LayerListForm> form;

private:
    QTemporaryDir dir_;
};

TEST_F(LegendPrintTest, EveryRowInOrderWithHiddenLayersMarked) {
    const QString pdf = file("legend.pdf");
    EXPECT_EQ(print(pdf, QSizeF(8.27, 11.69)), std::vector<int>{0});
    EXPECT_EQ(pdfPageCount(pdf), 1);
    EXPECT_EQ(pdfImageCount(pdf, 1), 0) << "vectors, not a screen image";
    const QString text = pdfText(pdf, 1).simplified();
    EXPECT_EQ(text, QStringLiteral("Available Layers Layer 0 Layer 1 (hidden) Layer 3 (hidden) "
                                   "Layer 4 Closures & <zones> (hidden) Layer 6 Layer 7 (hidden) "
                                   "Layer 8 Layer 9 (hidden) Layer 10 Layer 11 (hidden)"));
    // The swatches are drawn by the swatch painter, in the layers' colours (0x0000FF is red).
    const QImage page = renderPdfPage(pdf, 1, 72, file("page"));
    int red = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            red += near(page.pixelColor(x, y), QColor(255, 0, 0)) ? 1 : 0;
        }
    }
    EXPECT_GT(red, 11 * 20);
}

TEST_F(LegendPrintTest, RowsThatDoNotFitGoOnTheNextPage) {
    const QString pdf = file("pages.pdf");
    // A page two inches tall holds the heading and a few rows of 3/8 inch.
    const std::vector<int> starts = print(pdf, QSizeF(4, 2));
    ASSERT_GE(starts.size(), 3u);
    EXPECT_EQ(starts.front(), 0);
    for (std::size_t k = 1; k < starts.size(); ++k) {
        EXPECT_GT(starts[k], starts[k - 1]);
    }
    EXPECT_EQ(pdfPageCount(pdf), static_cast<int>(starts.size()));
    QString all;
    for (int page = 1; page <= pdfPageCount(pdf); ++page) {
        all += pdfText(pdf, page) + QLatin1Char(' ');
    }
    EXPECT_EQ(all.count(QStringLiteral("Available Layers")), 1) << "the heading once";
    EXPECT_EQ(all.count(QStringLiteral("Layer ")), 10);
    EXPECT_TRUE(all.contains(QStringLiteral("Layer 11 (hidden)")));
    EXPECT_EQ(form->paintRows(*std::make_unique<QPainter>(), QRectF(0, 0, 10, 10), 11), -1);
}

// Classes listed under a row are printed under it: the caption, then each class's swatch in its
// colour and its text.
TEST_F(LegendPrintTest, ClassesFollowTheirRow) {
    LegendClasses classes;
    classes.caption = QStringLiteral("Hours of tracks.csv, whole file, every speed");
    classes.rows = {{QColor(0, 160, 0), QStringLiteral("0–2 h")},
                    {QColor(0, 160, 0), QStringLiteral("2–7.5 h")}};
    form->setLayerClasses(4, classes);
    const QString pdf = file("classes.pdf");
    EXPECT_EQ(print(pdf, QSizeF(8.27, 11.69)), std::vector<int>{0});
    const QString text = pdfText(pdf, 1).simplified();
    EXPECT_TRUE(text.contains(QStringLiteral(
        "Layer 4 Hours of tracks.csv, whole file, every speed 0–2 h 2–7.5 h Closures")))
        << text.toStdString();
    const QImage page = renderPdfPage(pdf, 1, 72, file("classes"));
    int green = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            green += near(page.pixelColor(x, y), QColor(0, 160, 0)) ? 1 : 0;
        }
    }
    EXPECT_GT(green, 2 * 20);
}

}  // namespace
