#include "BenchData.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace pelagon::bench {

namespace {

constexpr int kManifestVersion = 1;

QByteArray readAll(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly)) {
        throw BenchDataError(path.string() + ": cannot be read (" +
                             file.errorString().toStdString() + "); run bench/make-data");
    }
    return file.readAll();
}

int lineAt(const QByteArray& text, int offset) {
    return 1 + static_cast<int>(text.left(offset).count('\n'));
}

// Reads the manifest's fields and names the file and the field when one is missing or of the
// wrong kind, so a damaged or outdated manifest says what to fix.
class ManifestReader {
public:
    explicit ManifestReader(std::filesystem::path path) : path_(std::move(path)) {}

    [[noreturn]] void fail(const std::string& field, const std::string& problem) const {
        throw BenchDataError(path_.string() + ": '" + field + "' " + problem);
    }

    QJsonValue member(const QJsonObject& object, const std::string& where, const char* name) const {
        const QJsonValue value = object.value(QLatin1String(name));
        if (value.isUndefined()) {
            fail(where + name, "is missing");
        }
        return value;
    }

    QJsonObject object(const QJsonObject& parent, const std::string& where,
                       const char* name) const {
        const QJsonValue value = member(parent, where, name);
        if (!value.isObject()) {
            fail(where + name, "is not an object");
        }
        return value.toObject();
    }

    QJsonArray array(const QJsonObject& parent, const std::string& where, const char* name) const {
        const QJsonValue value = member(parent, where, name);
        if (!value.isArray()) {
            fail(where + name, "is not a list");
        }
        return value.toArray();
    }

    double number(const QJsonObject& parent, const std::string& where, const char* name) const {
        const QJsonValue value = member(parent, where, name);
        if (!value.isDouble()) {
            fail(where + name, "is not a number");
        }
        return value.toDouble();
    }

    std::int64_t count(const QJsonObject& parent, const std::string& where,
                       const char* name) const {
        const double value = number(parent, where, name);
        if (value < 0 || value != static_cast<double>(static_cast<std::int64_t>(value))) {
            fail(where + name, "is not a whole number of zero or more");
        }
        return static_cast<std::int64_t>(value);
    }

    std::string text(const QJsonObject& parent, const std::string& where, const char* name) const {
        const QJsonValue value = member(parent, where, name);
        if (!value.isString()) {
            fail(where + name, "is not a text");
        }
        return value.toString().toStdString();
    }

    bool flag(const QJsonObject& parent, const std::string& where, const char* name) const {
        const QJsonValue value = member(parent, where, name);
        if (!value.isBool()) {
            fail(where + name, "is not true or false");
        }
        return value.toBool();
    }

    Extent extent(const QJsonObject& parent, const std::string& where, const char* name) const {
        const QJsonArray values = array(parent, where, name);
        if (values.size() != 4) {
            fail(where + name, "does not hold four numbers");
        }
        for (const QJsonValue& v : values) {
            if (!v.isDouble()) {
                fail(where + name, "does not hold four numbers");
            }
        }
        Extent e{values[0].toDouble(), values[1].toDouble(), values[2].toDouble(),
                 values[3].toDouble()};
        if (!(e.minX < e.maxX && e.minY < e.maxY)) {
            fail(where + name, "is not a rectangle with minimum below maximum");
        }
        return e;
    }

    View view(const QJsonObject& views, const char* name) const {
        const std::string where = std::string("views.") + name + ".";
        const QJsonObject v = object(views, "views.", name);
        return View{extent(v, where, "extent"), count(v, where, "vertices_inside")};
    }

    LayerData layer(const QJsonObject& l, const std::string& where,
                    const std::filesystem::path& folder) const {
        LayerData data;
        data.name = text(l, where, "name");
        data.path = folder / text(l, where, "path");
        data.features = count(l, where, "features");
        data.rings = count(l, where, "rings");
        data.vertices = count(l, where, "vertices");
        data.extent = extent(l, where, "extent");
        return data;
    }

private:
    std::filesystem::path path_;
};

}  // namespace

std::filesystem::path BenchData::defaultFolder() {
    if (const char* explicitFolder = std::getenv("PELAGON_BENCH_DATA");
        explicitFolder != nullptr && *explicitFolder != '\0') {
        return explicitFolder;
    }
    std::filesystem::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0') {
        cache = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        cache = std::filesystem::path(home) / ".cache";
    } else {
        throw BenchDataError(
            "no data folder: set PELAGON_BENCH_DATA, XDG_CACHE_HOME or HOME to find the data");
    }
    return cache / "pelagon" / "bench";
}

