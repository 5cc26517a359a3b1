#pragma once

#include <QString>
#include <QVector>

namespace pelagon {

// One button of the map window's toolbar. Buttons are known by their key text, compared exactly
// and case-sensitively, and by their 1-based index from the top.
struct ToolbarButton {
    int index = 0;  // 1-based position from the top
    QString key;    // what a click reports and what commands and tools are matched against
    QString toolTip;
    int normalImage = 0;  // image number of the face shown at start
    bool isTool = false;  // selects a press mode on the map (the others are one-shot commands)
};

// The eleven buttons, top to bottom.
const QVector<ToolbarButton>& toolbarButtons();

// The number of buttons on the toolbar (11); a selected face is image index + this number.
int toolbarButtonCount();

// The keys of the commands and tools, exactly as the toolbar reports them.
namespace toolkey {
inline QString zoomToExtent() {
    return QStringLiteral("Zoom to Extent");
}
inline QString zoomToRectangle() {
    return QStringLiteral("Zoom to Rectangle");
}
inline QString zoomOut() {
    return QStringLiteral("Zoom Out");
}
inline QString previousExtent() {
    return QStringLiteral("PreviousExtent");
}
inline QString pan() {
    return QStringLiteral("Pan");
}
inline QString drillId() {
    return QStringLiteral("drill_id");
}
inline QString printTheMap() {
    return QStringLiteral("PrintTheMap");
}
inline QString measureTool() {
    return QStringLiteral("MeasureTool");
}
inline QString aleutianIslands() {
    return QStringLiteral("AI");
}
inline QString beringSea() {
    return QStringLiteral("BS");
}
inline QString gulfOfAlaska() {
    return QStringLiteral("GOA");
}
}  // namespace toolkey

}  // namespace pelagon
