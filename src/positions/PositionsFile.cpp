#include "positions/PositionsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>

#include "common/EchoText.h"
#include "common/TextFile.h"
#include "positions/Csv.h"
#include "store/GdalErrorCapture.h"

namespace pelagon::positions {

namespace {

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

QString textOf(QByteArrayView bytes) {
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : decodeText(bytes.toByteArray());
}

// A coordinate: a finite number with "." as the decimal separator, blanks around it ignored.
// The common case goes through from_chars; anything it does not take whole is read as the text
// reader of the rest of the program reads numbers, so both accept the same.
std::optional<double> coordinate(QByteArrayView field) {
    const QByteArrayView t = trimmed(field);
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
        return QStringLiteral("%1 %2 is beyond ±90°").arg(latName).arg(lat);
    }
    if (std::fabs(lon) > kMaxLongitude) {
        return QStringLiteral("%1 %2 is beyond ±360°").arg(lonName).arg(lon);
    }
    return {};
}

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
        row.vessel.clear();
        row.time.clear();
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
        const std::optional<double> a = coordinate(raw_.field(first_));
        if (!a) {
            row.problem = notANumber(firstName_, first_);
            return true;
        }
        const std::optional<double> b = coordinate(raw_.field(second_));
        if (!b) {
            row.problem = notANumber(secondName_, second_);
            return true;
        }
        row.first = *a;
        row.second = *b;
        if (units_ == Units::Degrees) {
            row.problem = degreesProblem(*a, *b, QStringLiteral("the lon value"),
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
            const QByteArrayView id = raw_.field(id_);
            row.id = id.isValidUtf8() ? id.toByteArray() : utf8Of(id);
        } else {
            row.id = QByteArray::number(row.line);
        }
        if (vessel_ >= 0 && vessel_ < raw_.size()) {
            row.vessel = utf8Of(trimmed(raw_.field(vessel_)));
        }
        if (time_ >= 0 && time_ < raw_.size()) {
            row.time = trimmed(raw_.field(time_)).toByteArray();
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
    QString firstName_, secondName_;
    QString firstHeader_, secondHeader_;  // the x and y columns as the header names them
    qint64 mapUnitRows_ = 0;              // rows in map units that could be read
    bool degreesLike_ = true;             // every one of them within ±180 and ±90
};

// ---------------------------------------------------------------------------------------------
// GPX

// OGR's drivers, registered once whoever asks first.
void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

struct DatasetCloser {
    void operator()(GDALDataset* d) const { GDALClose(GDALDataset::ToHandle(d)); }
};

// A name for the in-memory copy of standard input that no other reader uses.
QString memoryFileName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("/vsimem/pelagon-positions-%1.gpx").arg(counter.fetch_add(1));
}

QByteArray isoTime(OGRFeature& f, int field) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, tz = 0;
    float s = 0;
    if (field < 0 || !f.IsFieldSetAndNotNull(field) ||
        !f.GetFieldAsDateTime(field, &y, &mo, &d, &h, &mi, &s, &tz)) {
        return {};
    }
    QString out =
        QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, static_cast<int>(s));
    const int ms = static_cast<int>(std::lround((s - std::floor(s)) * 1000));
    if (ms > 0 && ms < 1000) {
        out += QString::asprintf(".%03d", ms);
    }
    if (tz == 100) {
        out += QLatin1Char('Z');
    } else if (tz > 1) {
        const int minutes = (tz - 100) * 15;
        out += QString::asprintf("%c%02d:%02d", minutes < 0 ? '-' : '+', std::abs(minutes) / 60,
                                 std::abs(minutes) % 60);
    }
    return out.toLatin1();
}

// The lat and lon attributes of a GPX file's waypoints (wpt) or track points (trkpt), as written,
// in file order, read alongside OGR: OGR reads "abc" as 0 and passes over a point whose lat or
// lon is empty or missing (still counting it in its feature ids), so the text is judged here.
class GpxRawPoints {
public:
    struct Point {
        std::optional<QString> lat, lon;  // nothing when the attribute is missing
    };

