// pelagon-cli render, in-process on a small map written by the test: the image and its size, the
// scale bar and graticule, the output's format, the place lists.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdlib>

#include "cli/CliTestSupport.h"
#include "support/QStringPrinter.h"

using namespace pelagon;
using pelagon::test::runTool;

namespace {

// Share of an image's pixels that have a colour.
double share(const QImage& image, QRgb colour) {
    qint64 n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff) ? 1 : 0;
        }
    }
    return static_cast<double>(n) / (image.width() * image.height());
}

TEST(CliRender, PngOfTheAskedSizeShowsTheLayers) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QString png = map.folder() + "/out.png";
    struct Case {
        QStringList extra;
        double red;    // the zones
        double white;  // background
    };
    // Full extent 0..4000 x 0..2000 (zones and the well) on 400 x 200 pixels: each zone is an
    // eighth of the image less its outline; the document layer is hidden in the definition.
    const std::vector<Case> cases = {
        {{}, 0.20, 0.40},
        {{"--hide", "Zones"}, 0.0, 0.9},
        {{"--extent", "0,1000,0,1000"}, 0.45, 0.45},  // widened to 2000 x 1000: half is zone A
        {{"--region", "West"}, 0.45, 0.45},
    };
    for (const Case& c : cases) {
        const auto r = runTool(
            QStringList{"render", map.definition(), "-o", png, "--size", "400x200"} + c.extra);
        ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
        const QImage image(png);
        ASSERT_EQ(image.size(), QSize(400, 200));
        EXPECT_GE(share(image, qRgb(255, 0, 0)), c.red) << c.extra.join(' ').toStdString();
        EXPECT_LE(share(image, qRgb(255, 0, 0)), c.red + 0.1) << c.extra.join(' ').toStdString();
        EXPECT_GE(share(image, qRgb(255, 255, 255)), c.white) << c.extra.join(' ').toStdString();
    }
    // A relative output path is taken from the folder the tool was started in.
    const QString before = QDir::currentPath();
    QDir::setCurrent(map.folder());
    const auto pdf = runTool({"render", "Tiny.mv", "-o", "sub/../map.pdf", "--size", "300x150"});
    QDir::setCurrent(before);
    ASSERT_EQ(pdf.rc, 0) << pdf.errText().toStdString();
    QFile file(map.folder() + "/map.pdf");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("%PDF"));
}

// The scale bar and the graticule are drawn only when asked for, over the same map.
TEST(CliRender, ScaleBarAndGraticuleOnRequest) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const auto draw = [&](const QStringList& extra) {
        const QString png = map.folder() + "/d.png";
        const auto r = runTool(
            QStringList{"render", map.definition(), "-o", png, "--size", "400x300"} + extra);
        EXPECT_EQ(r.rc, 0) << r.errText().toStdString();
        return QImage(png);
    };
    const QImage plain = draw({});
    const QImage bar = draw({"--scale-bar"});
    const QImage grid = draw({"--graticule"});
    const QImage both = draw({"--scale-bar", "--graticule"});
    ASSERT_FALSE(plain.isNull());
    // The scale bar stands in the lower left corner: only there does the image change.
    EXPECT_EQ(bar.copy(200, 0, 200, 300), plain.copy(200, 0, 200, 300));
    EXPECT_NE(bar.copy(0, 200, 200, 100), plain.copy(0, 200, 200, 100));
    EXPECT_NE(grid, plain);
    EXPECT_NE(both, bar);
    EXPECT_NE(both, grid);

    map.write("ProjPars.alb", "");
    const auto r =
        runTool({"render", map.definition(), "-o", map.folder() + "/e.png", "--scale-bar"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.errText().contains("ProjPars.alb")) << r.errText().toStdString();
    EXPECT_FALSE(QFile::exists(map.folder() + "/e.png"));
}

