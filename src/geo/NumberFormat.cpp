#include "geo/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace pelagon {

namespace {

// Adds one unit in the last place of a string of decimal digits; returns false on a carry out of
// the first digit (the string is then all zeros).
bool incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return true;
        }
        *it = '0';
    }
    return false;
}

QString groupDigits(const std::string& digits, const QString& separator) {
    QString out;
    const auto n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out += separator;
        }
        out += QLatin1Char(digits[i]);
    }
    return out;
}

}  // namespace

QString formatSingle(float value, const NumberPattern& pattern, const QLocale& locale) {
    if (!std::isfinite(value)) {
        return locale.toString(static_cast<double>(value));
    }
    // Seven significant digits, e.g. "-4.803832e+01".
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
    const std::string text(buf, res.ptr);
    const bool negative = text.front() == '-';
    const auto ePos = text.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i) {
        if (text[i] != '.') {
            digits += text[i];
        }
    }
    const int exponent = std::stoi(text.substr(ePos + 1));

    // Lay the digits out as integer part and fraction: intLen digits before the point.
    long intLen = exponent + 1;
    if (intLen <= 0) {
        digits.insert(0, static_cast<std::size_t>(1 - intLen), '0');
        intLen = 1;
    }
    if (static_cast<long>(digits.size()) < intLen) {
        digits.append(static_cast<std::size_t>(intLen) - digits.size(), '0');
    }

    // Round the decimal text to maxDecimals, halves away from zero.
    const auto keep = static_cast<std::size_t>(intLen + pattern.maxDecimals);
    if (digits.size() > keep) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up && !incrementDigits(digits)) {
            digits.insert(0, 1, '1');
            ++intLen;
        }
    }
    std::string intPart = digits.substr(0, static_cast<std::size_t>(intLen));
    std::string fraction = digits.substr(static_cast<std::size_t>(intLen));
    while (static_cast<int>(fraction.size()) > pattern.minDecimals && fraction.back() == '0') {
        fraction.pop_back();
    }
    fraction.append(static_cast<std::size_t>(
                        std::max(0, pattern.minDecimals - static_cast<int>(fraction.size()))),
                    '0');
    const auto firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "0" : intPart.substr(firstNonZero);

    QString out;
    if (negative && (intPart != "0" || fraction.find_first_not_of('0') != std::string::npos)) {
        out += locale.negativeSign();
    }
    out += pattern.grouped ? groupDigits(intPart, locale.groupSeparator())
                           : QString::fromLatin1(intPart);
    if (!fraction.empty()) {
        out += locale.decimalPoint() + QString::fromLatin1(fraction);
    }
    return out;
}

}  // namespace pelagon
