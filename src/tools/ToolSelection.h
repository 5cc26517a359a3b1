#pragma once

#include <QString>
#include <QVector>

namespace pelagon {

// "Zoom Out" widens and heightens the shown extent by this factor about its centre.
constexpr double zoomOutFactor = 1.5;

// What a toolbar click asks the map window to do.
enum class ToolbarCommand {
    SelectTool,      // a tool was chosen; only the button faces change
    ZoomToExtent,    // save the shown extent, then show the full extent
    ZoomOut,         // save the shown extent, then show it enlarged by zoomOutFactor
    PreviousExtent,  // go back to the newest saved extent
    PrintTheMap,     // print the shown extent
    PresetRegion,    // save the shown extent, then show the preset region of the key
};

// A button whose face changes: give the button at index (1-based) the image imageNumber.
struct ButtonImageChange {
    int index = 0;
    int imageNumber = 0;

    friend bool operator==(const ButtonImageChange&, const ButtonImageChange&) = default;
};

struct ToolbarClickResult {
    ToolbarCommand command = ToolbarCommand::SelectTool;
    QString key;                              // the clicked key (the region key of PresetRegion)
    QVector<ButtonImageChange> imageChanges;  // to apply in this order; empty for commands
};

// What a press on the map does under the selected tool.
enum class MapPressAction {
    None,           // no tool chosen yet, or an unknown one
    ZoomRectangle,  // drag a rectangle, save the shown extent, show the rectangle
    Pan,            // save the shown extent, then pan with the drag
    Query,          // the location query at the pressed point
    Measure,        // measure a distance along a drawn path
};

// The press action of a tool key, matched exactly: "Zoom to Rectangle", "Pan", "drill_id" and
// "MeasureTool"; anything else, the empty text included, does nothing.
MapPressAction mapPressAction(const QString& currentTool);

// The tool state of a map window and the dispatch of toolbar clicks. Holds no widgets: the map
// window runs the returned command and applies the returned face changes to its toolbar.
class ToolSelection {
public:
    // The key of the tool chosen last; empty until a tool is chosen.
    const QString& currentTool() const { return currentTool_; }

    // The 1-based index of the button that shows its selected face; 1 at start (button 1 is a
    // command and shows its normal face all the same).
    int currentToolButton() const { return currentToolButton_; }

    // Dispatches a click on the button with this key and 1-based index. The key is compared with
    // "Zoom to Extent", "Zoom Out", "PreviousExtent", "PrintTheMap" and "AI", "BS", "GOA", in this
    // order; a match is a command and changes no state. Any other key selects a tool: it becomes
    // currentTool, the button at currentToolButton gets back its normal face (image number =
    // its index), the clicked button gets its selected face (index + buttonCount) and becomes
    // currentToolButton.
    ToolbarClickResult buttonClick(const QString& key, int index, int buttonCount);

    MapPressAction pressAction() const { return mapPressAction(currentTool_); }

private:
    QString currentTool_;
    int currentToolButton_ = 1;
};

}  // namespace pelagon