BenchData BenchData::load(const std::filesystem::path& folder) {
    const std::filesystem::path path = folder / "manifest.json";
    const QByteArray text = readAll(path);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        throw BenchDataError(path.string() + ", line " +
                             std::to_string(lineAt(text, parseError.offset)) + ": " +
                             parseError.errorString().toStdString());
    }
    if (!document.isObject()) {
        throw BenchDataError(path.string() + ": does not hold a JSON object");
    }
    const ManifestReader reader(path);
    const QJsonObject root = document.object();
    const std::int64_t version = reader.count(root, "", "version");
    if (version != kManifestVersion) {
        throw BenchDataError(path.string() + ": version " + std::to_string(version) +
                             ", expected " + std::to_string(kManifestVersion) +
                             "; run bench/make-data --force");
    }

    BenchData data;
    data.folder_ = folder;
    const QJsonObject frame = reader.object(root, "", "frame");
    data.frameWidth_ = static_cast<int>(reader.count(frame, "frame.", "width"));
    data.frameHeight_ = static_cast<int>(reader.count(frame, "frame.", "height"));
    if (data.frameWidth_ == 0 || data.frameHeight_ == 0) {
        reader.fail("frame", "has no area");
    }

    const QJsonObject style = reader.object(root, "", "style");
    data.style_.fill = reader.text(style, "style.", "fill");
    data.style_.outline = reader.text(style, "style.", "outline");
    data.style_.outlinePixels = reader.number(style, "style.", "outline_px");
    data.style_.background = reader.text(style, "style.", "background");
    data.style_.antialiased = reader.flag(style, "style.", "antialiased");

    data.coastline_ = reader.layer(reader.object(root, "", "coastline"), "coastline.", folder);
    const QJsonArray grids = reader.array(root, "", "grids");
    for (qsizetype i = 0; i < grids.size(); ++i) {
        const std::string where = "grids[" + std::to_string(i) + "].";
        if (!grids[i].isObject()) {
            reader.fail("grids[" + std::to_string(i) + "]", "is not an object");
        }
        data.grids_.push_back(reader.layer(grids[i].toObject(), where, folder));
    }

    const QJsonObject views = reader.object(root, "", "views");
    data.fullView_ = reader.view(views, "full");
    data.zoomView_ = reader.view(views, "zoom");
    data.panView_ = reader.view(views, "pan");
    data.densestView_ = reader.view(views, "densest");

    const QJsonObject points = reader.object(root, "", "search_points");
    data.searchPoints_ = readSearchPoints(folder / reader.text(points, "search_points.", "path"));
    const std::int64_t expected = reader.count(points, "search_points.", "count");
    if (static_cast<std::int64_t>(data.searchPoints_.size()) != expected) {
        reader.fail("search_points.count", "says " + std::to_string(expected) +
                                               " but the file holds " +
                                               std::to_string(data.searchPoints_.size()));
    }
    return data;
}

std::vector<LayerData> BenchData::searchLayers() const {
    std::vector<LayerData> layers;
    layers.reserve(grids_.size() + 1);
    layers.push_back(coastline_);
    layers.insert(layers.end(), grids_.begin(), grids_.end());
    return layers;
}

namespace {

bool parseNumber(std::string_view text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::vector<SearchPoint> readSearchPoints(const std::filesystem::path& path) {
    std::ifstream in(path);
    if (!in) {
        throw BenchDataError(path.string() + ": cannot be read; run bench/make-data");
    }
    std::vector<SearchPoint> points;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (number == 1) {
            if (line != "x,y") {
                throw BenchDataError(path.string() +
                                     ", line 1: expected the header 'x,y', found '" + line + "'");
            }
            continue;
        }
        if (line.empty()) {
            continue;
        }
        const std::string::size_type comma = line.find(',');
        SearchPoint point;
        if (comma == std::string::npos ||
            !parseNumber(std::string_view(line).substr(0, comma), point.x) ||
            !parseNumber(std::string_view(line).substr(comma + 1), point.y)) {
            throw BenchDataError(path.string() + ", line " + std::to_string(number) +
                                 ": expected two numbers 'x,y', found '" + line + "'");
        }
        points.push_back(point);
    }
    if (number == 0) {
        throw BenchDataError(path.string() + ": is empty; expected the header 'x,y'");
    }
    return points;
}

}  // namespace pelagon::bench
