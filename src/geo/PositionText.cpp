#include "geo/PositionText.h"

#include <QChar>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geo/AngleText.h"
#include "geo/PositionTokens.h"

namespace pelagon {

namespace position_text {

struct Component {
    double value = 0.0;
    Unit unit = Unit::None;  // as marked; None when unmarked
    bool decimal = false;
    QString text;
    qsizetype begin = 0;  // where the number and its mark lie in the typed text
    qsizetype end = 0;
};

struct Coordinate {
    std::vector<Component> parts;
    bool negative = false;
    bool sign = false;
    QChar hemisphere;  // null when none
    QString hemisphereText;
    qsizetype hemisphereBegin = -1;  // where the letter lies in the typed text; -1 when none
    qsizetype hemisphereEnd = -1;
    QStringView typed;  // the whole typed text, for quoting the coordinate in messages
};


std::vector<Unit> unitsOf(const std::vector<Component>& parts) {
    std::vector<Unit> units;
    Unit last = Unit::None;
    for (const Component& c : parts) {
        const Unit u =
            c.unit != Unit::None ? c.unit : static_cast<Unit>(static_cast<int>(last) + 1);
        units.push_back(u);
        last = u;
    }
    return units;
}

// Whether parts could be one coordinate: one to three parts, units rising from degrees at most to
// seconds, a decimal point only in the last part.
bool couldBeOne(const std::vector<Component>& parts) {
    if (parts.empty() || parts.size() > 3) {
        return false;
    }
    const std::vector<Unit> units = unitsOf(parts);
    if (units.front() != Unit::Deg) {
        return false;
    }
    Unit last = Unit::None;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (static_cast<int>(units[k]) <= static_cast<int>(last) ||
            static_cast<int>(units[k]) > static_cast<int>(Unit::Sec)) {
            return false;
        }
        if (parts[k].decimal && k + 1 < parts.size()) {
            return false;
        }
        last = units[k];
    }
    return true;
}

// A coordinate as typed, from its first character to its last, hemisphere letter included.
QString describe(const Coordinate& c) {
    if (c.parts.empty()) {
        return quoted(c.hemisphereText);
    }
    qsizetype begin = c.parts.front().begin;
    qsizetype end = c.parts.back().end;
    if (c.hemisphereBegin >= 0) {
        begin = std::min(begin, c.hemisphereBegin);
        end = std::max(end, c.hemisphereEnd);
    }
    return quoted(c.typed.mid(begin, end - begin).toString());
}

std::vector<Coordinate> group(const std::vector<Token>& tokens, QStringView typed) {
    std::vector<Coordinate> coords;
    Coordinate current;
    current.typed = typed;
    bool leadingLetters = false;
    for (const Token& t : tokens) {
        if (t.kind != TokenKind::Separator) {
            leadingLetters = t.kind == TokenKind::Hemisphere;
            break;
        }
    }
    int separators = 0;
    const auto finish = [&] {
        if (!current.parts.empty()) {
            coords.push_back(current);
        } else if (!current.hemisphere.isNull()) {
            throw Failure{
                QStringLiteral("%1 has no numbers after it").arg(quoted(current.hemisphereText))};
        }
        current = Coordinate{};
        current.typed = typed;
    };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        switch (t.kind) {
            case TokenKind::Separator:
                // A coordinate ended by its hemisphere letter may still be followed by the
                // separator.
                if (current.parts.empty() && current.hemisphere.isNull() &&
                    (coords.empty() || k == 0 || tokens[k - 1].kind != TokenKind::Hemisphere)) {
                    throw Failure{
                        QStringLiteral("%1 has no coordinate before it").arg(quoted(t.text))};
                }
                if (++separators > 1) {
                    throw Failure{QStringLiteral("a second %1 is one separator too many: a "
                                                 "position is a latitude and a longitude")
                                      .arg(quoted(t.text))};
                }
                finish();
                break;
            case TokenKind::Hemisphere:
                if (leadingLetters) {
                    if (!current.parts.empty()) {
                        finish();
                    } else if (!current.hemisphere.isNull()) {
                        throw Failure{QStringLiteral("%1 follows %2 with no numbers between")
                                          .arg(quoted(t.text), quoted(current.hemisphereText))};
                    }
                    current.hemisphere = t.hemisphere;
                    current.hemisphereText = t.text;
                    current.hemisphereBegin = t.begin;
                    current.hemisphereEnd = t.end;
                } else {
                    if (current.parts.empty()) {
                        throw Failure{
                            QStringLiteral("%1 has no numbers before it").arg(quoted(t.text))};
                    }
                    current.hemisphere = t.hemisphere;
                    current.hemisphereText = t.text;
                    current.hemisphereBegin = t.begin;
                    current.hemisphereEnd = t.end;
                    finish();
                }
                break;
            case TokenKind::Mark:
                if (k == 0 || tokens[k - 1].kind != TokenKind::Number) {
                    throw Failure{QStringLiteral("%1 has no number before it").arg(quoted(t.text))};
                }
                current.parts.back().unit = t.unit;
                current.parts.back().text += t.text;
                current.parts.back().end = t.end;
                break;
            case TokenKind::Number: {
                const bool markedDegrees = k + 1 < tokens.size() &&
                                           tokens[k + 1].kind == TokenKind::Mark &&
                                           tokens[k + 1].unit == Unit::Deg;
                if (!current.parts.empty()) {
                    const Component& last = current.parts.back();
                    // A sign, a degree mark, a part after a decimal one or after marked seconds
                    // starts the next coordinate. Runs of unmarked whole numbers are split later.
                    if (t.sign || markedDegrees || last.decimal || last.unit == Unit::Sec) {
                        finish();
                    }
                }
                if (current.parts.empty()) {
                    current.sign = t.sign;
                    current.negative = t.negative;
                }
                current.parts.push_back({t.value, Unit::None, t.decimal, t.text, t.begin, t.end});
                break;
            }
        }
    }
    finish();
    return coords;
}

