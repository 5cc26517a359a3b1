// The reader of positions from GPX files: waypoints, route points and track points through OGR,
// with the lat and lon attributes judged as written.
#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>

#include "common/EchoText.h"
#include "positions/PositionFields.h"
#include "store/GdalErrorCapture.h"

namespace pelagon::positions {

namespace {

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

// The lat and lon attributes of a GPX file's waypoints (wpt), route points (rtept) or track
// points (trkpt), as written,
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
        const std::optional<double> v = fields::coordinate(text->toUtf8());
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
        problem = fields::degreesProblem(*lon, *lat, QStringLiteral("its lon"),
                                         QStringLiteral("its lat"));
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
        // In the order a GPX file holds them: waypoints in gpx, route points in gpx and rte,
        // track points in gpx, trk and trkseg. A route, like a track, is one vessel's.
        struct Kind {
            const char* points;
            const char* lines;
            const char* element;
            int depth;
            const char* lineField;
            const char* unnamed;
        };
        const Kind kinds[] = {
            {"waypoints", nullptr, "wpt", 2, nullptr, nullptr},
            {"route_points", "routes", "rtept", 3, "route_fid", "Route "},
            {"track_points", "tracks", "trkpt", 4, "track_fid", "Track "},
        };
        GIntBig pointCount = 0;
        for (std::size_t k = 0; k < std::size(kinds); ++k) {
            Phase& phase = phases_[k];
            phase.layer = dataset_->GetLayerByName(kinds[k].points);
            const GIntBig count = phase.layer ? phase.layer->GetFeatureCount() : 0;
            pointCount += std::max<GIntBig>(count, 0);
            if (kinds[k].lines != nullptr) {
                phase.lineField = kinds[k].lineField;
                readLineNames(dataset_->GetLayerByName(kinds[k].lines), kinds[k].unnamed, phase);
                hasVessels_ = hasVessels_ || count > 0;
            }
            hasTimes_ = hasTimes_ || hasTime(phase.layer);
            phase.raw = std::make_unique<GpxRawPoints>(
                file, memory_, QString::fromLatin1(kinds[k].element), kinds[k].depth);
            if (phase.layer != nullptr) {
                phase.layer->ResetReading();
            }
        }
        if (errors.hasFailure()) {
            return QStringLiteral("%1 cannot be read as GPX: %2").arg(where_, errors.text());
        }
        if (pointCount <= 0) {
            return QStringLiteral("%1: the GPX file holds no waypoints, routes or tracks.")
                .arg(where_);
        }
        total_ = pointCount;
        return {};
    }

    bool next(PositionRow& row) override {
        for (;;) {
            if (phase_ >= phases_.size()) {
                return false;
            }
            OGRLayer* layer = phases_[phase_].layer;
            GpxRawPoints& raw = *phases_[phase_].raw;
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
            ++phase_;
            layerDone_ = false;
            rawLost_ = false;
            rawIndex_ = 0;
        }
    }

    QString rowName(qint64 line) const override { return QStringLiteral("point %1").arg(line); }

    QString failure() const override { return failure_; }
    double progress() const override {
        return total_ > 0 ? std::min(1.0, static_cast<double>(number_) / total_) : 0.0;
    }

private:
    struct Phase {
        OGRLayer* layer = nullptr;
        std::unique_ptr<GpxRawPoints> raw;
        const char* lineField = nullptr;  // the field naming the route or track of a point
        QByteArray unnamed;               // "Track ", "Route ": the name of one without a name
        std::map<GIntBig, QByteArray> names;
    };

    // The names of the routes or tracks, by their feature id; "Track 2" for one without.
    static void readLineNames(OGRLayer* lines, const char* unnamed, Phase& phase) {
        phase.unnamed = unnamed;
        if (lines == nullptr) {
            return;
        }
        const char* ignored[] = {"OGR_GEOMETRY", nullptr};
        lines->SetIgnoredFields(ignored);
        const int nameField = lines->GetLayerDefn()->GetFieldIndex("name");
        lines->ResetReading();
        while (OGRFeatureUniquePtr f{lines->GetNextFeature()}) {
            QByteArray name;
            if (nameField >= 0 && f->IsFieldSetAndNotNull(nameField)) {
                name = QByteArray(f->GetFieldAsString(nameField)).trimmed();
            }
            if (name.isEmpty()) {
                name = phase.unnamed + QByteArray::number(f->GetFID() + 1);
            }
            phase.names[f->GetFID()] = name;
        }
    }

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
        const Phase& phase = phases_[phase_];
        if (phase.lineField != nullptr) {
            const int line = defn->GetFieldIndex(phase.lineField);
            if (line >= 0) {
                const GIntBig fid = f.GetFieldAsInteger64(line);
                const auto found = phase.names.find(fid);
                row.vessel = found != phase.names.end()
                                 ? found->second
                                 : phase.unnamed + QByteArray::number(fid + 1);
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
        row.problem = fields::degreesProblem(row.first, row.second, QStringLiteral("its lon"),
                                             QStringLiteral("its lat"));
    }

    std::unique_ptr<GDALDataset, DatasetCloser> dataset_;
    QString memoryFile_;
    QByteArray memory_;
    std::array<Phase, 3> phases_;  // waypoints, route points, track points
    std::size_t phase_ = 0;        // the one being read
    OGRFeatureUniquePtr pending_;  // read from OGR, not yet given
    qint64 rawIndex_ = 0;          // the layer's points given so far
    bool layerDone_ = false;
    bool rawLost_ = false;
    qint64 number_ = 0;
    qint64 total_ = 0;
    QString failure_;
};

}  // namespace

std::unique_ptr<PositionReader> openGpxPositions(const QString& path, const QString& where,
                                                 const QByteArray& memory, QString& error) {
    auto gpx = std::make_unique<GpxPositionReader>();
    error = gpx->open(path, where, memory);
    if (!error.isEmpty()) {
        return nullptr;
    }
    return gpx;
}

}  // namespace pelagon::positions