    GpxRawPoints(const QString& path, const QByteArray& memory, QStringView element, int depth)
        : element_(element.toString()), depth_(depth) {
        if (memory.isNull()) {
            file_.setFileName(path);
            if (file_.open(QIODevice::ReadOnly)) {
                xml_.setDevice(&file_);
            }
        } else {
            xml_.addData(memory);
        }
    }

    // The next point; nothing at the end of the file or when the XML cannot be read.
    std::optional<Point> next() {
        while (!xml_.atEnd()) {
            const QXmlStreamReader::TokenType t = xml_.readNext();
            if (t == QXmlStreamReader::StartElement) {
                ++level_;
                if (level_ == depth_ && xml_.name() == element_) {
                    Point p;
                    const QXmlStreamAttributes a = xml_.attributes();
                    if (a.hasAttribute(QStringLiteral("lat"))) {
                        p.lat = a.value(QStringLiteral("lat")).toString();
                    }
                    if (a.hasAttribute(QStringLiteral("lon"))) {
                        p.lon = a.value(QStringLiteral("lon")).toString();
                    }
                    return p;
                }
            } else if (t == QXmlStreamReader::EndElement) {
                --level_;
            }
        }
        return std::nullopt;
    }

private:
    QFile file_;
    QXmlStreamReader xml_;
    QString element_;
    int depth_;
    int level_ = 0;
};

// Why a GPX point's attributes as written cannot be used; empty when they can.
QString gpxPointProblem(const GpxRawPoints::Point& p, double* lon, double* lat) {
    const auto read = [](const std::optional<QString>& text, const char* name,
                         double* value) -> QString {
        if (!text) {
            return QStringLiteral("it has no %1").arg(QLatin1String(name));
        }
        if (text->trimmed().isEmpty()) {
            return QStringLiteral("its %1 is empty").arg(QLatin1String(name));
        }
        const std::optional<double> v = coordinate(text->toUtf8());
        if (!v) {
            return QStringLiteral("its %1 '%2' is not a number")
                .arg(QLatin1String(name), echoLine(text->trimmed()));
        }
        *value = *v;
        return {};
    };
    QString problem = read(p.lat, "lat", lat);
    if (problem.isEmpty()) {
        problem = read(p.lon, "lon", lon);
    }
    if (problem.isEmpty()) {
        problem = degreesProblem(*lon, *lat, QStringLiteral("its lon"), QStringLiteral("its lat"));
    }
    return problem;
}

class GpxPositionReader : public PositionReader {
public:
    ~GpxPositionReader() override {
        dataset_.reset();
        if (!memoryFile_.isEmpty()) {
            VSIUnlink(memoryFile_.toUtf8().constData());
        }
    }