// One coordinate of several parts split into two where that can be done in one way only, or in
// two halves of the same form; with halvesOnly, only in two halves.
std::vector<Coordinate> splitSingle(const Coordinate& c, bool leadingLetters, bool halvesOnly) {
    const std::size_t n = c.parts.size();
    std::vector<std::size_t> valid;
    for (std::size_t i = 1; i < n; ++i) {
        const std::vector<Component> a(c.parts.begin(), c.parts.begin() + static_cast<long>(i));
        const std::vector<Component> b(c.parts.begin() + static_cast<long>(i), c.parts.end());
        if (couldBeOne(a) && couldBeOne(b)) {
            valid.push_back(i);
        }
    }
    std::optional<std::size_t> at;
    if (valid.size() == 1 && !halvesOnly) {
        at = valid.front();
    } else if (n % 2 == 0) {
        for (std::size_t i : valid) {
            if (i == n / 2) {
                at = i;
            }
        }
    }
    if (!at) {
        throw Failure{QStringLiteral("cannot tell where the latitude ends and the longitude "
                                     "begins in %1: put a comma between them or mark them with "
                                     "N/S and E/W")
                          .arg(describe(c))};
    }
    Coordinate first, second;
    first.typed = second.typed = c.typed;
    first.parts.assign(c.parts.begin(), c.parts.begin() + static_cast<long>(*at));
    second.parts.assign(c.parts.begin() + static_cast<long>(*at), c.parts.end());
    first.sign = c.sign;
    first.negative = c.negative;
    Coordinate& lettered = leadingLetters ? first : second;
    lettered.hemisphere = c.hemisphere;
    lettered.hemisphereText = c.hemisphereText;
    lettered.hemisphereBegin = c.hemisphereBegin;
    lettered.hemisphereEnd = c.hemisphereEnd;
    return {first, second};
}

