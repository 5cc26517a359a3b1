#pragma once

namespace pelagon {

// Placement of the map window and the legend inside the main frame, in twips. Computed once while
// the map definition is read; a later resize of the frame moves nothing.
struct FramePlacement {
    double mapWidth = 0;
    double mapHeight = 0;
    double legendLeft = 0;
    double legendTop = 0;
    double legendWidth = 0;
    double legendHeight = 0;
};

// frameWidth, frameHeight: the frame's outer size; legendWidthTwips: the legend's outer width,
// taken up to kMostLegendShare of the frame's width and no further than leaves the map window
// leastMapWidth (its toolbar and button row whole) where that leaves the legend at least
// kLeastLegendCap (or kLeastLegendCap where that is more than two fifths), so
// that layer names of a hundred characters leave the map its window: the legend then ends the
// names that do not fit in "…". Negative results (a frame too small for the arithmetic) are
// clamped to 0.
constexpr double kMostLegendShare = 0.4;
constexpr double kLeastLegendCap = 2620;  // twips: the legend of names of 20 characters
FramePlacement placeInFrame(double frameWidth, double frameHeight, double legendWidthTwips,
                            double leastMapWidth = 0);

// The inside of the map window, in twips relative to its client area.
struct MapWindowArrangement {
    double mapLeft = 0;
    double mapTop = 0;
    double mapWidth = 0;
    double mapHeight = 0;
    double buttonFrameLeft = 0;
    double buttonFrameTop = 0;
    // Set where the button row has no room for the position field beside the frame: the status
    // line and the field then share a strip of this height between the map and the button frame.
    bool statusStrip = false;
    double statusStripHeight = 0;
};

// Arranges the map control and the button frame from the map window's outer width and height and
// the toolbar's width: the map control takes 95 % of the width right of the toolbar and 85 % of
// the height, the button frame stands directly under it. A window narrower than the toolbar, the
// button frame and the position field beside it (gaps and the window's frame included) takes the
// status strip (a row of the button frame's height, at most a quarter of the map's) from the
// map's height. Never negative.
MapWindowArrangement arrangeMapWindow(double windowWidth, double windowHeight, double toolbarWidth);

// Fixed sizes of the map window's controls, in twips.
namespace mapwindow {
constexpr double kToolbarWidth = 765;
constexpr double kPictureLeft = 1080, kPictureTop = 0, kPictureWidth = 2655, kPictureHeight = 615;
constexpr double kTitleLeft = 4080, kTitleTop = 120, kTitleWidth = 10215, kTitleHeight = 375;
constexpr double kButtonFrameWidth = 13455, kButtonFrameHeight = 495;
constexpr double kPositionFieldWidth = 4200;
constexpr double kControlGap = 60;
constexpr double kWindowFrameAllowance = 150;  // a child window's frame, both sides
constexpr double kFrameSideMargin = 400;       // between the legend's right edge and the frame's
}  // namespace mapwindow

}  // namespace pelagon
