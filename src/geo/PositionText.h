#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace pelagon {

// A geographic position in decimal degrees, east and north positive.
struct GeoPosition {
    double lon = 0.0;
    double lat = 0.0;

    friend bool operator==(const GeoPosition&, const GeoPosition&) = default;
};

// The outcome of reading a position typed by a person: the position, or a sentence saying what
// was not understood.
struct PositionParse {
    std::optional<GeoPosition> position;
    QString error;

    bool ok() const { return position.has_value(); }
};

// Reads a position as people write it: decimal degrees ("57.5033 -152.175", "57.5033N
// 152.175W"), degrees and decimal minutes ("57° 30.2' N, 152° 10.5' W", "57 30.2N 152 10.5W",
// "N57 30.2 W152 10.5") or degrees, minutes and seconds ("57°30'12\"N 152°10'30\"W"). Hemisphere
// letters (N S E W, before or after the numbers) or signs; a comma, a semicolon or blanks between
// the two coordinates; the marks are optional and may be typed as ° º d, ' ′ ’ and " ″ ''.
// The latitude comes first unless hemisphere letters say otherwise. A text that is ambiguous, out
// of range or holds anything else gets an error that names the part not understood; nothing is
// guessed.
PositionParse parsePosition(QStringView text);

// One line a person can paste: degrees and decimal minutes with hemispheres, a tab, then decimal
// degrees with six decimals, e.g. "57° 30.200' N, 152° 10.500' W\t57.503333, -152.175000".
// Always "." as the decimal separator; minutes that round to 60 carry into the degrees.
QString positionClipboardText(const GeoPosition& p);

// The first half of positionClipboardText: "57° 30.200' N, 152° 10.500' W".
QString positionHemisphereText(const GeoPosition& p);

}  // namespace pelagon