double valueOf(const Coordinate& c, const QString& axis, double limit) {
    if (!couldBeOne(c.parts)) {
        throw Failure{QStringLiteral("%1 is not a %2: degrees, minutes and seconds come in that "
                                     "order, with a decimal point only in the last")
                          .arg(describe(c), axis)};
    }
    const std::vector<Unit> units = unitsOf(c.parts);
    double degrees = 0;
    for (std::size_t k = 0; k < c.parts.size(); ++k) {
        const Component& p = c.parts[k];
        switch (units[k]) {
            case Unit::Deg:
                degrees += p.value;
                break;
            case Unit::Min:
            case Unit::Sec:
                if (p.value >= 60.0) {
                    throw Failure{QStringLiteral("%1 %2 of %3 must be below 60")
                                      .arg(units[k] == Unit::Min ? QStringLiteral("minutes")
                                                                 : QStringLiteral("seconds"),
                                           quoted(p.text), describe(c))};
                }
                degrees += p.value / (units[k] == Unit::Min ? 60.0 : 3600.0);
                break;
            case Unit::None:
                break;
        }
    }
    const QChar h = c.hemisphere;
    const bool southOrWest = h == QLatin1Char('S') || h == QLatin1Char('W');
    if (c.negative && !h.isNull()) {
        throw Failure{QStringLiteral("%1 has both a minus sign and the hemisphere %2")
                          .arg(describe(c), quoted(c.hemisphereText))};
    }
    if (!std::isfinite(degrees) || degrees > limit) {
        throw Failure{QStringLiteral("the %1 %2 is beyond %3°")
                          .arg(axis, describe(c))
                          .arg(static_cast<int>(limit))};
    }
    return c.negative || southOrWest ? -degrees : degrees;
}

bool isLatitudeLetter(QChar h) {
    return h == QLatin1Char('N') || h == QLatin1Char('S');
}

}  // namespace position_text

