#include "tools/ToolSelection.h"

#include "tools/PresetExtents.h"
#include "tools/ToolbarButtons.h"

namespace pelagon {

MapPressAction mapPressAction(const QString& currentTool) {
    if (currentTool == toolkey::zoomToRectangle()) {
        return MapPressAction::ZoomRectangle;
    }
    if (currentTool == toolkey::drillId()) {
        return MapPressAction::Query;
    }
    if (currentTool == toolkey::pan()) {
        return MapPressAction::Pan;
    }
    if (currentTool == toolkey::measureTool()) {
        return MapPressAction::Measure;
    }
    return MapPressAction::None;
}

ToolbarClickResult ToolSelection::buttonClick(const QString& key, int index, int buttonCount) {
    ToolbarClickResult result;
    result.key = key;
    if (key == toolkey::zoomToExtent()) {
        result.command = ToolbarCommand::ZoomToExtent;
    } else if (key == toolkey::zoomOut()) {
        result.command = ToolbarCommand::ZoomOut;
    } else if (key == toolkey::previousExtent()) {
        result.command = ToolbarCommand::PreviousExtent;
    } else if (key == toolkey::printTheMap()) {
        result.command = ToolbarCommand::PrintTheMap;
    } else if (PresetExtents::isPresetKey(key)) {
        result.command = ToolbarCommand::PresetRegion;
    } else {
        result.command = ToolbarCommand::SelectTool;
        currentTool_ = key;
        result.imageChanges.append({currentToolButton_, currentToolButton_});
        result.imageChanges.append({index, index + buttonCount});
        currentToolButton_ = index;
    }
    return result;
}

}  // namespace pelagon
