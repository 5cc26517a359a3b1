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

}  // namespace

double readLeadingNumber(QStringView text) {
    BlankSkippingCursor cur(text);
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
        return 0.0;
    }
    const QChar e = cur.peek();
    if (e == u'e' || e == u'E' || e == u'd' || e == u'D') {
        cur.advance();
        QString exponent = QStringLiteral("e");
        if (cur.peek() == u'-' || cur.peek() == u'+') {
            exponent.append(cur.peek());
            cur.advance();
        }
        if (cur.takeDigits(exponent) > 0) {
            number.append(exponent);
        }
    }
    // The C locale reads "." as the decimal point; an overflow gives an infinity.
    return QLocale::c().toDouble(number);
}

QString ProjParsError::message() const {
    if (kind == Kind::MissingParameters) {
        return QString::fromLatin1(kMissingParametersText);
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
    if (file.lines.size() < 4) {
        result.error = missing(path, static_cast<int>(file.lines.size()) + 1,
                               QStringLiteral("%1 has %2 line(s); line %3 should hold the %4.")
                                   .arg(path)
                                   .arg(file.lines.size())
                                   .arg(file.lines.size() + 1)
                                   .arg(QLatin1String(kParameterNames[file.lines.size()])));
        return result;
    }

    std::array<double, 4> values{};
    for (int i = 0; i < 4; ++i) {
        values[i] = readLeadingNumber(file.lines[i]);
        if (!std::isfinite(values[i])) {
            result.error = missing(path, i + 1,
                                   QStringLiteral("%1, line %2: the %3 is too large a number.")
                                       .arg(path)
                                       .arg(i + 1)
                                       .arg(QLatin1String(kParameterNames[i])));
            return result;
        }
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