// Rendered twice as large as the map window of the reference screen, the scale bar is twice as
// large: scaled back down, its corner matches the default size's.
TEST(CliRender, ScaleBarGrowsWithAnOutputLargerThanTheScreens) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QString one = map.folder() + "/one.png";
    const QString two = map.folder() + "/two.png";
    ASSERT_EQ(runTool({"render", map.definition(), "-o", one, "--scale-bar"}).rc, 0);
    const QImage screen = QImage(one).convertToFormat(QImage::Format_RGB32);
    const QString size = QStringLiteral("%1x%2").arg(2 * screen.width()).arg(2 * screen.height());
    ASSERT_EQ(runTool({"render", map.definition(), "-o", two, "--scale-bar", "--size", size}).rc,
              0);
    const QImage twice = QImage(two)
                             .scaled(screen.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    const QRect corner(0, screen.height() - 70, 250, 70);
    int differing = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y) {
        for (int x = corner.left(); x <= corner.right(); ++x) {
            differing += std::abs(qGray(screen.pixel(x, y)) - qGray(twice.pixel(x, y))) > 60;
        }
    }
    EXPECT_LT(differing, corner.width() * corner.height() / 20) << differing;
}

// The output's extension chooses the format; --format overrides it.
TEST(CliRender, FormatFollowsTheExtension) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    struct Case {
        const char* name;
        QStringList extra;
        QByteArray begins;
        const char* imageFormat;  // what Qt reads the file as; empty for pages
    };
    const std::vector<Case> cases = {
        {"map.png", {}, "\x89PNG\r\n", "png"},
        {"map.jpg", {}, "\xff\xd8\xff", "jpeg"},
        {"map.JPEG", {}, "\xff\xd8\xff", "jpeg"},
        {"map.tif", {}, "II*", "tiff"},
        {"map.tiff", {}, "II*", "tiff"},
        {"map.pdf", {}, "%PDF", ""},
        {"map.svg", {}, "<?xml", ""},
        {"map.dat", {"--format", "jpeg"}, "\xff\xd8\xff", "jpeg"},
    };
    for (const Case& c : cases) {
        const QString path = map.folder() + "/" + c.name;
        const auto r = runTool(
            QStringList{"render", map.definition(), "-o", path, "--size", "80x40"} + c.extra);
        ASSERT_EQ(r.rc, 0) << c.name << ": " << r.errText().toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith(c.begins)) << c.name;
        if (*c.imageFormat != 0) {
            QImage image;
            ASSERT_TRUE(image.loadFromData(bytes, c.imageFormat)) << c.name;
            EXPECT_EQ(image.size(), QSize(80, 40)) << c.name;
            // Zone A, red, fills the image's left part.
            const QColor pixel = image.pixelColor(10, 30);
            EXPECT_GT(pixel.red(), 200) << c.name;
            EXPECT_LT(pixel.green(), 60) << c.name;
        } else if (QByteArray(c.begins) == "<?xml") {
            EXPECT_TRUE(bytes.contains("<svg")) << c.name;
            EXPECT_TRUE(bytes.contains("viewBox=\"0 0 80 40\"")) << c.name;
        }
    }
}

// Names of the place lists are found with spaces around them ignored; an unknown name lists at
// most ten entries.
TEST(CliRender, PlaceNamesIgnoreSurroundingSpaces) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    map.write("SSL_Locs.csv", "Name,X,Y\r\n  Spaced Name  ,2000,2000\r\n");
    QByteArray regions = "Name,L,R,B,T\r\n";
    for (int i = 0; i < 422; ++i) {
        regions += "Region " + QByteArray::number(i) + ",0,1000,0,1000\r\n";
    }
    map.write("Regions.csv", regions);
    const QString png = map.folder() + "/site.png";
    for (const QString name : {"Spaced Name", " Spaced Name", "spaced name  "}) {
        const auto r = runTool({"render", map.definition(), "-o", png, "--site", name});
        EXPECT_EQ(r.rc, 0) << name.toStdString() << ": " << r.errText().toStdString();
    }
    const auto region = runTool({"render", map.definition(), "-o", png, "--region", " Region 7 "});
    EXPECT_EQ(region.rc, 0) << region.errText().toStdString();
    const auto unknown = runTool({"render", map.definition(), "-o", png, "--region", "Atlantis"});
    EXPECT_EQ(unknown.rc, 2);
    EXPECT_TRUE(unknown.errText().contains("\"Region 9\" and 412 more"))
        << unknown.errText().toStdString();
    EXPECT_FALSE(unknown.errText().contains("Region 10"));
}

}  // namespace
