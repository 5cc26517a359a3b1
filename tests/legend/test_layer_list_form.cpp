#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeySequence>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "legend/LayerListForm.h"

using namespace pelagon;

namespace {

// Paints the swatch in its fill colour so tests can see which colour reached it.
void plainSwatch(QPainter& p, const QRectF& r, int, const QColor& fill, const QColor& border, int) {
    p.fillRect(r, fill);
    p.setPen(border);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

class LegendTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<LayerListForm>(plainSwatch);
        // Three rows fit whole: two pitches of 360 twips and a row unit of 240.
        form->resize(200, form->logicalDpiY() * (2 * 360 + 240) / 1440);
        form->LegendWidth = 20 + 6;
        form->AvailRows = 3;
        form->changeLayerVisible = [this](int index, int v) { calls.append({index, v}); };
        form->show();
    }

    // Fills rows 0..n-1 except those in gaps; row kinds cycle areas, lines, points.
    void fill(int n, QList<int> gaps = {}) {
        for (int i = 0; i < n; ++i) {
            if (gaps.contains(i)) {
                continue;
            }
            const int kind = i % 3 == 0 ? 23 : (i % 3 == 1 ? 22 : 21);
            form->AddToLayerListForm(i, QStringLiteral("Layer %1").arg(i), i % 2 == 0 ? -1 : 0, 255,
                                     0, 0, kind);
        }
        form->placeScrollbar();
    }

    std::unique_ptr<LayerListForm> form;
    QList<QPair<int, int>> calls;
};

// A layer that failed to load leaves no row and no gap: the next row takes its place.
TEST_F(LegendTest, RowsStandAtTheirPitchWithoutGaps) {
    fill(5, {2});
    const int pitch = QCheckBox().logicalDpiY() * 360 / 1440;  // 1.5 row units of 240 twips
    EXPECT_EQ(form->LayerVisCheck[0]->y(), 0);
    EXPECT_EQ(form->LayerVisCheck[1]->y(), pitch);
    EXPECT_EQ(form->LayerVisCheck[2], nullptr);
    EXPECT_EQ(form->Legend[2], nullptr);
    EXPECT_EQ(form->LayerVisCheck[3]->y(), 2 * pitch);
    EXPECT_EQ(form->Legend[3]->y(), 2 * pitch);
    EXPECT_EQ(form->LayerVisCheck[4]->y(), 3 * pitch);
    EXPECT_EQ(form->LayerVisCheck[1]->text(), QStringLiteral("Layer 1"));
    EXPECT_TRUE(form->LayerVisCheck[0]->isChecked());
    EXPECT_FALSE(form->LayerVisCheck[1]->isChecked());
}

TEST_F(LegendTest, SwatchKindsAreaLinePoint) {
    fill(3);
    const int pitch = form->logicalDpiY() * 360 / 1440;
    // Area: a box one row unit high at the row top.
    EXPECT_TRUE(form->Legend[0]->isVisible());
    EXPECT_EQ(form->Legend[0]->y(), 0);
    EXPECT_EQ(form->Legend[0]->height(), form->logicalDpiY() * 240 / 1440);
    // Line: a flat line a quarter of the row pitch below the row top.
    EXPECT_TRUE(form->Legend[1]->isVisible());
    const double lineY = form->Legend[1]->geometry().center().y() + 0.5;
    EXPECT_NEAR(lineY, pitch + pitch / 4.0, 1.0);
    // Point: no swatch, only the box.
    EXPECT_FALSE(form->Legend[2]->isVisible());
    EXPECT_TRUE(form->LayerVisCheck[2]->isVisible());
}

TEST_F(LegendTest, FillingRowsNeverCallsTheVisibilitySwitch) {
    fill(6);
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(LegendTest, ClickingABoxReportsItsNewState) {
    fill(2);
    // Click on the box's mark, at its left end.
    const QPoint mark(6, form->LayerVisCheck[0]->height() / 2);
    QTest::mouseClick(form->LayerVisCheck[0], Qt::LeftButton, {}, mark);
    QTest::mouseClick(form->LayerVisCheck[1], Qt::LeftButton, {}, mark);
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0], qMakePair(0, 0));  // was ticked, now clear
    EXPECT_EQ(calls[1], qMakePair(1, 1));
}

struct ScrollCase {
    int rows;
    bool barShown;
    int maximum;
};

class LegendScrollTest : public LegendTest, public ::testing::WithParamInterface<ScrollCase> {};

TEST_P(LegendScrollTest, BarOnlyWhenRowsDoNotFit) {
    fill(GetParam().rows);
    EXPECT_EQ(form->LayerListScroll->isVisible(), GetParam().barShown);
    EXPECT_EQ(form->LayerListScroll->maximum(), GetParam().maximum);
}