namespace position_text {

// Whether a coordinate is written as the read-out writes one: whole degrees, "°", a blank, the
// minutes with three decimals, "'", no letter, and a sign, if any, apart from the number ("- 163°
// 8.405'", " 62° 26.011'"), never written against it as people write one.
bool inReadoutForm(const Coordinate& c) {
    if (!c.hemisphere.isNull() || c.parts.size() != 2 || c.parts[0].unit != Unit::Deg ||
        c.parts[0].decimal || c.parts[1].unit != Unit::Min) {
        return false;
    }
    // The first part begins with its sign, where there is one.
    const qsizetype begin = c.parts[0].begin;
    if (begin > 0 && !c.typed[begin - 1].isSpace() && c.typed[begin - 1] != QLatin1Char(',')) {
        return false;
    }
    static const QRegularExpression form(QStringLiteral("^(- )?\\d+° \\d+\\.\\d{3}'$"));
    return form.match(c.typed.mid(begin, c.parts[1].end - begin)).hasMatch();
}

// Reads a whole text as one position; throws Failure.
PositionParse readPositionText(QStringView text) {
    const std::vector<Token> tokens = tokenize(text);
    if (tokens.empty()) {
        throw Failure{
            QStringLiteral("type a latitude and a longitude, for example "
                           "57° 30.2' N, 152° 10.5' W")};
    }
    bool leadingLetters = false;
    for (const Token& t : tokens) {
        if (t.kind != TokenKind::Separator) {
            leadingLetters = t.kind == TokenKind::Hemisphere;
            break;
        }
    }
    std::vector<Coordinate> coords = group(tokens, text);
    if (coords.size() == 1) {
        const Coordinate& only = coords.front();
        const std::size_t n = only.parts.size();
        // A hemisphere letter marks its numbers as one coordinate: "57 30.2N" is 57° 30.2'
        // north with the longitude missing, never 30.2° N and 57° E. Only two halves of the same
        // form ("57 30 152 10 W", degrees and minutes each) are a latitude and a longitude.
        const bool halves = n >= 4 && n % 2 == 0;
        if (n < 2 || (!only.hemisphere.isNull() && !halves)) {
            throw Failure{QStringLiteral("only one coordinate, %1: a position needs a "
                                         "latitude and a longitude")
                              .arg(describe(only))};
        }
        coords = splitSingle(only, leadingLetters, !only.hemisphere.isNull());
    }
    if (coords.size() > 2) {
        throw Failure{QStringLiteral("%1 is one coordinate too many: a position is a latitude "
                                     "and a longitude")
                          .arg(describe(coords[2]))};
    }
    // The latitude first, unless the letters say otherwise.
    const QChar h0 = coords[0].hemisphere;
    const QChar h1 = coords[1].hemisphere;
    bool firstIsLatitude = true;
    if (!h0.isNull() && !h1.isNull()) {
        if (isLatitudeLetter(h0) == isLatitudeLetter(h1)) {
            throw Failure{QStringLiteral("%1 and %2 are both %3: one must be %4")
                              .arg(quoted(coords[0].hemisphereText),
                                   quoted(coords[1].hemisphereText),
                                   isLatitudeLetter(h0) ? QStringLiteral("latitudes (N/S)")
                                                        : QStringLiteral("longitudes (E/W)"),
                                   isLatitudeLetter(h0) ? QStringLiteral("a longitude (E/W)")
                                                        : QStringLiteral("a latitude (N/S)"))};
        }
        firstIsLatitude = isLatitudeLetter(h0);
    } else if (!h0.isNull()) {
        firstIsLatitude = isLatitudeLetter(h0);
    } else if (!h1.isNull()) {
        firstIsLatitude = !isLatitudeLetter(h1);
    } else {
        // Without letters, a first coordinate beyond 90° can only be a longitude: the read-out
        // gives the longitude first ("- 163° 8.405', 62° 26.011'").
        const auto fits = [](const Coordinate& c, double limit) {
            try {
                valueOf(c, QString(), limit);
                return true;
            } catch (const Failure&) {
                return false;
            }
        };
        // Both in the read-out's own form: the longitude first, as there, wherever it lies.
        const bool readout = inReadoutForm(coords[0]) && inReadoutForm(coords[1]);
        firstIsLatitude = (!readout && fits(coords[0], 90.0)) || !fits(coords[0], 180.0) ||
                          !fits(coords[1], 90.0);
    }
    const Coordinate& latC = firstIsLatitude ? coords[0] : coords[1];
    const Coordinate& lonC = firstIsLatitude ? coords[1] : coords[0];
    GeoPosition p;
    p.lat = valueOf(latC, QStringLiteral("latitude"), 90.0);
    p.lon = valueOf(lonC, QStringLiteral("longitude"), 180.0);
    PositionParse out;
    out.position = p;
    out.latitudeHemisphereGiven = latC.sign || !latC.hemisphere.isNull();
    out.longitudeHemisphereGiven = lonC.sign || !lonC.hemisphere.isNull();
    return out;
}

// Where a text that holds two positions, as the program copies one (degrees and minutes, a tab,
// decimal degrees), may be cut in two: at a tab, or, where the tab became a blank, after the
// second hemisphere letter when more follows.
std::vector<qsizetype> copiedLineCuts(QStringView text) {
    std::vector<qsizetype> cuts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\t')) {
            cuts.push_back(i);
        }
    }
    if (cuts.empty()) {
        try {
            const std::vector<Token> tokens = tokenize(text);
            int letters = 0;
            for (std::size_t k = 0; k + 1 < tokens.size(); ++k) {
                if (tokens[k].kind == TokenKind::Hemisphere && ++letters == 2 &&
                    tokens[k + 1].kind == TokenKind::Number) {
                    cuts.push_back(tokens[k].end);
                }
            }
        } catch (const Failure&) {
        }
    }
    return cuts;
}

