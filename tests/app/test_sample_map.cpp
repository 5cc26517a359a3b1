#include <gtest/gtest.h>

#include <QDir>
#include <QMdiSubWindow>

#include "app/MapWindowFixture.h"

using namespace pelagon;

namespace {

// The viewer started on the bundled sample map, as `pelagon samples/alaska/Alaska.mv` does.
class SampleMapTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        open();
    }
};

TEST_F(SampleMapTest, OpensInTheMapFolderWithTheFrameCaptioned) {
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.texts().join("\n").toStdString();
    EXPECT_EQ(endedWith, -1);
    EXPECT_EQ(QDir::currentPath(), sample.folder());
    EXPECT_EQ(controller->frame()->windowTitle(), "Dudadiruz Pelagon: " + sample.definition());
    EXPECT_TRUE(controller->frame()->isVisible());
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->BaseDir, sample.folder() + "/");
    EXPECT_EQ(map->LastLayer, 9);
    EXPECT_EQ(map->LayerInfos[0].LayerName, QStringLiteral("Statistical areas"));
    EXPECT_EQ(map->LayerInfos[9].LayerName, QStringLiteral("Sites"));
    EXPECT_EQ(map->legend()->windowTitle(), QStringLiteral("Available Layers"));
}

TEST_F(SampleMapTest, MapWindowAndLegendStandSideBySide) {
    const QRect mapRect = map->subWindow()->geometry();
    const QRect legendRect = map->legendWindow()->geometry();
    EXPECT_EQ(mapRect.topLeft(), QPoint(0, 0));
    EXPECT_EQ(legendRect.top(), 0);
    EXPECT_NEAR(legendRect.left(), mapRect.right() + 1, 1);
    EXPECT_EQ(legendRect.height(), mapRect.height());
    EXPECT_GT(mapRect.width(), legendRect.width());
}

}  // namespace
