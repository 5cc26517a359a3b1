#include "geo/PositionText.h"

#include <QChar>
#include <QStringList>

#include <cmath>
#include <vector>

namespace pelagon {

namespace {

enum class Unit { None = 0, Deg = 1, Min = 2, Sec = 3 };

enum class TokenKind { Number, Mark, Hemisphere, Separator };

struct Token {
    TokenKind kind = TokenKind::Number;
    QString text;            // as typed, for messages
    double value = 0.0;      // Number
    bool sign = false;       // Number: typed with + or -
    bool negative = false;   // Number
    bool decimal = false;    // Number: has a decimal point
    Unit unit = Unit::None;  // Mark
    QChar hemisphere;        // Hemisphere: N, S, E or W
};

struct Component {
    double value = 0.0;
    Unit unit = Unit::None;  // as marked; None when unmarked
    bool decimal = false;
    QString text;
};

struct Coordinate {
    std::vector<Component> parts;
    bool negative = false;
    bool sign = false;
    QChar hemisphere;  // null when none
    QString hemisphereText;
};

struct Failure {
    QString message;
};

Token markToken(Unit unit, const QString& text) {
    Token t;
    t.kind = TokenKind::Mark;
    t.unit = unit;
    t.text = text;
    return t;
}

QString quoted(const QString& s) {
    return QStringLiteral("'%1'").arg(s);
}

bool isDegreeMark(QChar c) {
    return c == QChar(0x00B0) || c == QChar(0x00BA) || c == QChar(0x02DA);
}

bool isMinuteMark(QChar c) {
    return c == QLatin1Char('\'') || c == QChar(0x2032) || c == QChar(0x2019) ||
           c == QChar(0x2018) || c == QChar(0x00B4);
}

bool isSecondMark(QChar c) {
    return c == QLatin1Char('"') || c == QChar(0x2033) || c == QChar(0x201D) || c == QChar(0x201C);
}

bool isMinus(QChar c) {
    return c == QLatin1Char('-') || c == QChar(0x2212) || c == QChar(0x2013);
}

std::vector<Token> tokenize(QStringView text) {
    std::vector<Token> tokens;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            Token sep;
            sep.kind = TokenKind::Separator;
            sep.text = QString(c);
            tokens.push_back(sep);
            ++i;
            continue;
        }
        const bool signChar = c == QLatin1Char('+') || isMinus(c);
        const auto startsNumber = [&](qsizetype k) {
            return k < n && (text[k].isDigit() ||
                             (text[k] == QLatin1Char('.') && k + 1 < n && text[k + 1].isDigit()));
        };
        if (c.isDigit() || c == QLatin1Char('.') || (signChar && startsNumber(i + 1))) {
            Token t;
            t.kind = TokenKind::Number;
            qsizetype k = i;
            if (signChar) {
                t.sign = true;
                t.negative = isMinus(c);
                ++k;
            }
            const qsizetype digits = k;
            while (k < n && text[k].isDigit()) {
                ++k;
            }
            if (k < n && text[k] == QLatin1Char('.')) {
                t.decimal = true;
                ++k;
                while (k < n && text[k].isDigit()) {
                    ++k;
                }
            }
            t.text = text.mid(i, k - i).toString();
            bool ok = false;
            const QString number = text.mid(digits, k - digits).toString();
            t.value = number.toDouble(&ok);
            if (!ok || number == QLatin1String(".")) {
                throw Failure{QStringLiteral("%1 is not a number").arg(quoted(t.text))};
            }
            tokens.push_back(t);
            i = k;
            continue;
        }
        if (isDegreeMark(c)) {
            tokens.push_back(markToken(Unit::Deg, QString(c)));
            ++i;
            continue;
        }
        if (isMinuteMark(c)) {
            // Two minute marks in a row are a second mark.
            if (i + 1 < n && isMinuteMark(text[i + 1])) {
                tokens.push_back(markToken(Unit::Sec, text.mid(i, 2).toString()));
                i += 2;
            } else {
                tokens.push_back(markToken(Unit::Min, QString(c)));
                ++i;
            }
            continue;
        }
        if (isSecondMark(c)) {
            tokens.push_back(markToken(Unit::Sec, QString(c)));
            ++i;
            continue;
        }
        if (c.isLetter()) {
            qsizetype k = i;
            while (k < n && text[k].isLetter()) {
                ++k;
            }
            const QString word = text.mid(i, k - i).toString();
            const QString lower = word.toLower();
            Token t;
            t.text = word;
            if (lower == QLatin1String("n") || lower == QLatin1String("north")) {
                t.kind = TokenKind::Hemisphere;
                t.hemisphere = QLatin1Char('N');
            } else if (lower == QLatin1String("s") || lower == QLatin1String("south")) {
                t.kind = TokenKind::Hemisphere;
                t.hemisphere = QLatin1Char('S');
            } else if (lower == QLatin1String("e") || lower == QLatin1String("east")) {
                t.kind = TokenKind::Hemisphere;
                t.hemisphere = QLatin1Char('E');
            } else if (lower == QLatin1String("w") || lower == QLatin1String("west")) {
                t.kind = TokenKind::Hemisphere;
                t.hemisphere = QLatin1Char('W');
            } else if ((lower == QLatin1String("d") || lower == QLatin1String("deg")) &&
                       !tokens.empty() && tokens.back().kind == TokenKind::Number) {
                t.kind = TokenKind::Mark;
                t.unit = Unit::Deg;
            } else {
                throw Failure{QStringLiteral("%1 is not understood").arg(quoted(word))};
            }
            tokens.push_back(t);
            i = k;
            continue;
        }
        throw Failure{QStringLiteral("%1 is not understood").arg(quoted(QString(c)))};
    }
    return tokens;
}

