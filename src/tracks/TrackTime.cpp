#include "tracks/TrackTime.h"

#include <cmath>
#include <cstdio>

#include "positions/PositionsFile.h"

namespace pelagon::tracks {

namespace {

constexpr qint64 kMsPerDay = 86400000;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

struct Civil {
    qint64 year;
    unsigned month;
    unsigned day;
};

Civil civilFromDays(qint64 z) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2 ? 1 : 0), m, d};
}

qint64 floorDiv(qint64 a, qint64 b) {
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

qint64 periodStart(Period by, qint64 ms) {
    switch (by) {
        case Period::Whole:
            return 0;
        case Period::Day:
            return floorDiv(ms, kMsPerDay) * kMsPerDay;
        case Period::Month: {
            const Civil c = civilFromDays(floorDiv(ms, kMsPerDay));
            return daysFromCivil(c.year, c.month, 1) * kMsPerDay;
        }
    }
    return 0;
}

qint64 nextPeriod(Period by, qint64 start) {
    switch (by) {
        case Period::Whole:
            return start;
        case Period::Day:
            return start + kMsPerDay;
        case Period::Month: {
            const Civil c = civilFromDays(floorDiv(start, kMsPerDay));
            return c.month == 12 ? daysFromCivil(c.year + 1, 1, 1) * kMsPerDay
                                 : daysFromCivil(c.year, c.month + 1, 1) * kMsPerDay;
        }
    }
    return start;
}

void appendPeriod(QByteArray& out, Period by, qint64 start) {
    const Civil c = civilFromDays(floorDiv(start, kMsPerDay));
    char text[32];
    const int n = by == Period::Month
                      ? std::snprintf(text, sizeof text, "%04lld-%02u",
                                      static_cast<long long>(c.year), c.month)
                      : std::snprintf(text, sizeof text, "%04lld-%02u-%02u",
                                      static_cast<long long>(c.year), c.month, c.day);
    out.append(text, n);
}

void appendIsoSecond(QByteArray& out, qint64 ms) {
    const qint64 seconds = floorDiv(ms, 1000);
    const qint64 days = floorDiv(seconds, 86400);
    const qint64 rest = seconds - days * 86400;
    const Civil c = civilFromDays(days);
    char text[48];
    const int n = std::snprintf(
        text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(c.year),
        c.month, c.day, static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
        static_cast<long long>(rest % 60));
    out.append(text, n);
}

std::optional<qint64> readIsoTime(QByteArrayView text) {
    // YYYY-MM-DDTHH:MM:SS[.fff][Z|±HH:MM]
    const char* s = text.data();
    const qsizetype n = text.size();
    auto digits = [&](qsizetype at, int count, int& value) {
        if (at + count > n) {
            return false;
        }
        value = 0;
        for (int i = 0; i < count; ++i) {
            const char ch = s[at + i];
            if (ch < '0' || ch > '9') {
                return false;
            }
            value = value * 10 + (ch - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (n < 19 || !digits(0, 4, year) || s[4] != '-' || !digits(5, 2, month) || s[7] != '-' ||
        !digits(8, 2, day) || s[10] != 'T' || !digits(11, 2, hour) || s[13] != ':' ||
        !digits(14, 2, minute) || s[16] != ':' || !digits(17, 2, second)) {
        return positions::parseIsoTime(text);
    }
    qsizetype at = 19;
    int millis = 0;
    if (at < n && s[at] == '.') {
        ++at;
        int count = 0;
        int scale = 100;
        while (at < n && s[at] >= '0' && s[at] <= '9') {
            if (count < 3) {
                millis += (s[at] - '0') * scale;
                scale /= 10;
            }
            ++count;
            ++at;
        }
        // Rounding of more than three places is left to the general reader.
        if (count == 0 || count > 3) {
            return positions::parseIsoTime(text);
        }
    }
    int offsetMinutes = 0;
    if (at < n && s[at] == 'Z') {
        ++at;
    } else if (at < n && (s[at] == '+' || s[at] == '-')) {
        int oh = 0, om = 0;
        if (!digits(at + 1, 2, oh) || at + 3 >= n || s[at + 3] != ':' || !digits(at + 4, 2, om) ||
            oh > 23 || om > 59) {
            return positions::parseIsoTime(text);
        }
        offsetMinutes = (oh * 60 + om) * (s[at] == '-' ? -1 : 1);
        at += 6;
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (at != n || month < 1 || month > 12 || day < 1 ||
        day > (month == 2 && !leap ? 28 : kDays[month - 1]) || hour > 23 || minute > 59 ||
        second > 59) {
        return positions::parseIsoTime(text);
    }
    const qint64 days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return ((days * 24 + hour) * 60 + minute - offsetMinutes) * 60000LL + second * 1000LL + millis;
}

}  // namespace pelagon::tracks
