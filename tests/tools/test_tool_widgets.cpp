#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "common/Twips.h"
#include "layout/MapWindowLayout.h"
#include "tools/MapPicture.h"
#include "tools/MapPictureBox.h"
#include "tools/MapToolbar.h"
#include "tools/PlaceComboBox.h"
#include "tools/ToolbarFaces.h"

using namespace pelagon;

namespace {

QImage asImage(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

struct ButtonCase {
    int index;
    const char* key;
    const char* toolTip;
};

std::ostream& operator<<(std::ostream& os, const ButtonCase& c) {
    return os << c.key;
}

class MapToolbarButtonTest : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(MapToolbarButtonTest, KeyIndexTooltipImageAndClick) {
    const ButtonCase& c = GetParam();
    MapToolbar toolbar(mapwindow::kToolbarWidth);
    toolbar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    const QString key = QString::fromUtf8(c.key);
    EXPECT_EQ(toolbar.key(c.index), key);
    EXPECT_EQ(toolbar.indexOfKey(key), c.index);
    EXPECT_EQ(toolbar.buttonImage(c.index), c.index);
    QToolButton* button = toolbar.button(c.index);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QString::fromUtf8(c.toolTip));
    EXPECT_EQ(asImage(button->icon().pixmap(toolbarFaceSize(), 1.0)),
              asImage(toolbarFacePixmap(c.index)));

    QSignalSpy clicks(&toolbar, &MapToolbar::ButtonClick);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toString(), key);
    EXPECT_EQ(clicks[0][1].toInt(), c.index);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MapToolbarButtonTest,
    ::testing::Values(ButtonCase{1, "Zoom to Extent", "Zoom to the full extent of the map"},
                      ButtonCase{2, "Zoom to Rectangle", "Zoom to rectangle"},
                      ButtonCase{3, "Zoom Out", "Zoom Out"},
                      ButtonCase{4, "PreviousExtent", "Revert to previous extent"},
                      ButtonCase{5, "Pan", "Pan"},
                      ButtonCase{6, "drill_id", "Fish Tool -- Shows layers present at clicked loc"},
                      ButtonCase{7, "PrintTheMap", "Print the current extent"},
                      ButtonCase{8, "MeasureTool", "Measure distance"},
                      ButtonCase{9, "AI", "Zoom to the Aleutian Islands"},
                      ButtonCase{10, "BS", "Zoom to the Bering Sea"},
                      ButtonCase{11, "GOA", "Zoom to the Gulf of Alaska"}));

TEST(MapToolbarTest, ElevenButtonsInOneColumnTopToBottom) {
    MapToolbar toolbar(mapwindow::kToolbarWidth);
    toolbar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    ASSERT_EQ(toolbar.buttonCount(), 11);
    for (int i = 1; i <= 11; ++i) {
        const QRect g = toolbar.button(i)->geometry();
        EXPECT_GE(g.left(), 0);
        EXPECT_LE(g.right(), toolbar.width() - 1) << "button " << i << " sticks out";
        if (i > 1) {
            EXPECT_EQ(g.left(), toolbar.button(i - 1)->geometry().left());
            EXPECT_GT(g.top(), toolbar.button(i - 1)->geometry().top());
        }
    }
}

TEST(MapToolbarTest, WidthIs765TwipsAtTheLogicalDpi) {
    MapToolbar toolbar(mapwindow::kToolbarWidth);
    toolbar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    EXPECT_EQ(toolbar.width(), twipsToPixels(765, toolbar.logicalDpiX()));
    if (toolbar.logicalDpiX() == 96) {
        EXPECT_EQ(toolbar.width(), 51);
    }
}

struct ImageCase {
    int index;
    int image;
    bool accepted;
};

class MapToolbarImageTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(MapToolbarImageTest, SetsOnlyValidImagesOnValidButtons) {
    const ImageCase& c = GetParam();
    MapToolbar toolbar(mapwindow::kToolbarWidth);
    EXPECT_EQ(toolbar.setButtonImage(c.index, c.image), c.accepted);
    for (int i = 1; i <= toolbar.buttonCount(); ++i) {
        const int expected = (c.accepted && i == c.index) ? c.image : i;
        EXPECT_EQ(toolbar.buttonImage(i), expected) << "button " << i;
        EXPECT_EQ(asImage(toolbar.button(i)->icon().pixmap(toolbarFaceSize(), 1.0)),
                  asImage(toolbarFacePixmap(expected)))
            << "button " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MapToolbarImageTest,
                         ::testing::Values(ImageCase{2, 13, true}, ImageCase{6, 17, true},
                                           ImageCase{11, 22, true}, ImageCase{1, 1, true},
                                           ImageCase{5, 0, false}, ImageCase{5, 23, false},
                                           ImageCase{0, 13, false}, ImageCase{12, 13, false}));

TEST(MapToolbarTest, OutOfRangeLookupsAnswerNothing) {
    MapToolbar toolbar(mapwindow::kToolbarWidth);
    EXPECT_EQ(toolbar.buttonImage(0), 0);
    EXPECT_EQ(toolbar.buttonImage(12), 0);
    EXPECT_TRUE(toolbar.key(12).isEmpty());
    EXPECT_EQ(toolbar.button(0), nullptr);
    EXPECT_EQ(toolbar.indexOfKey(QStringLiteral("pan")), 0);
    EXPECT_EQ(toolbar.indexOfKey(QStringLiteral("Zoom To Extent")), 0);
    EXPECT_EQ(toolbar.indexOfKey(QString()), 0);
    EXPECT_FALSE(toolbar.setButtonEnabled(12, false));
}

TEST(MapToolbarTest, DisabledButtonReportsNoClick) {
    MapToolbar toolbar(mapwindow::kToolbarWidth);
    toolbar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&toolbar));
    ASSERT_TRUE(toolbar.setButtonEnabled(10, false));
    EXPECT_FALSE(toolbar.isButtonEnabled(10));
    EXPECT_TRUE(toolbar.isButtonEnabled(9));
    QSignalSpy clicks(&toolbar, &MapToolbar::ButtonClick);
    QTest::mouseClick(toolbar.button(10), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);
    toolbar.setButtonEnabled(10, true);
    QTest::mouseClick(toolbar.button(10), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

// The site and region lists.

class PlaceComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        box_.resize(160, 24);
        box_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box_));
    }

    // Chooses an entry in the open list with the mouse, as a user does.
    void chooseWithMouse(int index) {
        box_.showPopup();
        QAbstractItemView* view = box_.view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        const QRect r = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    }

    PlaceComboBox box_;
};

