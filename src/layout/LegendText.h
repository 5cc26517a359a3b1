#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace pelagon::legend {

// The font of the legend's names: "Small Fonts" at 6.75 points, a sans serif where it is missing.
QFont nameFont();

// The text a row's check box carries for a layer's name: "&" doubled, so that the name shows
// literally and is never taken as a keyboard mnemonic.
QString checkBoxText(const QString& name);

// The width in twips, at dpi, that a row's check box needs to show its mark and the whole name.
double checkBoxWidthTwips(const QString& name, double dpi);

// The widest of these over the names (0 for none).
double widestCheckBoxTwips(const QStringList& names, double dpi);

// The legend window's title, "Available Layers".
QString legendTitle();

// The width in pixels at which a child window's title bar shows a whole title: the bar's other
// parts (its icon and buttons, partsPixels), the title in font made bold (as styles draw it), and
// the margin that styles keep inside the title's box.
int wholeTitlePixels(const QString& title, QFont font, int partsPixels);

}  // namespace pelagon::legend
