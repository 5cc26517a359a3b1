#include "cli/HeadlessMap.h"

#include <QDir>
#include <QFileInfo>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/ReferenceCanvas.h"
#include "common/MessageSink.h"
#include "mapdef/MapDefinition.h"
#include "mapdef/ProjPars.h"
#include "render/MapLayer.h"

namespace pelagon::cli {

namespace {

// Message boxes of the viewer become lines on the error stream.
class ForwardingSink : public MessageSink {
public:
    explicit ForwardingSink(std::function<void(const QString&)> tell) : tell_(std::move(tell)) {}
    void information(const QString&, const QString& text) override { tell_(text); }
    void error(const QString&, const QString& text) override { tell_(text); }

private:
    std::function<void(const QString&)> tell_;
};

}  // namespace

HeadlessMap::HeadlessMap(CliContext& context)
    : context_(context),
      messages_(std::make_unique<ForwardingSink>([this](const QString& t) { tell(t); })) {}

HeadlessMap::~HeadlessMap() {
    if (!restoreFolder_.isEmpty()) {
        QDir::setCurrent(restoreFolder_);
    }
}

void HeadlessMap::tell(const QString& text) {
    problems.append(text);
    context_.error(text);
}

void HeadlessMap::open(const QString& path) {
    const QFileInfo info(path);
    definitionPath = info.absoluteFilePath();
    if (!info.isFile()) {
        throw InputError(QStringLiteral("The map definition %1 does not exist.")
                             .arg(QDir::toNativeSeparators(definitionPath)));
    }
    restoreFolder_ = QDir::currentPath();
    if (!QDir::setCurrent(info.absolutePath())) {
        throw InputError(QStringLiteral("The folder %1 cannot be opened.")
                             .arg(QDir::toNativeSeparators(info.absolutePath())));
    }
    BaseDir = QDir::currentPath() + QLatin1Char('/');

    const MapDefinition def = readMapDefinition(definitionPath);
    if (def.error) {
        throw InputError(QStringLiteral("The map definition cannot be read.\n") +
                         def.error->message());
    }
    if (def.LastLayer() < 0) {
        throw InputError(QStringLiteral("The map definition %1 lists no layers: the line after "
                                        "its header line (line 2) must describe the first layer.")
                             .arg(QDir::toNativeSeparators(definitionPath)));
    }
    LayerInfos = def.LayerInfos;
    longestName = def.longestName;
    if (def.unreadLines) {
        // Noted among the problems (info lists them), not told: the viewer says nothing either.
        problems.append(def.unreadLines->message(QDir::toNativeSeparators(definitionPath)));
    }
}

void HeadlessMap::loadLayers() {
    loaded_ = LoadLayers(LayerInfos, QDir::currentPath(), layerList_, *messages_, {});
    MapLayers = loaded_.MapLayers;
}

void HeadlessMap::readProjection() {
    const ProjParsResult result = ReadProjPars(QStringLiteral("ProjPars.alb"));
    projection = result.projection;
    if (!projection) {
        projectionProblem = result.error->message();
        tell(projectionProblem);
    }
}

void HeadlessMap::readPlaceLists() {
    sites = readSiteList();
    if (sites.error) {
        tell(QStringLiteral("The site list cannot be used.\n") + sites.error->message());
    }
    regions = readRegionList();
    if (regions.error) {
        tell(QStringLiteral("The region list cannot be used.\n") + regions.error->message());
    }
}

QStringList HeadlessMap::readFiles() const {
    QStringList files = {definitionPath, BaseDir + QStringLiteral("ProjPars.alb"),
                         BaseDir + siteListFileName(), BaseDir + regionListFileName()};
    const QDir shapefiles(BaseDir + QStringLiteral("Shapefiles"));
    for (const LayerInfo& r : LayerInfos) {
        const QFileInfo named(shapefiles.filePath(r.ShapeFile));
        QString base = named.fileName();
        if (base.endsWith(QStringLiteral(".shp"), Qt::CaseInsensitive)) {
            base.chop(4);
        }
        // Compared by hand, not as a name filter: a layer's name may hold * or [.
        const QDir folder = named.dir();
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
            if (name.startsWith(base + QLatin1Char('.'), Qt::CaseInsensitive)) {
                files.append(folder.filePath(name));
            }
        }
    }
    return files;
}

const AlbersProjection& HeadlessMap::requireProjection() const {
    if (!projection) {
        // The problem was told when the file was read.
        throw InputError(projectionProblem.isEmpty()
                             ? QStringLiteral("The projection parameters have not been read.")
                             : QString());
    }
    return *projection;
}

QSize HeadlessMap::defaultCanvasSize() const {
    QStringList names;
    for (const LayerInfo& r : LayerInfos) {
        names.append(r.LayerName);
    }
    return referenceCanvasSize(names);
}

double HeadlessMap::defaultQueryTolerance() const {
    return toleranceAtExtent(fullExtent(), defaultCanvasSize());
}

}  // namespace pelagon::cli
