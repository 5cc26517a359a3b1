#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPainter>

#include <functional>

#include "tools/MapPicture.h"
#include "tools/ToolbarFaceIconEngine.h"
#include "tools/ToolbarFaces.h"

using namespace pelagon;

namespace {

using Pixel = std::function<bool(QColor)>;

QImage faceImage(int imageNumber, qreal dpr = 1.0, bool enabled = true) {
    return toolbarFacePixmap(imageNumber, dpr, QSize(), enabled)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

bool isDarkBlue(QColor c) {
    return c.alpha() == 255 && c.blue() > c.red() + 40 && c.blue() > c.green() + 30 &&
           c.value() < 170;
}
// On the dark blue ground only caption strokes come this close to white or yellow.
bool isWhite(QColor c) {
    return c.red() >= 190 && c.green() >= 190 && c.blue() >= 190;
}
bool isYellow(QColor c) {
    return c.red() >= 190 && c.green() >= 160 && c.blue() <= 100;
}

// Pixels of a region given in design pixels (40 x 39), scaled to the image's resolution.
int count(const QImage& image, const QRect& design, const Pixel& test) {
    const double s = image.width() / double(kToolbarFaceWidth);
    const QRect r(qRound(design.x() * s), qRound(design.y() * s), qRound(design.width() * s),
                  qRound(design.height() * s));
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += test(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    return n;
}

double luminance(const QImage& image, const QRect& region) {
    double sum = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            sum += qGray(image.pixel(x, y));
        }
    }
    return sum / (region.width() * region.height());
}

const QRect kCaption(0, 24, 40, 15);

// Neighbouring pixels of the caption area of a 2x face whose grey levels differ by more than half
// the range.
int steepEdges(const QImage& twoX) {
    int n = 0;
    for (int y = 48; y < twoX.height(); ++y) {
        for (int x = 0; x + 1 < twoX.width(); ++x) {
            n += std::abs(qGray(twoX.pixel(x, y)) - qGray(twoX.pixel(x + 1, y))) > 120 ? 1 : 0;
        }
    }
    return n;
}
const QRect kSymbol(0, 0, 40, 23);

enum class Caption { White, Yellow };

struct FaceCase {
    int image;
    Caption caption;
    bool halo;
};

std::ostream& operator<<(std::ostream& os, const FaceCase& c) {
    return os << "image" << c.image;
}

class ToolbarFaceTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(ToolbarFaceTest, DarkBlueGroundToTheEdges) {
    const QImage image = faceImage(GetParam().image);
    ASSERT_EQ(image.size(), QSize(40, 39));
    // Both side columns stay ground from top to bottom: captions fit inside the 40 pixels.
    for (int y = 0; y < image.height(); ++y) {
        EXPECT_TRUE(isDarkBlue(image.pixelColor(0, y))) << "left, y " << y;
        EXPECT_TRUE(isDarkBlue(image.pixelColor(39, y))) << "right, y " << y;
    }
    EXPECT_TRUE(isDarkBlue(image.pixelColor(20, 0)));
    EXPECT_TRUE(isDarkBlue(image.pixelColor(20, 38)));
}

TEST_P(ToolbarFaceTest, CaptionColourMarksTheSelectedFace) {
    const FaceCase& c = GetParam();
    const QImage image = faceImage(c.image);
    const int white = count(image, kCaption, isWhite);
    const int yellow = count(image, kCaption, isYellow);
    if (c.caption == Caption::White) {
        EXPECT_GE(white, 10);
        EXPECT_EQ(yellow, 0);
    } else {
        EXPECT_GE(yellow, 10);
        EXPECT_EQ(white, 0);
    }
}

class SelectedFaceTest : public ::testing::TestWithParam<FaceCase> {};

TEST_P(SelectedFaceTest, HaloLightensTheSymbolArea) {
    const FaceCase& c = GetParam();
    const QImage selected = faceImage(c.image);
    const QImage normal = faceImage(c.image - kToolbarFaceButtons);
    const double gain = luminance(selected, kSymbol) - luminance(normal, kSymbol);
    if (c.halo) {
        EXPECT_GT(gain, 8.0);
    } else {
        EXPECT_EQ(selected.copy(kSymbol), normal.copy(kSymbol));
    }
}

TEST_P(ToolbarFaceTest, DrawnAgainAtTwiceTheResolution) {
    const FaceCase& c = GetParam();
    const QPixmap pixmap = toolbarFacePixmap(c.image, 2.0);
    EXPECT_EQ(pixmap.size(), QSize(80, 78));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
    const QImage one = faceImage(c.image, 1.0);
    const QImage two = faceImage(c.image, 2.0);
    // An enlarged 1x picture would repeat every pixel in 2 x 2 blocks; a redrawn one does not.
    int mixedBlocks = 0;
    int blocks = 0;
    for (int y = 48; y + 1 < 78; y += 2) {
        for (int x = 0; x + 1 < 80; x += 2) {
            const QRgb p = two.pixel(x, y);
            ++blocks;
            if (two.pixel(x + 1, y) != p || two.pixel(x, y + 1) != p ||
                two.pixel(x + 1, y + 1) != p) {
                ++mixedBlocks;
            }
        }
    }
    EXPECT_GT(mixedBlocks, blocks / 10);
    // Nor is it a smoothly enlarged 1x picture: caption strokes go from ground to caption colour
    // within one device pixel, where an enlargement spreads every edge over two.
    const QImage enlarged = one.scaled(80, 78, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GE(steepEdges(two), 20);
    EXPECT_GT(steepEdges(two), 4 * steepEdges(enlarged));
}

TEST_P(ToolbarFaceTest, DisabledFaceIsDimmed) {
    const FaceCase& c = GetParam();
    const QImage normal = faceImage(c.image);
    const QImage disabled = faceImage(c.image, 1.0, false);
    EXPECT_LT(luminance(disabled, normal.rect()), luminance(normal, normal.rect()) * 0.75);
    EXPECT_EQ(count(disabled, kCaption, isWhite), 0);
}

std::vector<FaceCase> allFaces() {
    std::vector<FaceCase> cases;
    for (int i = 1; i <= 11; ++i) {
        cases.push_back({i, Caption::White, false});
    }
    // Selected faces: yellow captions; the fish tool's has no halo. Only 13, 16, 17 and 19 are
    // ever shown (the tools); the others follow the same pattern.
    for (int i = 12; i <= 22; ++i) {
        cases.push_back({i, Caption::Yellow, i != 17});
    }
    return cases;
}

std::vector<FaceCase> selectedFaces() {
    const std::vector<FaceCase> all = allFaces();
    return {all.begin() + kToolbarFaceButtons, all.end()};
}

INSTANTIATE_TEST_SUITE_P(Table, ToolbarFaceTest, ::testing::ValuesIn(allFaces()));
INSTANTIATE_TEST_SUITE_P(Table, SelectedFaceTest, ::testing::ValuesIn(selectedFaces()));

TEST(ToolbarFacesTest, EveryImageIsDifferent) {
    std::vector<QImage> images;
    for (int i = 1; i <= kToolbarFaceCount; ++i) {
        images.push_back(faceImage(i));
    }
    for (int a = 0; a < kToolbarFaceCount; ++a) {
        for (int b = a + 1; b < kToolbarFaceCount; ++b) {
            EXPECT_NE(images[a], images[b]) << "images " << a + 1 << " and " << b + 1;
        }
    }
}

TEST(ToolbarFacesTest, IconPaintsAtTheAskedDevicePixelRatio) {
    const QIcon icon = toolbarFaceIcon(16);
    const QPixmap hi = icon.pixmap(toolbarFaceSize(), 3.0);
    EXPECT_EQ(hi.size(), QSize(120, 117));
    EXPECT_EQ(hi.devicePixelRatio(), 3.0);
    EXPECT_EQ(hi.toImage().convertToFormat(QImage::Format_ARGB32),
              faceImage(16, 3.0).convertToFormat(QImage::Format_ARGB32));
    const QImage disabled = icon.pixmap(toolbarFaceSize(), 1.0, QIcon::Disabled)
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(disabled, faceImage(16, 1.0, false));
}

TEST(ToolbarFacesTest, IconKeepsItsProportionsInAnotherShape) {
    const QIcon icon = toolbarFaceIcon(2);
    EXPECT_EQ(icon.actualSize(QSize(80, 40)), QSize(41, 40));
    EXPECT_EQ(icon.pixmap(QSize(80, 40), 1.0).size(), QSize(41, 40));
}

TEST(MapPictureTest, FillsItsRectangleAtEveryRatio) {
    for (const qreal dpr : {1.0, 1.5, 3.0}) {
        const QPixmap pixmap = mapPicturePixmap(QSize(177, 41), dpr);
        EXPECT_EQ(pixmap.size(), (QSizeF(177, 41) * dpr).toSize());
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        int transparent = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                transparent += qAlpha(image.pixel(x, y)) < 255 ? 1 : 0;
            }
        }
        EXPECT_EQ(transparent, 0) << "ratio " << dpr;
    }
}

TEST(MapPictureTest, DrawnIntoAPainterAtAnOffset) {
    QImage canvas(200, 60, QImage::Format_ARGB32);
    canvas.fill(Qt::magenta);
    QPainter painter(&canvas);
    paintMapPicture(painter, QRectF(10, 10, 177, 41));
    painter.end();
    EXPECT_EQ(canvas.pixelColor(9, 30), QColor(Qt::magenta));
    EXPECT_EQ(canvas.pixelColor(188, 30), QColor(Qt::magenta));
    EXPECT_EQ(canvas.pixelColor(100, 52), QColor(Qt::magenta));
    EXPECT_NE(canvas.pixelColor(10, 10), QColor(Qt::magenta));
    EXPECT_NE(canvas.pixelColor(186, 50), QColor(Qt::magenta));
}

}  // namespace
