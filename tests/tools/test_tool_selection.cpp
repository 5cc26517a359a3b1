#include <gtest/gtest.h>

#include <QVector>

#include "tools/ToolSelection.h"
#include "tools/ToolbarButtons.h"

using namespace pelagon;

namespace {

// The faces a toolbar shows, changed only through what the tool selection returns.
struct Faces {
    QVector<int> image;  // image[i] is the face of button i + 1

    Faces() {
        for (const ToolbarButton& b : toolbarButtons()) {
            image.append(b.normalImage);
        }
    }
    void apply(const ToolbarClickResult& r) {
        for (const ButtonImageChange& c : r.imageChanges) {
            image[c.index - 1] = c.imageNumber;
        }
    }
    int selectedCount() const {
        return static_cast<int>(std::count_if(image.begin(), image.end(),
                                              [&](int i) { return i > toolbarButtonCount(); }));
    }
};

int indexOf(const QString& key) {
    for (const ToolbarButton& b : toolbarButtons()) {
        if (b.key == key) {
            return b.index;
        }
    }
    return 0;
}

ToolbarClickResult click(ToolSelection& tools, Faces& faces, const QString& key) {
    const ToolbarClickResult r = tools.buttonClick(key, indexOf(key), toolbarButtonCount());
    faces.apply(r);
    return r;
}

struct CommandCase {
    const char* key;
    ToolbarCommand command;
};

class CommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTest, LeavesToolAndFacesUnchanged) {
    const CommandCase& c = GetParam();
    ToolSelection tools;
    Faces faces;
    click(tools, faces, toolkey::pan());
    const Faces before = faces;
    const ToolbarClickResult r = click(tools, faces, QString::fromUtf8(c.key));
    EXPECT_EQ(r.command, c.command);
    EXPECT_EQ(r.key, QString::fromUtf8(c.key));
    EXPECT_TRUE(r.imageChanges.isEmpty());
    EXPECT_EQ(faces.image, before.image);
    EXPECT_EQ(tools.currentTool(), toolkey::pan());
    EXPECT_EQ(tools.currentToolButton(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandTest,
    ::testing::Values(CommandCase{"Zoom to Extent", ToolbarCommand::ZoomToExtent},
                      CommandCase{"Zoom Out", ToolbarCommand::ZoomOut},
                      CommandCase{"PreviousExtent", ToolbarCommand::PreviousExtent},
                      CommandCase{"PrintTheMap", ToolbarCommand::PrintTheMap},
                      CommandCase{"AI", ToolbarCommand::PresetRegion},
                      CommandCase{"BS", ToolbarCommand::PresetRegion},
                      CommandCase{"GOA", ToolbarCommand::PresetRegion}));

struct SequenceCase {
    const char* label;
    QStringList clicks;
    QString tool;
    int toolButton;
    QVector<int> faces;  // images of buttons 1..11 afterwards
};

std::ostream& operator<<(std::ostream& os, const SequenceCase& c) {
    return os << c.label;
}

class ToolSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(ToolSequenceTest, ShowsAtMostOneSelectedFace) {
    const SequenceCase& c = GetParam();
    ToolSelection tools;
    Faces faces;
    for (const QString& key : c.clicks) {
        click(tools, faces, key);
        EXPECT_LE(faces.selectedCount(), 1);
    }
    EXPECT_EQ(tools.currentTool(), c.tool);
    EXPECT_EQ(tools.currentToolButton(), c.toolButton);
    EXPECT_EQ(faces.image, c.faces);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolSequenceTest,
    ::testing::Values(SequenceCase{"at_start", {}, "", 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
                      SequenceCase{"first_tool",
                                   {"Zoom to Rectangle"},
                                   "Zoom to Rectangle",
                                   2,
                                   {1, 13, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
                      SequenceCase{"same_tool_twice_stays_selected",
                                   {"drill_id", "drill_id"},
                                   "drill_id",
                                   6,
                                   {1, 2, 3, 4, 5, 17, 7, 8, 9, 10, 11}},
                      SequenceCase{"next_tool_restores_the_former",
                                   {"Pan", "MeasureTool"},
                                   "MeasureTool",
                                   8,
                                   {1, 2, 3, 4, 5, 6, 7, 19, 9, 10, 11}},
                      SequenceCase{"commands_between_tools",
                                   {"Pan", "Zoom Out", "AI", "drill_id", "PreviousExtent"},
                                   "drill_id",
                                   6,
                                   {1, 2, 3, 4, 5, 17, 7, 8, 9, 10, 11}},
                      SequenceCase{"commands_only",
                                   {"Zoom to Extent", "GOA"},
                                   "",
                                   1,
                                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}));

TEST(ToolSelectionTest, FirstToolGivesButtonOneItsNormalFace) {
    ToolSelection tools;
    const ToolbarClickResult r = tools.buttonClick(toolkey::pan(), 5, 11);
    ASSERT_EQ(r.imageChanges.size(), 2);
    EXPECT_EQ(r.imageChanges[0], (ButtonImageChange{1, 1}));
    EXPECT_EQ(r.imageChanges[1], (ButtonImageChange{5, 16}));
}

TEST(ToolSelectionTest, SelectedFaceFollowsTheButtonCount) {
    ToolSelection tools;
    const ToolbarClickResult r = tools.buttonClick(QStringLiteral("Lasso"), 3, 4);
    EXPECT_EQ(r.command, ToolbarCommand::SelectTool);
    EXPECT_EQ(r.imageChanges.last(), (ButtonImageChange{3, 7}));
    EXPECT_EQ(tools.pressAction(), MapPressAction::None);
}

struct PressCase {
    const char* tool;
    MapPressAction action;
};

class PressActionTest : public ::testing::TestWithParam<PressCase> {};

TEST_P(PressActionTest, MatchesTheToolKeyExactly) {
    EXPECT_EQ(mapPressAction(QString::fromUtf8(GetParam().tool)), GetParam().action)
        << GetParam().tool;
}

INSTANTIATE_TEST_SUITE_P(Table, PressActionTest,
                         ::testing::Values(PressCase{"Zoom to Rectangle",
                                                     MapPressAction::ZoomRectangle},
                                           PressCase{"Pan", MapPressAction::Pan},
                                           PressCase{"drill_id", MapPressAction::Query},
                                           PressCase{"MeasureTool", MapPressAction::Measure},
                                           PressCase{"", MapPressAction::None},
                                           PressCase{"Zoom To Rectangle", MapPressAction::None},
                                           PressCase{"pan", MapPressAction::None},
                                           PressCase{"Drill_id", MapPressAction::None},
                                           PressCase{"Zoom to Extent", MapPressAction::None},
                                           PressCase{"MeasureTool ", MapPressAction::None}));

}  // namespace
