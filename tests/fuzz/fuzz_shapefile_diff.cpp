// Opening a layer from any .shp, .shx and .dbf, compared with shapelib's reading of the same
// files (support/ShapefileDiff.h): every feature the store keeps has the geometry and the
// attributes of the record and the row of its number, unless the program reported a problem
// for that record or for the file as a whole.
//
// The input, as for fuzz_shapefile: the sizes of the .shp and the .shx (32-bit little-endian
// each), then the three files' bytes one after the other (the .dbf takes what is left).
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "FuzzCheck.h"
#include "ShapefileInput.h"
#include "support/ShapefileDiff.h"

namespace {

std::unique_ptr<QTemporaryDir> diffFolder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    diffFolder = pelagon::fuzz::scratchFolder(QStringLiteral("pelagon-diff"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelagon::fuzz::ShapefileInput in;
    if (!pelagon::fuzz::ShapefileInput::split(data, size, in)) {
        return 0;
    }
    const QString base = diffFolder->filePath(QStringLiteral("layer"));
    in.write(base);
    const pelagon::test::DiffReport report =
        pelagon::test::compareWithShapelib(base, diffFolder->path());
    if (!report.findings.empty()) {
        std::fprintf(stderr, "%s\n", qPrintable(report.text()));
    }
    FUZZ_CHECK(report.findings.empty());
    return 0;
}
