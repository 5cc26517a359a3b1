#include <gtest/gtest.h>

#include "render/ExportFormat.h"

using namespace pelagon;

namespace {

struct PathCase {
    const char* path;
    std::optional<ExportFormat> expected;
};

class ExportFormatTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ExportFormatTest, FollowsTheExtension) {
    EXPECT_EQ(exportFormatForPath(QString::fromUtf8(GetParam().path)), GetParam().expected)
        << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExportFormatTest,
    ::testing::Values(PathCase{"map.png", ExportFormat::Png}, PathCase{"x.jpg", ExportFormat::Jpeg},
                      PathCase{"/a/b/X.JPEG", ExportFormat::Jpeg},
                      PathCase{"t.tif", ExportFormat::Tiff}, PathCase{"t.Tiff", ExportFormat::Tiff},
                      PathCase{"p.pdf", ExportFormat::Pdf}, PathCase{"v.svg", ExportFormat::Svg},
                      PathCase{"dir.png/map.pdf", ExportFormat::Pdf},
                      PathCase{"map.gif", std::nullopt}, PathCase{"map", std::nullopt},
                      PathCase{"map.", std::nullopt}, PathCase{"-", std::nullopt},
                      PathCase{"map.png.bak", std::nullopt}));

TEST(ExportFormatNames, NamesAndExtensionsBothWork) {
    EXPECT_EQ(exportFormatByName("PNG"), ExportFormat::Png);
    EXPECT_EQ(exportFormatByName("jpg"), ExportFormat::Jpeg);
    EXPECT_EQ(exportFormatByName(".tiff"), ExportFormat::Tiff);
    EXPECT_EQ(exportFormatByName("Svg"), ExportFormat::Svg);
    EXPECT_EQ(exportFormatByName("bmp"), std::nullopt);
    EXPECT_EQ(exportFormatByName(""), std::nullopt);
    EXPECT_EQ(exportFormatList(),
              "PNG (.png), JPEG (.jpg, .jpeg), TIFF (.tif, .tiff), PDF (.pdf), SVG (.svg)");
    EXPECT_TRUE(isVectorFormat(ExportFormat::Pdf));
    EXPECT_FALSE(isVectorFormat(ExportFormat::Tiff));
}

}  // namespace
