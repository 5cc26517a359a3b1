#pragma once

namespace pelagon {

// Sizes of the legend panel. Outer sizes are in twips; inside the panel one unit across is
// 120 twips and one row unit down is 240 twips.
namespace legend {

constexpr double kTwipsPerCellX = 120.0;
constexpr double kTwipsPerRowUnit = 240.0;
constexpr double kRowSpacing = 1.5;        // row pitch in row units
constexpr int kSwatchWidth = 4;            // swatch width in cell units
constexpr double kSwatchHeight = 1.0;      // swatch height in row units
constexpr double kFrameMarginTwips = 500;  // the legend is as tall as the frame less this

// Rows that fit in a panel of the given outer height: (height / 240) / spacing - 1, rounded to
// the nearest integer with halves to even; never below 0.
int availRows(double panelHeightTwips, double rowSpacing = kRowSpacing);

// LegendWidth after the definition is read: longest name + swatch width + 2.
int legendWidth(int longestName);

// Panel outer width in twips: cols * (LegendWidth * 120) - 500, never below 0.
double panelWidthTwips(int legendCols, int legendWidthCells);

constexpr double kScrollBarWidthTwips = 255;  // the scroll bar along the right edge
constexpr double kRowMarginTwips = 60;        // between a row's end and the scroll bar or edge

// Whether a legend of this many row slots may need its scroll bar: the rows that really fit the
// panel's client area are AvailRows give or take one (its title bar and frame), so the bar is
// reckoned with from AvailRows - 1 rows on.
bool mayNeedScrollBar(int rowSlots, int availRows);

// The panel's outer width in twips: panelWidthTwips' width, widened where the rows need more:
// the swatch, one unit, the widest check box (mark and name, boxTwips), a margin, the scroll bar
// when there may be one, and the window's frame (frameTwips, both sides together). A name is
// never cut.
double fittedPanelWidthTwips(double panelWidth, double boxTwips, bool scrollBar, double frameTwips);

}  // namespace legend
}  // namespace pelagon
