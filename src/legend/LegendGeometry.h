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

}  // namespace legend
}  // namespace pelagon