// Whether two readings of the same place agree within what the texts give: three decimals of a
// minute against six of a degree.
bool sameCopiedPlace(const GeoPosition& a, const GeoPosition& b) {
    constexpr double kTolerance = 0.0006 / 60.0 + 1e-6;
    const double dLon = std::remainder(a.lon - b.lon, 360.0);
    return std::fabs(a.lat - b.lat) <= kTolerance && std::fabs(dLon) <= kTolerance;
}

}  // namespace position_text

PositionParse parsePosition(QStringView text) {
    using namespace position_text;
    PositionParse out;
    try {
        out = readPositionText(text);
    } catch (const Failure& f) {
        out.error = QStringLiteral("Position not understood: %1.").arg(f.message);
        // The program's own copied line: both halves must read, and as the same place; the
        // decimal half, the finer, is taken.
        for (const qsizetype cut : copiedLineCuts(text)) {
            try {
                const QStringView first = text.first(cut);
                const QStringView second = text.sliced(cut);
                const PositionParse a = readPositionText(first);
                const PositionParse b = readPositionText(second);
                if (!sameCopiedPlace(*a.position, *b.position)) {
                    out.error = QStringLiteral(
                                    "Position not understood: %1 and %2 are two different "
                                    "positions.")
                                    .arg(quoted(first.trimmed().toString()),
                                         quoted(second.trimmed().toString()));
                    break;
                }
                out = b;
                break;
            } catch (const Failure&) {
            }
        }
    }
    return out;
}

PositionParse parsePositionForMap(QStringView text,
                                  const std::function<bool(const GeoPosition&)>& onMap) {
    PositionParse out = parsePosition(text);
    if (!out.ok() || onMap(*out.position)) {
        return out;
    }
    const GeoPosition p = *out.position;
    // The other hemispheres the text left open, latitude, longitude, then both.
    std::vector<GeoPosition> others;
    const bool lat = !out.latitudeHemisphereGiven && p.lat != 0;
    const bool lon = !out.longitudeHemisphereGiven && p.lon != 0 && std::fabs(p.lon) != 180;
    if (lat) {
        others.push_back({p.lon, -p.lat});
    }
    if (lon) {
        others.push_back({-p.lon, p.lat});
    }
    if (lat && lon) {
        others.push_back({-p.lon, -p.lat});
    }
    for (const GeoPosition& other : others) {
        if (onMap(other)) {
            out.position.reset();
            out.error = QStringLiteral(
                            "Position not understood: '%1' reads as %2, which is off "
                            "the map; type the hemisphere letters for %3.")
                            .arg(text.trimmed().toString(), positionHemisphereText(p),
                                 positionHemisphereText(other));
            break;
        }
    }
    return out;
}

namespace {

QString hemisphereAngle(double value, QChar positive, QChar negative) {
    const std::optional<DegreesMinutes> dm = degreesMinutes(value);
    if (!dm) {
        return {};
    }
    const bool zero = dm->degrees == 0 && dm->thousandths == 0;
    const QChar h = value < 0 && !zero ? negative : positive;
    return QStringLiteral("%1° %2.%3' %4")
        .arg(QString::number(dm->degrees, 'f', 0))
        .arg(dm->thousandths / 1000)
        .arg(dm->thousandths % 1000, 3, 10, QLatin1Char('0'))
        .arg(h);
}

}  // namespace

QString positionHemisphereText(const GeoPosition& p) {
    return hemisphereAngle(p.lat, QLatin1Char('N'), QLatin1Char('S')) + QStringLiteral(", ") +
           hemisphereAngle(p.lon, QLatin1Char('E'), QLatin1Char('W'));
}

QString positionClipboardText(const GeoPosition& p) {
    // A value that rounds to zero is written without a sign.
    const auto fixed = [](double v) {
        return QString::number(std::fabs(v) < 5e-7 ? 0.0 : v, 'f', 6);
    };
    return positionHemisphereText(p) + QLatin1Char('\t') + fixed(p.lat) + QStringLiteral(", ") +
           fixed(p.lon);
}

}  // namespace pelagon