INSTANTIATE_TEST_SUITE_P(Table, LegendScrollTest,
                         ::testing::Values(ScrollCase{1, false, 0}, ScrollCase{3, false, 0},
                                           ScrollCase{4, true, 1}, ScrollCase{10, true, 7}));

TEST_F(LegendTest, ScrollingShowsEveryRowAndComesBackExactly) {
    fill(10, {4});
    QVector<QRect> boxes, swatches;
    for (int i = 0; i < 10; ++i) {
        boxes.append(form->LayerVisCheck[i] ? form->LayerVisCheck[i]->geometry() : QRect());
        swatches.append(form->Legend[i] ? form->Legend[i]->geometry() : QRect());
    }
    const int pitch = form->logicalDpiY() * 360 / 1440;
    // Position p shows the list from its p-th row (row 4 failed and takes no place): the middle
    // rows can be reached.
    EXPECT_EQ(form->LayerListScroll->maximum(), 9 - 3);
    form->LayerListScroll->setValue(5);
    EXPECT_EQ(form->LayerVisCheck[6]->y(), 0);
    EXPECT_EQ(form->LayerVisCheck[7]->y(), pitch);
    // The largest position shows the last rows.
    form->LayerListScroll->setValue(form->LayerListScroll->maximum());
    EXPECT_EQ(form->LayerVisCheck[9]->y(), (3 - 1) * pitch);
    form->LayerListScroll->setValue(0);
    for (int i = 0; i < 10; ++i) {
        if (i == 4) {
            continue;
        }
        EXPECT_EQ(form->LayerVisCheck[i]->geometry(), boxes[i]) << i;
        EXPECT_EQ(form->Legend[i]->geometry(), swatches[i]) << i;
    }
}

TEST_F(LegendTest, SwatchIsPaintedByTheGivenPainter) {
    form->AddToLayerListForm(0, QStringLiteral("Red"), -1, 255, 0, 0, 23);
    form->placeScrollbar();
    const QImage image = form->printImage();
    const QPoint inside = form->Legend[0]->geometry().center();
    EXPECT_EQ(image.pixelColor(inside * image.devicePixelRatio()), QColor(255, 0, 0));
}

// Names show literally: an "&" is no mnemonic, "<" no markup; the box is as wide as its name
// needs, whatever LegendWidth says, as long as the legend is that wide; in a narrower legend the
// name ends in "…" at its edge and the tooltip holds it whole.
TEST_F(LegendTest, NamesShowWholeAndLiterally) {
    form->LegendWidth = 4 + 2 + 1;  // a design width of one cell for the box
    const QString name = QStringLiteral("Closures & <zones> of the western Gulf");
    form->AddToLayerListForm(0, name, -1, 255, 0, 0, 23);
    for (const int width : {150, 600}) {  // narrowed, then widened again
        form->resize(width, 300);
        form->placeScrollbar();
        QCheckBox* box = form->LayerVisCheck[0];
        EXPECT_TRUE(QKeySequence::mnemonic(box->text()).isEmpty()) << box->text().toStdString();
        EXPECT_GE(box->width(), box->sizeHint().width());
        EXPECT_LE(box->x() + box->width(), width);
        if (width == 600) {
            EXPECT_EQ(box->text().replace("&&", "&"), name);
            EXPECT_TRUE(box->toolTip().isEmpty());
        } else {
            EXPECT_TRUE(box->text().endsWith(QChar(0x2026))) << box->text().toStdString();
            EXPECT_TRUE(name.startsWith(box->text().replace("&&", "&").chopped(1)));
            EXPECT_EQ(box->toolTip(), name);
        }
    }
}

// The thumb is what stands out on the bar, darker than its track: at the top while the first
// rows show, at the bottom with the last ones.
TEST_F(LegendTest, ThumbStandsOutWhereTheListIs) {
    form->resize(200, form->logicalDpiY() * (9 * 360 + 240) / 1440);
    fill(40);
    QScrollBar* bar = form->LayerListScroll;
    ASSERT_EQ(bar->pageStep(), 10);
    // The mean grey of the bar's middle column between two shares of its height; the arrows
    // take the ends.
    const auto shade = [&](double from, double to) {
        const QImage image = bar->grab().toImage();
        const int x = image.width() / 2;
        int sum = 0;
        int n = 0;
        for (int y = static_cast<int>(from * image.height()); y < to * image.height(); ++y, ++n) {
            sum += qGray(image.pixel(x, y));
        }
        return sum / std::max(1, n);
    };
    bar->setValue(0);
    EXPECT_LT(shade(0.12, 0.25) + 40, shade(0.75, 0.88));
    bar->setValue(bar->maximum());
    EXPECT_LT(shade(0.75, 0.88) + 40, shade(0.12, 0.25));
}

