#pragma once

#include <QString>
#include <QStringView>

#include <functional>
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
    // Whether the text gave the hemisphere of each coordinate, by a letter or a sign.
    bool latitudeHemisphereGiven = false;
    bool longitudeHemisphereGiven = false;

    bool ok() const { return position.has_value(); }
};

// Reads a position as people write it: decimal degrees ("57.5033 -152.175", "57.5033N
// 152.175W"), degrees and decimal minutes ("57° 30.2' N, 152° 10.5' W", "57 30.2N 152 10.5W",
// "N57 30.2 W152 10.5") or degrees, minutes and seconds ("57°30'12\"N 152°10'30\"W"). Hemisphere
// letters (N S E W, before or after the numbers) or signs; a comma, a semicolon or blanks between
// the two coordinates; the marks are optional and may be typed as ° º d, ' ′ ’ and " ″ ''.
// The latitude comes first unless hemisphere letters say otherwise, unless the first
// coordinate lies beyond 90° and the second does not, or unless both are written as the read-out
// writes them, which gives the longitude first with its sign apart and three decimals of a
// minute ("- 163° 8.405', 62° 26.011'", " 30° 12.000', 57° 0.000'"). Degrees and minutes of both
// coordinates with one letter at the end ("57 30 152 10 W") are split in two halves. The line the
// program copies (positionClipboardText) reads back whole: both halves must name the same place.
// A text that is ambiguous, out of range, holds a malformed number ("57.30.2", "1e2", "57,5") or
// anything else gets an error that names the part not understood, quoted as typed; nothing is
// guessed.
PositionParse parsePosition(QStringView text);

// Reads a position as parsePosition does, for a map: when the position is not on the map
// (onMap false) but would be with the other hemisphere of a coordinate typed without a letter or
// a sign ("57 30.2 152", 152° E, for 152° W), the text is refused with a message that suggests
// the letter; nothing is moved to the other hemisphere in silence.
PositionParse parsePositionForMap(QStringView text,
                                  const std::function<bool(const GeoPosition&)>& onMap);

// One line a person can paste: degrees and decimal minutes with hemispheres, a tab, then decimal
// degrees with six decimals, e.g. "57° 30.200' N, 152° 10.500' W\t57.503333, -152.175000".
// Always "." as the decimal separator; minutes that round to 60 carry into the degrees.
QString positionClipboardText(const GeoPosition& p);

// The first half of positionClipboardText: "57° 30.200' N, 152° 10.500' W".
QString positionHemisphereText(const GeoPosition& p);

}  // namespace pelagon
