#include "geo/PositionTokens.h"

#include <QChar>

#include <cmath>

namespace pelagon::position_text {

QString quoted(const QString& s) {
    return QStringLiteral("'%1'").arg(s);
}

namespace {

Token markToken(Unit unit, const QString& text, qsizetype begin) {
    Token t;
    t.kind = TokenKind::Mark;
    t.unit = unit;
    t.text = text;
    t.begin = begin;
    t.end = begin + text.size();
    return t;
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

}  // namespace

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
            sep.begin = i;
            sep.end = i + 1;
            tokens.push_back(sep);
            ++i;
            continue;
        }
        const bool signChar = c == QLatin1Char('+') || isMinus(c);
        const auto startsNumber = [&](qsizetype k) {
            return k < n && (text[k].isDigit() ||
                             (text[k] == QLatin1Char('.') && k + 1 < n && text[k + 1].isDigit()));
        };
        // A sign may stand apart from its number, as the read-out writes it ("- 163° 8.405'").
        qsizetype afterSign = i + 1;
        while (signChar && afterSign < n && text[afterSign].isSpace()) {
            ++afterSign;
        }
        if (c.isDigit() || c == QLatin1Char('.') || (signChar && startsNumber(afterSign))) {
            Token t;
            t.kind = TokenKind::Number;
            qsizetype k = i;
            if (signChar) {
                t.sign = true;
                t.negative = isMinus(c);
                k = afterSign;
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
            // A number runs up to a blank, a separator, a mark or a word: a second decimal point
            // ("57.30.2"), an exponent ("1e2", never 1 then East), a sign glued to it
            // ("57-30") or a comma between digits ("57,5", a decimal comma) make it malformed.
            const auto digitAt = [&](qsizetype m) { return m < n && text[m].isDigit(); };
            const auto signAt = [&](qsizetype m) {
                return m < n && (text[m] == QLatin1Char('+') || isMinus(text[m]));
            };
            const bool malformed =
                (k < n && text[k] == QLatin1Char('.')) ||
                (k < n && (text[k] == QLatin1Char('e') || text[k] == QLatin1Char('E')) &&
                 (digitAt(k + 1) || (signAt(k + 1) && digitAt(k + 2)))) ||
                (signAt(k) && (digitAt(k + 1) || (k + 1 < n && text[k + 1] == QLatin1Char('.'))));
            const bool decimalComma =
                !t.decimal && k < n && text[k] == QLatin1Char(',') && digitAt(k + 1);
            if (malformed || decimalComma) {
                qsizetype e = k;
                while (e < n && (text[e].isDigit() || text[e] == QLatin1Char('.') ||
                                 text[e] == QLatin1Char(',') || text[e] == QLatin1Char('e') ||
                                 text[e] == QLatin1Char('E') || signAt(e))) {
                    ++e;
                }
                const QString word = quoted(text.mid(i, e - i).toString());
                throw Failure{decimalComma
                                  ? QStringLiteral("%1 is not a number: write decimals with a "
                                                   "point, and a blank after the comma between "
                                                   "the latitude and the longitude")
                                        .arg(word)
                                  : QStringLiteral("%1 is not a number").arg(word)};
            }
            t.text = text.mid(i, k - i).toString();
            t.begin = i;
            t.end = k;
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
            tokens.push_back(markToken(Unit::Deg, QString(c), i));
            ++i;
            continue;
        }
        if (isMinuteMark(c)) {
            // Two minute marks in a row are a second mark.
            if (i + 1 < n && isMinuteMark(text[i + 1])) {
                tokens.push_back(markToken(Unit::Sec, text.mid(i, 2).toString(), i));
                i += 2;
            } else {
                tokens.push_back(markToken(Unit::Min, QString(c), i));
                ++i;
            }
            continue;
        }
        if (isSecondMark(c)) {
            tokens.push_back(markToken(Unit::Sec, QString(c), i));
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
            t.begin = i;
            t.end = k;
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

}  // namespace pelagon::position_text