// The wheel scrolls by rows; the thumb starts at the top and is the visible share; at the end
// the last row shows whole, left of the scroll bar.
TEST_F(LegendTest, WheelAndThumbFollowTheRows) {
    fill(10);
    QScrollBar* bar = form->LayerListScroll;
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(form->visibleRows(), 3);
    EXPECT_EQ(bar->pageStep(), 3);
    EXPECT_EQ(bar->maximum(), 7);
    const int pitch = form->logicalDpiY() * 360 / 1440;
    auto wheel = [&](QWidget* over, int delta) {
        QWheelEvent e(QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &e);
    };
    // One notch down moves by whole rows. (Over a row's box the wheel reaches the legend too:
    // the box leaves it to its parents.)
    const int lines = QApplication::wheelScrollLines();
    wheel(form.get(), -120);
    EXPECT_EQ(bar->value(), std::min(7, lines));
    EXPECT_EQ(form->LayerVisCheck[bar->value()]->y(), 0);
    for (int i = 0; i < 5; ++i) {
        wheel(form.get(), -120);
    }
    EXPECT_EQ(bar->value(), 7);
    const QRect last = form->LayerVisCheck[9]->geometry();
    EXPECT_EQ(last.y(), 2 * pitch);
    EXPECT_LE(last.bottom(), form->height() - 1);
    EXPECT_LE(form->LayerVisCheck[9]->parentWidget()->geometry().right(), bar->x() - 1);
    wheel(form.get(), 120 * 5);
    EXPECT_EQ(bar->value(), 0);
    // A touchpad's small steps add up to a notch.
    for (int i = 0; i < 4; ++i) {
        wheel(form.get(), -30);
    }
    EXPECT_EQ(bar->value(), std::min(7, lines));
    wheel(form.get(), 120);
    EXPECT_EQ(bar->value(), 0);
    // A taller panel shows every row: no scroll bar.
    form->resize(form->width(), 10 * pitch);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 0);
}

// Classes listed under a row: the caption wrapped to the width left of the scroll bar's place,
// never cut, then a swatch per class in its colour; the rows below move down by as many rows and
// the scroll bar counts them; without rows they go and everything is back where it was.
TEST_F(LegendTest, ClassesStandUnderTheirRowAndGoAgain) {
    fill(4);
    const int pitch = form->logicalDpiY() * 360 / 1440;
    const QRect below = form->LayerVisCheck[2]->geometry();
    LegendClasses classes;
    classes.caption = QStringLiteral("Hours of vessel-tracks-2024.csv, 2024-05-01, 1–20 kn");
    classes.rows = {{QColor(0, 160, 0), QStringLiteral("0–2 h")},
                    {QColor(0, 0, 200), QStringLiteral("2–7.5 h")}};
    form->setLayerClasses(1, classes);
    const LegendClassRows* listed = form->layerClasses(1);
    ASSERT_NE(listed, nullptr);
    ASSERT_TRUE(listed->isVisible());
    EXPECT_EQ(listed->y(), 2 * pitch);
    EXPECT_EQ(listed->x(), form->LayerVisCheck[1]->x());
    EXPECT_LE(listed->x() + listed->width(), form->width() - form->LayerListScroll->width());
    const QStringList lines = listed->captionLines();
    ASSERT_GE(lines.size(), 2) << "a caption wider than the panel is wrapped";
    // Broken after commas where the pieces fit, else between words: nothing lost.
    EXPECT_EQ(lines.back(), QStringLiteral("1–20 kn"));
    EXPECT_EQ(lines.join(QString()).remove(' '), QString(classes.caption).remove(' '));
    QFont italic = form->LayerVisCheck[1]->font();
    italic.setItalic(true);
    for (const QString& line : lines) {
        EXPECT_LE(QFontMetrics(italic, listed).horizontalAdvance(line), listed->width())
            << line.toStdString();
    }
    const int extra = static_cast<int>(lines.size()) + 2;
    EXPECT_EQ(form->LayerVisCheck[2]->y(), below.y() + extra * pitch);
    EXPECT_EQ(form->rowSlots(), 4 + extra);
    EXPECT_EQ(form->LayerListScroll->maximum(), 4 + extra - 3);
    const QImage image = const_cast<LegendClassRows*>(listed)->grab().toImage();
    const int rowPixels = form->LayerVisCheck[1]->height();
    for (int k = 0; k < 2; ++k) {
        const QPoint swatch(rowPixels / 2,
                            (static_cast<int>(lines.size()) + k) * pitch + rowPixels / 2);
        EXPECT_EQ(image.pixelColor(swatch * image.devicePixelRatio()), classes.rows[k].first) << k;
    }

    form->setLayerClasses(1, {});
    EXPECT_EQ(form->layerClasses(1), nullptr);
    EXPECT_EQ(form->LayerVisCheck[2]->geometry(), below);
    EXPECT_EQ(form->LayerListScroll->maximum(), 1);
}

}  // namespace
