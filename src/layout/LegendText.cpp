#include "layout/LegendText.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

#include "common/Twips.h"

namespace pelagon::legend {

namespace {

constexpr double kNamePoints = 6.75;
// Room for the check mark, the gap after it and the box's own margins, in pixels at 96 dpi; a
// little more than the common widget styles take.
constexpr double kMarkAllowance96 = 26.0;
// Styles cut a title again inside its box, some short of its ends (Fusion by 14 pixels); a
// little more keeps clear of them all.
constexpr int kTitleMargin = 16;

}  // namespace

QFont nameFont() {
    QFont font(QStringLiteral("Small Fonts"));
    font.setPointSizeF(kNamePoints);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QString checkBoxText(const QString& name) {
    QString text = name;
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    return text;
}

double checkBoxWidthTwips(const QString& name, double dpi) {
    if (!(dpi > 0)) {
        return 0;
    }
    // The font at the pixel size it takes at this resolution, whatever the screen's.
    QFont font = nameFont();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(kNamePoints * dpi / 72.0))));
    const double text = QFontMetricsF(font).horizontalAdvance(name);
    return pixelsToTwips(std::ceil(text) + kMarkAllowance96 * dpi / 96.0, dpi);
}

double widestCheckBoxTwips(const QStringList& names, double dpi) {
    double widest = 0;
    for (const QString& name : names) {
        widest = std::max(widest, checkBoxWidthTwips(name, dpi));
    }
    return widest;
}

QString legendTitle() {
    return QStringLiteral("Available Layers");
}

int wholeTitlePixels(const QString& title, QFont font, int partsPixels) {
    font.setBold(true);
    const double text = QFontMetricsF(font).horizontalAdvance(title);
    return partsPixels + static_cast<int>(std::ceil(text)) + kTitleMargin;
}

}  // namespace pelagon::legend
