#include "positions/PositionsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

#include "common/EchoText.h"
#include "common/TextFile.h"
#include "positions/Csv.h"
#include "positions/PositionFields.h"
#include "store/GdalErrorCapture.h"

namespace pelagon::positions {

namespace fields {

QByteArrayView trimmed(QByteArrayView bytes) {
    auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    };
    qsizetype b = 0;
    qsizetype e = bytes.size();
    while (b < e && space(bytes[b])) {
        ++b;
    }
    while (e > b && space(bytes[e - 1])) {
        --e;
    }
    return bytes.sliced(b, e - b);
}

// Text of a field as UTF-8: its bytes when they are UTF-8, else read as Windows-1252.
QByteArray utf8Of(QByteArrayView bytes) {
    if (bytes.isValidUtf8()) {
        return bytes.toByteArray();
    }
    return decodeText(bytes.toByteArray()).toUtf8();
}

void setBytes(QByteArray& out, QByteArrayView bytes) {
    out.resize(bytes.size());  // keeps the bytes out holds reserved
    if (!bytes.isEmpty()) {
        std::memcpy(out.data(), bytes.data(), static_cast<std::size_t>(bytes.size()));
    }
}

void setUtf8(QByteArray& out, QByteArrayView bytes) {
    if (bytes.isValidUtf8()) {
        setBytes(out, bytes);
    } else {
        out = decodeText(bytes.toByteArray()).toUtf8();
    }
}

QString textOf(QByteArrayView bytes) {
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : decodeText(bytes.toByteArray());
}

// A coordinate: a finite number with "." as the decimal separator, blanks around it ignored.
// The common case goes through from_chars; anything it does not take whole is read as the text
// reader of the rest of the program reads numbers, so both accept the same.
namespace {

// The usual form, [-]digits[.digits] with at most 15 digits, read exactly as from_chars reads
// it: the digits make a whole number below 2^53 and the point a power of ten of at most 10^15,
// both exact in double, so their quotient is the correctly rounded value. Nothing for any
// other form.
std::optional<double> plainDecimal(QByteArrayView t) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = t.data();
    const char* const end = p + t.size();
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    std::uint64_t whole = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    bool digitBeforePoint = false;
    for (; p != end; ++p) {
        if (*p >= '0' && *p <= '9') {
            whole = whole * 10 + static_cast<std::uint64_t>(*p - '0');
            ++digits;
            decimals += point ? 1 : 0;
            digitBeforePoint = digitBeforePoint || !point;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digitBeforePoint || (point && decimals == 0) || digits > 15) {
        return std::nullopt;
    }
    const double v = static_cast<double>(whole) / kPowers[decimals];
    return negative ? -v : v;
}

}  // namespace

std::optional<double> coordinate(QByteArrayView field) {
    const QByteArrayView t = trimmed(field);
    if (const std::optional<double> quick = plainDecimal(t)) {
        return quick;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec == std::errc() && end == t.data() + t.size() && !t.isEmpty()) {
        if (std::isfinite(v)) {
            return v;
        }
        return std::nullopt;
    }
    bool ok = false;
    const double slow = textOf(field).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(slow)) {
        return std::nullopt;
    }
    return slow;
}

// Why a longitude and latitude in degrees cannot be used; empty when they can. names: how the
// message names the two ("the lon value", "its lon").
constexpr double kMaxLatitude = 90;
constexpr double kMaxLongitude = 360;

QString degreesProblem(double lon, double lat, const QString& lonName, const QString& latName) {
    if (std::fabs(lat) > kMaxLatitude) {
        return QStringLiteral("%1 %2 is beyond ±90°")
            .arg(latName, QString::number(lat, 'g', QLocale::FloatingPointShortest));
    }
    if (std::fabs(lon) > kMaxLongitude) {
        return QStringLiteral("%1 %2 is beyond ±360°")
            .arg(lonName, QString::number(lon, 'g', QLocale::FloatingPointShortest));
    }
    return {};
}

}  // namespace fields

namespace {

// ---------------------------------------------------------------------------------------------
// CSV

class CsvPositionReader : public PositionReader {
public:
    CsvPositionReader(std::unique_ptr<QIODevice> owned, QIODevice& device, QString where,
                      qint64 size, const ReaderOptions& options)
        : owned_(std::move(owned)), csv_(device), size_(size), options_(options) {
        where_ = std::move(where);
    }