TEST_F(PlaceComboBoxTest, StartsEmptyDisabledWithPromptAndTooltip) {
    EXPECT_FALSE(box_.isEnabled());
    EXPECT_EQ(box_.count(), 0);
    EXPECT_EQ(box_.currentIndex(), -1);
    EXPECT_EQ(box_.placeholderText(), QStringLiteral("Zoom to site"));
    EXPECT_EQ(box_.toolTip(), QStringLiteral("Click here to select a site to zoom to"));
}

TEST_F(PlaceComboBoxTest, ShowsPlacesInFileOrderWithThePromptDrawn) {
    const QStringList names = {QStringLiteral("Unimak Pass"), QStringLiteral(" Amak"),
                               QStringLiteral("\"Akun\"")};
    box_.setPlaces(names);
    EXPECT_TRUE(box_.isEnabled());
    ASSERT_EQ(box_.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(box_.itemText(i), names[i]);
    }
    EXPECT_EQ(box_.currentIndex(), -1);
    EXPECT_TRUE(box_.currentText().isEmpty());
    // The prompt is painted: without it the closed list looks different.
    const QImage withPrompt = box_.grab().toImage();
    box_.setPlaceholderText(QString());
    const QImage withoutPrompt = box_.grab().toImage();
    EXPECT_NE(withPrompt, withoutPrompt);
}

TEST_F(PlaceComboBoxTest, SameChoiceTwiceIsReportedTwice) {
    box_.setPlaces({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    QSignalSpy chosen(&box_, &PlaceComboBox::placeChosen);
    chooseWithMouse(2);
    chooseWithMouse(2);
    chooseWithMouse(0);
    ASSERT_EQ(chosen.count(), 3);
    EXPECT_EQ(chosen[0][0].toInt(), 2);
    EXPECT_EQ(chosen[1][0].toInt(), 2);
    EXPECT_EQ(chosen[2][0].toInt(), 0);
    EXPECT_EQ(box_.currentText(), QStringLiteral("A"));
}

TEST_F(PlaceComboBoxTest, ArrowKeysStepFromPlaceToPlace) {
    box_.setPlaces({QStringLiteral("A"), QStringLiteral("B")});
    QSignalSpy chosen(&box_, &PlaceComboBox::placeChosen);
    box_.setFocus();
    QTest::keyClick(&box_, Qt::Key_Down);
    QTest::keyClick(&box_, Qt::Key_Down);
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen[0][0].toInt(), 0);
    EXPECT_EQ(chosen[1][0].toInt(), 1);
}

TEST_F(PlaceComboBoxTest, ProgramChangesAreNotChoices) {
    QSignalSpy chosen(&box_, &PlaceComboBox::placeChosen);
    box_.setPlaces({QStringLiteral("A"), QStringLiteral("B")});
    box_.setCurrentIndex(1);
    box_.showPrompt();
    EXPECT_EQ(box_.currentIndex(), -1);
    EXPECT_EQ(chosen.count(), 0);
}

TEST_F(PlaceComboBoxTest, FailedListIsDisabledAgain) {
    box_.setPlaces({QStringLiteral("A")});
    box_.setPlaces({});
    EXPECT_FALSE(box_.isEnabled());
    EXPECT_EQ(box_.count(), 0);
}

TEST(MapPictureBoxTest, SizedInTwipsAndPainted) {
    MapPictureBox picture(QSizeF(mapwindow::kPictureWidth, mapwindow::kPictureHeight));
    picture.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&picture));
    EXPECT_EQ(picture.objectName(), QStringLiteral("Picture1"));
    EXPECT_EQ(picture.size(), QSize(twipsToPixels(2655, picture.logicalDpiX()),
                                    twipsToPixels(615, picture.logicalDpiY())));
    if (picture.logicalDpiX() == 96 && picture.logicalDpiY() == 96) {
        EXPECT_EQ(picture.size(), QSize(177, 41));
    }
    const QImage shown = picture.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage drawn = mapPicturePixmap(picture.size(), shown.devicePixelRatio())
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(shown, drawn);
}

}  // namespace