    QString open(const QString& path, QString where, QByteArray memory) {
        where_ = std::move(where);
        units_ = Units::Degrees;
        QString file = path;
        if (!memory.isNull()) {
            memoryFile_ = memoryFileName();
            memory_ = std::move(memory);
            VSILFILE* f = VSIFileFromMemBuffer(memoryFile_.toUtf8().constData(),
                                               reinterpret_cast<GByte*>(memory_.data()),
                                               static_cast<vsi_l_offset>(memory_.size()), FALSE);
            if (f == nullptr) {
                return QStringLiteral("%1 cannot be read as GPX.").arg(where_);
            }
            VSIFCloseL(f);
            file = memoryFile_;
        }
        registerDrivers();
        GdalErrorCapture errors;
        const char* drivers[] = {"GPX", nullptr};
        dataset_.reset(GDALDataset::Open(file.toUtf8().constData(),
                                         GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers));
        if (!dataset_) {
            return QStringLiteral("%1 cannot be read as GPX: %2")
                .arg(where_, errors.text().isEmpty() ? QStringLiteral("it is not a GPX file")
                                                     : errors.text());
        }
        waypoints_ = dataset_->GetLayerByName("waypoints");
        trackPoints_ = dataset_->GetLayerByName("track_points");
        OGRLayer* tracks = dataset_->GetLayerByName("tracks");
        const GIntBig waypointCount = waypoints_ ? waypoints_->GetFeatureCount() : 0;
        const GIntBig trackPointCount = trackPoints_ ? trackPoints_->GetFeatureCount() : 0;
        if (errors.hasFailure()) {
            return QStringLiteral("%1 cannot be read as GPX: %2").arg(where_, errors.text());
        }
        if (waypointCount <= 0 && trackPointCount <= 0) {
            return QStringLiteral("%1: the GPX file holds neither tracks nor waypoints.")
                .arg(where_);
        }
        total_ = waypointCount + trackPointCount;
        if (tracks != nullptr) {
            const char* ignored[] = {"OGR_GEOMETRY", nullptr};
            tracks->SetIgnoredFields(ignored);
            const int nameField = tracks->GetLayerDefn()->GetFieldIndex("name");
            tracks->ResetReading();
            while (OGRFeatureUniquePtr f{tracks->GetNextFeature()}) {
                QByteArray name;
                if (nameField >= 0 && f->IsFieldSetAndNotNull(nameField)) {
                    name = QByteArray(f->GetFieldAsString(nameField)).trimmed();
                }
                if (name.isEmpty()) {
                    name = "Track " + QByteArray::number(f->GetFID() + 1);
                }
                trackNames_[f->GetFID()] = name;
            }
        }
        // Waypoints lie in gpx, track points in gpx, trk and trkseg.
        rawWaypoints_ = std::make_unique<GpxRawPoints>(file, memory_, QStringLiteral("wpt"), 2);
        rawTrackPoints_ = std::make_unique<GpxRawPoints>(file, memory_, QStringLiteral("trkpt"), 4);
        hasVessels_ = trackPointCount > 0;
        hasTimes_ = hasTime(waypoints_) || hasTime(trackPoints_);
        if (waypoints_ != nullptr) {
            waypoints_->ResetReading();
        }
        if (trackPoints_ != nullptr) {
            trackPoints_->ResetReading();
        }
        return {};
    }

    bool next(PositionRow& row) override {
        for (;;) {
            OGRLayer* layer = onTracks_ ? trackPoints_ : waypoints_;
            GpxRawPoints& raw = onTracks_ ? *rawTrackPoints_ : *rawWaypoints_;
            if (!pending_ && layer != nullptr && !layerDone_) {
                GdalErrorCapture errors;
                pending_.reset(layer->GetNextFeature());
                if (!pending_) {
                    if (errors.hasFailure()) {
                        failure_ = errors.text();
                        return false;
                    }
                    layerDone_ = true;
                }
            }
            // OGR numbers the points of a layer in file order, counting those it passes over;
            // should the two ever disagree, OGR's reading alone is used from there on.
            std::optional<GpxRawPoints::Point> point;
            if (layer != nullptr && !rawLost_) {
                point = raw.next();
            }
            if (pending_) {
                if (point && pending_->GetFID() > rawIndex_) {
                    ++rawIndex_;
                    skipped(*point, row);
                    return true;
                }
                if (point && pending_->GetFID() != rawIndex_) {
                    rawLost_ = true;
                    point.reset();
                }
                ++rawIndex_;
                const OGRFeatureUniquePtr f = std::move(pending_);
                fill(*f, point, row);
                return true;
            }
            if (point) {  // points after the last one OGR read
                skipped(*point, row);
                return true;
            }
            if (onTracks_) {
                return false;
            }
            onTracks_ = true;
            layerDone_ = false;
            rawIndex_ = 0;
        }
    }