    // Reads the header; an error text when it cannot be used.
    QString readHeader() {
        CsvRawRecord header;
        bool found = false;
        while (csv_.next(header)) {
            if (!header.isBlank()) {
                found = true;
                break;
            }
        }
        if (!found) {
            if (csv_.readFailed(&failure_)) {
                return QStringLiteral("Cannot read %1: %2").arg(where_, failure_);
            }
            return QStringLiteral("%1: there is no header line.").arg(where_);
        }
        if (!header.error.isEmpty()) {
            return QStringLiteral("%1, line %2: %3").arg(where_).arg(header.line).arg(header.error);
        }
        auto column = [&](const char* name) {
            for (int k = 0; k < header.size(); ++k) {
                if (header.text(k).trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) ==
                    0) {
                    return k;
                }
            }
            return -1;
        };
        // A column the reader uses named twice leaves which one is meant unknown.
        for (const char* name : {"id", "x", "y", "lon", "lat", "vessel", "time"}) {
            const int k = column(name);
            for (int later = k + 1; k >= 0 && later < header.size(); ++later) {
                if (header.text(later).trimmed().compare(QLatin1String(name),
                                                         Qt::CaseInsensitive) == 0) {
                    return QStringLiteral(
                               "%1, line %2: the header names the column %3 twice "
                               "(columns %4 and %5).")
                        .arg(where_)
                        .arg(header.line)
                        .arg(QLatin1String(name))
                        .arg(k + 1)
                        .arg(later + 1);
                }
            }
        }
        columns_ = header.size();
        id_ = column("id");
        if (column("x") >= 0 && column("y") >= 0) {
            first_ = column("x");
            second_ = column("y");
            units_ = Units::MapUnits;
            firstName_ = QStringLiteral("x");
            secondName_ = QStringLiteral("y");
            firstHeader_ = header.text(first_).trimmed();
            secondHeader_ = header.text(second_).trimmed();
        } else if (column("lon") >= 0 && column("lat") >= 0) {
            first_ = column("lon");
            second_ = column("lat");
            units_ = Units::Degrees;
            firstName_ = QStringLiteral("lon");
            secondName_ = QStringLiteral("lat");
        } else {
            return QStringLiteral(
                       "%1, line %2: the header names neither the columns lon and lat nor x and "
                       "y.")
                .arg(where_)
                .arg(header.line);
        }
        if (options_.vesselsAndTimes) {
            vessel_ = column("vessel");
            time_ = column("time");
        }
        hasVessels_ = vessel_ >= 0;
        hasTimes_ = time_ >= 0;
        needed_ = std::max({id_, first_, second_}) + 1;
        return {};
    }

    bool next(PositionRow& row) override {
        do {
            if (!csv_.next(raw_)) {
                csv_.readFailed(&failure_);
                return false;
            }
        } while (raw_.isBlank());
        row.line = raw_.line;
        row.problem.clear();
        // Emptied, not cleared: a row read into again and again reuses their bytes.
        row.vessel.resize(0);
        row.time.resize(0);
        if (!raw_.error.isEmpty()) {
            row.problem = raw_.error;
            return true;
        }
        if (raw_.size() < needed_) {
            row.problem = QStringLiteral("it has %1 fields where %2 are needed")
                              .arg(raw_.size())
                              .arg(needed_);
            return true;
        }
        // Fields past the header's columns mean the row's fields are not where the header
        // puts them (a decimal comma, an unquoted comma in a name); empty ones (commas at the
        // end of a line) change nothing.
        for (int k = columns_; k < raw_.size(); ++k) {
            if (!raw_.text(k).trimmed().isEmpty()) {
                row.problem = QStringLiteral("it has %1 fields where the header names %2")
                                  .arg(raw_.size())
                                  .arg(columns_);
                return true;
            }
        }
        const std::optional<double> a = fields::coordinate(raw_.field(first_));
        if (!a) {
            row.problem = notANumber(firstName_, first_);
            return true;
        }
        const std::optional<double> b = fields::coordinate(raw_.field(second_));
        if (!b) {
            row.problem = notANumber(secondName_, second_);
            return true;
        }
        row.first = *a;
        row.second = *b;
        if (units_ == Units::Degrees) {
            row.problem = fields::degreesProblem(*a, *b, QStringLiteral("the lon value"),
                                                 QStringLiteral("the lat value"));
            if (!row.problem.isEmpty()) {
                return true;
            }
        } else {
            ++mapUnitRows_;
            if (std::fabs(*a) > 180 || std::fabs(*b) > 90) {
                degreesLike_ = false;
            }
        }
        if (id_ >= 0) {
            fields::setUtf8(row.id, raw_.field(id_));
        } else {
            char digits[24];
            const auto written = std::to_chars(digits, digits + sizeof digits, row.line);
            fields::setBytes(row.id, QByteArrayView(digits, written.ptr));
        }
        if (vessel_ >= 0 && vessel_ < raw_.size()) {
            fields::setUtf8(row.vessel, fields::trimmed(raw_.field(vessel_)));
        }
        if (time_ >= 0 && time_ < raw_.size()) {
            fields::setBytes(row.time, fields::trimmed(raw_.field(time_)));
        }
        return true;
    }

