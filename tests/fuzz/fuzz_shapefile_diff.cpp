// Opening a layer from any .shp, .shx and .dbf, compared with shapelib's reading of the same
// files (support/ShapefileDiff.h): every feature the store keeps has the geometry and the
// attributes of the record and the row of its number, unless the program reported a problem
// for that record or for the file as a whole.
//
// The input, as for fuzz_shapefile: the sizes of the .shp and the .shx (32-bit little-endian
// each), then the three files' bytes one after the other (the .dbf takes what is left).
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "FuzzCheck.h"
#include "support/ShapefileDiff.h"

namespace {

std::unique_ptr<QTemporaryDir> diffFolder;

void writeLayerFile(const QString& path, const char* data, qsizetype size) {
    QFile f(path);
    FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(f.write(data, size) == size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const QString shm = QStringLiteral("/dev/shm");
    diffFolder = std::make_unique<QTemporaryDir>(
        QFileInfo(shm).isWritable() ? shm + QStringLiteral("/pelagon-diff-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/pelagon-diff-XXXXXX"));
    FUZZ_CHECK(diffFolder->isValid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) {
        return 0;
    }
    const std::size_t shpSize = std::min<std::size_t>(qFromLittleEndian<quint32>(data), size - 8);
    const std::size_t shxSize =
        std::min<std::size_t>(qFromLittleEndian<quint32>(data + 4), size - 8 - shpSize);
    const char* shp = reinterpret_cast<const char*>(data) + 8;
    const char* shx = shp + shpSize;
    const char* dbf = shx + shxSize;
    const std::size_t dbfSize = size - 8 - shpSize - shxSize;

    const QString base = diffFolder->filePath(QStringLiteral("layer"));
    writeLayerFile(base + QStringLiteral(".shp"), shp, static_cast<qsizetype>(shpSize));
    writeLayerFile(base + QStringLiteral(".shx"), shx, static_cast<qsizetype>(shxSize));
    writeLayerFile(base + QStringLiteral(".dbf"), dbf, static_cast<qsizetype>(dbfSize));
    const pelagon::test::DiffReport report =
        pelagon::test::compareWithShapelib(base, diffFolder->path());
    if (!report.findings.empty()) {
        std::fprintf(stderr, "%s\n", qPrintable(report.text()));
    }
    FUZZ_CHECK(report.findings.empty());
    return 0;
}
