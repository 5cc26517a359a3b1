#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

#include "tracks/AreaVisits.h"

namespace pelagon::tracks {

// The first millisecond of the UTC day or month that holds ms; 0 for Period::Whole.
qint64 periodStart(Period by, qint64 ms);
// The first millisecond of the period after the one starting at start.
qint64 nextPeriod(Period by, qint64 start);
// "2024-05-01" for a day, "2024-05" for a month.
void appendPeriod(QByteArray& out, Period by, qint64 start);
// "2024-05-01T06:30:00Z": the UTC second that holds ms.
void appendIsoSecond(QByteArray& out, qint64 ms);

// What positions::parseIsoTime gives, read without building a date object for the usual forms
// ("2024-05-01T06:30:00Z", with fractions of seconds or an offset); anything else is handed on to
// parseIsoTime.
std::optional<qint64> readIsoTime(QByteArrayView text);

}  // namespace pelagon::tracks