    QString failure() const override { return failure_; }

    // Metres of an Albers plane no larger than 180 and 90 put every position within 200 m of
    // the map's origin: such columns hold degrees.
    QString notice() const override {
        if (units_ != Units::MapUnits || mapUnitRows_ == 0 || !degreesLike_) {
            return {};
        }
        return QStringLiteral(
                   "%1: the columns %2 and %3 hold no value beyond 180 and 90, which looks like "
                   "longitudes and latitudes in degrees, not metres of the map's plane; if they "
                   "are degrees, name the columns lon and lat.")
            .arg(where_, echoLine(firstHeader_), echoLine(secondHeader_));
    }

    double progress() const override {
        return size_ > 0 ? std::min(1.0, static_cast<double>(csv_.bytesRead()) / size_) : 0.0;
    }

private:
    QString notANumber(const QString& name, int column) const {
        const QString text = raw_.text(column).trimmed();
        if (text.isEmpty()) {
            return QStringLiteral("the %1 value is empty").arg(name);
        }
        return QStringLiteral("the %1 value '%2' is not a number").arg(name, echoLine(text));
    }

    std::unique_ptr<QIODevice> owned_;
    CsvReader csv_;
    qint64 size_ = 0;
    ReaderOptions options_;
    CsvRawRecord raw_;
    QString failure_;
    int id_ = -1, first_ = -1, second_ = -1, vessel_ = -1, time_ = -1;
    int needed_ = 0;
    int columns_ = 0;  // named by the header
    QString firstName_, secondName_;
    QString firstHeader_, secondHeader_;  // the x and y columns as the header names them
    qint64 mapUnitRows_ = 0;              // rows in map units that could be read
    bool degreesLike_ = true;             // every one of them within ±180 and ±90
};

// Whether the bytes begin, after white space and a byte order mark, with "<".
bool looksLikeXml(QByteArrayView head) {
    if (head.startsWith("\xEF\xBB\xBF")) {
        head = head.sliced(3);
    }
    for (const char c : head) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        return c == '<';
    }
    return false;
}

}  // namespace

OpenedPositions openPositions(const QString& path, QIODevice* standardInput,
                              const ReaderOptions& options) {
    OpenedPositions result;
    const bool fromStdin = path == QStringLiteral("-");
    const QString where =
        fromStdin ? QStringLiteral("standard input") : QDir::toNativeSeparators(path);
    QIODevice* device = standardInput;
    std::unique_ptr<QIODevice> owned;
    qint64 size = 0;
    if (fromStdin) {
        if (device == nullptr) {
            result.error = QStringLiteral("There is no standard input to read positions from.");
            return result;
        }
    } else {
        auto file = std::make_unique<QFile>(path);
        if (QFileInfo(path).isDir()) {
            result.error = QStringLiteral("Cannot read %1: it is a folder").arg(where);
            return result;
        }
        if (!file->open(QIODevice::ReadOnly)) {
            result.error = QStringLiteral("Cannot read %1: %2").arg(where, file->errorString());
            return result;
        }
        size = file->size();
        device = file.get();
        owned = std::move(file);
    }

    // Look at the first bytes without taking them, where the device lets us; standard input is
    // looked at through its own buffer.
    const QByteArray head = device->peek(4096);
    if (looksLikeXml(head)) {
        QString error;
        std::unique_ptr<PositionReader> gpx;
        if (fromStdin) {
            gpx = openGpxPositions(QString(), where, device->readAll(), error);
        } else {
            owned.reset();
            gpx = openGpxPositions(path, where, QByteArray(), error);
        }
        if (!error.isEmpty()) {
            result.error = error;
            return result;
        }
        result.reader = std::move(gpx);
        return result;
    }
    auto csv = std::make_unique<CsvPositionReader>(std::move(owned), *device, where, size, options);
    const QString error = csv->readHeader();
    if (!error.isEmpty()) {
        result.error = error;
        return result;
    }
    result.reader = std::move(csv);
    return result;
}

std::optional<qint64> parseIsoTime(QByteArrayView text) {
    const QString s = QString::fromLatin1(fields::trimmed(text));
    if (s.size() < 10 || s.at(4) != u'-') {
        return std::nullopt;
    }
    QDateTime t = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!t.isValid()) {
        return std::nullopt;
    }
    if (t.timeSpec() == Qt::LocalTime) {
        // No zone given: the time is taken as written, in UTC, whatever this machine's zone.
        t.setTimeZone(QTimeZone::utc());
    }
    return t.toMSecsSinceEpoch();
}

}  // namespace pelagon::positions
