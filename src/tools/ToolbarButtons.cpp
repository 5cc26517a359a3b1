#include "tools/ToolbarButtons.h"

namespace pelagon {

const QVector<ToolbarButton>& toolbarButtons() {
    static const QVector<ToolbarButton> buttons = {
        {1, toolkey::zoomToExtent(), QStringLiteral("Zoom to the full extent of the map"), 1,
         false},
        {2, toolkey::zoomToRectangle(), QStringLiteral("Zoom to rectangle"), 2, true},
        {3, toolkey::zoomOut(), QStringLiteral("Zoom Out"), 3, false},
        {4, toolkey::previousExtent(), QStringLiteral("Revert to previous extent"), 4, false},
        {5, toolkey::pan(), QStringLiteral("Pan"), 5, true},
        {6, toolkey::drillId(), QStringLiteral("Fish Tool -- Shows layers present at clicked loc"),
         6, true},
        {7, toolkey::printTheMap(), QStringLiteral("Print the current extent"), 7, false},
        {8, toolkey::measureTool(), QStringLiteral("Measure distance"), 8, true},
        {9, toolkey::aleutianIslands(), QStringLiteral("Zoom to the Aleutian Islands"), 9, false},
        {10, toolkey::beringSea(), QStringLiteral("Zoom to the Bering Sea"), 10, false},
        {11, toolkey::gulfOfAlaska(), QStringLiteral("Zoom to the Gulf of Alaska"), 11, false},
    };
    return buttons;
}

int toolbarButtonCount() {
    return static_cast<int>(toolbarButtons().size());
}

}  // namespace pelagon