// The units of a coordinate's parts: as marked, or the next after the part before.
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

QString describe(const Coordinate& c) {
    QStringList texts;
    for (const Component& p : c.parts) {
        texts << p.text;
    }
    return quoted(texts.join(QLatin1Char(' ')));
}

std::vector<Coordinate> group(const std::vector<Token>& tokens) {
    std::vector<Coordinate> coords;
    Coordinate current;
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
                } else {
                    if (current.parts.empty()) {
                        throw Failure{
                            QStringLiteral("%1 has no numbers before it").arg(quoted(t.text))};
                    }
                    current.hemisphere = t.hemisphere;
                    current.hemisphereText = t.text;
                    finish();
                }
                break;
            case TokenKind::Mark:
                if (k == 0 || tokens[k - 1].kind != TokenKind::Number) {
                    throw Failure{QStringLiteral("%1 has no number before it").arg(quoted(t.text))};
                }
                current.parts.back().unit = t.unit;
                current.parts.back().text += t.text;
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
                current.parts.push_back({t.value, Unit::None, t.decimal, t.text});
                break;
            }
        }
    }
    finish();
    return coords;
}

// One coordinate of several parts split into two where that can be done in one way only, or in
// two halves of the same form.
std::vector<Coordinate> splitSingle(const Coordinate& c, bool leadingLetters) {
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
    if (valid.size() == 1) {
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
    first.parts.assign(c.parts.begin(), c.parts.begin() + static_cast<long>(*at));
    second.parts.assign(c.parts.begin() + static_cast<long>(*at), c.parts.end());
    first.sign = c.sign;
    first.negative = c.negative;
    (leadingLetters ? first : second).hemisphere = c.hemisphere;
    (leadingLetters ? first : second).hemisphereText = c.hemisphereText;
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

}  // namespace

PositionParse parsePosition(QStringView text) {
    PositionParse out;
    try {
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
        std::vector<Coordinate> coords = group(tokens);
        if (coords.size() == 1) {
            // A hemisphere letter marks its numbers as one coordinate: "57 30.2N" is 57° 30.2'
            // north with the longitude missing, never 30.2° N and 57° E.
            if (coords.front().parts.size() < 2 || !coords.front().hemisphere.isNull()) {
                throw Failure{QStringLiteral("only one coordinate, %1: a position needs a "
                                             "latitude and a longitude")
                                  .arg(describe(coords.front()))};
            }
            coords = splitSingle(coords.front(), leadingLetters);
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
        }
        const Coordinate& latC = firstIsLatitude ? coords[0] : coords[1];
        const Coordinate& lonC = firstIsLatitude ? coords[1] : coords[0];
        GeoPosition p;
        p.lat = valueOf(latC, QStringLiteral("latitude"), 90.0);
        p.lon = valueOf(lonC, QStringLiteral("longitude"), 180.0);
        out.position = p;
    } catch (const Failure& f) {
        out.error = QStringLiteral("Position not understood: %1.").arg(f.message);
    }
    return out;
}

namespace {

QString hemisphereAngle(double value, QChar positive, QChar negative) {
    const double a = std::fabs(value);
    // Thousandths of a minute, rounded once, so 59.9999 minutes carry into the degrees.
    const long long thousandths = std::llround(a * 60000.0);
    const long long degrees = thousandths / 60000;
    const long long rest = thousandths % 60000;
    const QChar h = value < 0 && thousandths != 0 ? negative : positive;
    return QStringLiteral("%1° %2.%3' %4")
        .arg(degrees)
        .arg(rest / 1000)
        .arg(rest % 1000, 3, 10, QLatin1Char('0'))
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