    QString rowName(qint64 line) const override { return QStringLiteral("point %1").arg(line); }

    QString failure() const override { return failure_; }
    double progress() const override {
        return total_ > 0 ? std::min(1.0, static_cast<double>(number_) / total_) : 0.0;
    }

private:
    static bool hasTime(OGRLayer* layer) {
        return layer != nullptr && layer->GetLayerDefn()->GetFieldIndex("time") >= 0 &&
               layer->GetFeatureCount() > 0;
    }

    // A point that OGR passed over: its attributes say why.
    void skipped(const GpxRawPoints::Point& point, PositionRow& row) {
        row.line = ++number_;
        row.id = QByteArray::number(row.line);
        row.vessel.clear();
        row.time.clear();
        double lon = 0, lat = 0;
        row.problem = gpxPointProblem(point, &lon, &lat);
        if (row.problem.isEmpty()) {
            row.problem = QStringLiteral("it has no position");
        }
    }

    void fill(OGRFeature& f, const std::optional<GpxRawPoints::Point>& point, PositionRow& row) {
        row.line = ++number_;
        row.problem.clear();
        row.vessel.clear();
        row.time.clear();
        const OGRFeatureDefn* defn = f.GetDefnRef();
        const int nameField = defn->GetFieldIndex("name");
        QByteArray name;
        if (nameField >= 0 && f.IsFieldSetAndNotNull(nameField)) {
            name = QByteArray(f.GetFieldAsString(nameField)).trimmed();
        }
        row.id = name.isEmpty() ? QByteArray::number(row.line) : name;
        row.time = isoTime(f, defn->GetFieldIndex("time"));
        if (onTracks_) {
            const int track = defn->GetFieldIndex("track_fid");
            if (track >= 0) {
                const auto found = trackNames_.find(f.GetFieldAsInteger64(track));
                row.vessel = found != trackNames_.end()
                                 ? found->second
                                 : "Track " + QByteArray::number(f.GetFieldAsInteger64(track) + 1);
            }
        }
        if (point) {  // the attributes as written, read as a CSV file's are
            row.problem = gpxPointProblem(*point, &row.first, &row.second);
            return;
        }
        const OGRGeometry* g = f.GetGeometryRef();
        const OGRPoint* p =
            g != nullptr && wkbFlatten(g->getGeometryType()) == wkbPoint ? g->toPoint() : nullptr;
        if (p == nullptr || p->IsEmpty()) {
            row.problem = QStringLiteral("it has no position");
            return;
        }
        row.first = p->getX();
        row.second = p->getY();
        if (!std::isfinite(row.first) || !std::isfinite(row.second)) {
            row.problem = QStringLiteral("its position is not a number");
            return;
        }
        row.problem = degreesProblem(row.first, row.second, QStringLiteral("its lon"),
                                     QStringLiteral("its lat"));
    }

    std::unique_ptr<GDALDataset, DatasetCloser> dataset_;
    QString memoryFile_;
    QByteArray memory_;
    OGRLayer* waypoints_ = nullptr;
    OGRLayer* trackPoints_ = nullptr;
    std::map<GIntBig, QByteArray> trackNames_;
    std::unique_ptr<GpxRawPoints> rawWaypoints_, rawTrackPoints_;
    OGRFeatureUniquePtr pending_;  // read from OGR, not yet given
    qint64 rawIndex_ = 0;          // the layer's points given so far
    bool layerDone_ = false;
    bool rawLost_ = false;
    bool onTracks_ = false;
    qint64 number_ = 0;
    qint64 total_ = 0;
    QString failure_;
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
        auto gpx = std::make_unique<GpxPositionReader>();
        QString error;
        if (fromStdin) {
            error = gpx->open(QString(), where, device->readAll());
        } else {
            owned.reset();
            error = gpx->open(path, where, QByteArray());
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
    const QString s = QString::fromLatin1(trimmed(text));
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
