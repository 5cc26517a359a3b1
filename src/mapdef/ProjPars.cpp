#include "mapdef/ProjPars.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <array>
#include <cmath>

#include "common/TextFile.h"

namespace pelagon {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Walks a text, skipping blanks before every character it looks at.
class BlankSkippingCursor {
public:
    explicit BlankSkippingCursor(QStringView text) : text_(text) {}

    // The next character that is not a blank, or QChar() at the end.
    QChar peek() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size() ? text_[pos_] : QChar();
    }
    void advance() { ++pos_; }
    // What is left after the blanks that follow the last character taken.
    QStringView rest() {
        peek();
        return text_.mid(pos_);
    }

    // Appends the digits that follow to out; returns how many there were.
    int takeDigits(QString& out) {
        int count = 0;
        while (isDigit(peek())) {
            out.append(peek());
            advance();
            ++count;
        }
        return count;
    }

private:
    QStringView text_;
    qsizetype pos_ = 0;
};

constexpr auto kMissingParametersText = "Missing parameters in 'ProjPars.alb'";
constexpr std::array<const char*, 4> kParameterNames = {"central meridian", "latitude of origin",
                                                        "first standard parallel",
                                                        "second standard parallel"};

ProjParsError missing(const QString& path, int line, const QString& detail) {
    return {ProjParsError::Kind::MissingParameters, path, line, detail};
}

// The problem of a parameter line, or an empty text: the line must hold one number and nothing
// else, finite, and a latitude within ±90° or a longitude within ±360°.
QString lineProblem(int index, const QString& line, double* value) {
    const QString name = QLatin1String(kParameterNames[static_cast<std::size_t>(index)]);
    if (line.trimmed().isEmpty()) {
        return QStringLiteral("the line is empty; it should hold the %1").arg(name);
    }
    const LeadingNumber n = scanLeadingNumber(line);
    if (!n.found) {
        return QStringLiteral("the %1 \"%2\" is not a number").arg(name, line.trimmed());
    }
    if (!n.rest.isEmpty()) {
        return QStringLiteral("the %1 \"%2\" has other text after its number")
            .arg(name, line.trimmed());
    }
    if (!std::isfinite(n.value)) {
        return QStringLiteral("the %1 is too large a number").arg(name);
    }
    const double limit = index == 0 ? 360.0 : 90.0;
    if (std::abs(n.value) > limit) {
        return QStringLiteral("the %1 %2 is beyond \u00b1%3\u00b0")
            .arg(name, QString::number(n.value, 'g', 15))
            .arg(limit);
    }
    *value = n.value;
    return {};
}

}  // namespace

LeadingNumber scanLeadingNumber(QStringView text) {
    BlankSkippingCursor cur(text);
    LeadingNumber result;
    QString number;
    if (cur.peek() == u'-' || cur.peek() == u'+') {
        number.append(cur.peek());
        cur.advance();
    }
    number.append(u'0');  // so that ".5" and "5." are complete numbers
    int digits = cur.takeDigits(number);
    if (cur.peek() == u'.') {
        cur.advance();
        number.append(u'.');
        digits += cur.takeDigits(number);
        number.append(u'0');
    }
    if (digits == 0) {
        return result;
    }
    result.found = true;
    QChar e = cur.peek();
    if (e == u'e' || e == u'E' || e == u'd' || e == u'D') {
        // Taken only when digits follow; otherwise the letter is text after the number.
        BlankSkippingCursor mark = cur;
        cur.advance();
        QString exponent = QStringLiteral("e");
        if (cur.peek() == u'-' || cur.peek() == u'+') {
            exponent.append(cur.peek());
            cur.advance();
        }
        if (cur.takeDigits(exponent) > 0) {
            number.append(exponent);
        } else {
            cur = mark;
        }
    }
    result.rest = cur.rest();
    // The C locale reads "." as the decimal point; an overflow gives an infinity.
    result.value = QLocale::c().toDouble(number);
    return result;
}

double readLeadingNumber(QStringView text) {
    return scanLeadingNumber(text).value;
}

QString ProjParsError::message() const {
    if (kind == Kind::MissingParameters) {
        return QString::fromLatin1(kMissingParametersText) + QStringLiteral("\n\n") + detail;
    }
    return detail;
}

ProjParsResult ReadProjPars(const QString& path) {
    ProjParsResult result;
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    if (!info.exists()) {
        result.error = ProjParsError{
            ProjParsError::Kind::Unreadable, path, 0,
            QStringLiteral("The projection parameter file '%1' was not found in the folder '%2'.")
                .arg(name, folder)};
        return result;
    }
    const TextFile file = readTextFile(path);
    if (!file.ok) {
        result.error = ProjParsError{
            ProjParsError::Kind::Unreadable, path, 0,
            QStringLiteral(
                "The projection parameter file '%1' in the folder '%2' cannot be read: %3")
                .arg(name, folder, file.error)};
        return result;
    }
    return parseProjPars(file.lines, path);
}

ProjParsResult parseProjPars(const QStringList& lines, const QString& path) {
    ProjParsResult result;
    if (lines.size() < 4) {
        result.error = missing(path, static_cast<int>(lines.size()) + 1,
                               QStringLiteral("%1 has %2 line(s); line %3 should hold the %4.")
                                   .arg(path)
                                   .arg(lines.size())
                                   .arg(lines.size() + 1)
                                   .arg(QLatin1String(kParameterNames[lines.size()])));
        return result;
    }

    std::array<double, 4> values{};
    for (int i = 0; i < 4; ++i) {
        const QString why = lineProblem(i, lines[i], &values[static_cast<std::size_t>(i)]);
        if (!why.isEmpty()) {
            result.error = missing(
                path, i + 1, QStringLiteral("%1, line %2: %3.").arg(path).arg(i + 1).arg(why));
            return result;
        }
    }
    if (values[2] == -values[3] && values[2] != 0.0) {
        result.error =
            missing(path, 0,
                    QStringLiteral("%1: the standard parallels %2 and %3 (lines 3 and 4) are "
                                   "equal and opposite, which leaves the cone undefined.")
                        .arg(path, QString::number(values[2], 'g', 15),
                             QString::number(values[3], 'g', 15)));
        return result;
    }
    result.projection =
        AlbersProjection::fromParameters(values[0], values[1], values[2], values[3]);
    if (!result.projection) {
        const QString why =
            values[2] == values[3]
                ? QStringLiteral("the two standard parallels (lines 3 and 4) are equal")
                : QStringLiteral("the values of lines 2 to 4 give no finite cone constants");
        result.error = missing(path, 0, QStringLiteral("%1: %2.").arg(path, why));
    }
    return result;
}

}  // namespace pelagon
