#pragma once

// What the shapefile harnesses share: their input, the sizes of the .shp and the .shx (32-bit
// little-endian each) and then the three files' bytes one after the other (the .dbf takes what
// is left), and the folder the files are written to for the readers that open files.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "FuzzCheck.h"

namespace pelagon::fuzz {

struct ShapefileInput {
    std::span<const char> shp, shx, dbf;

    // The three files of an input; false for one too short to hold the two sizes.
    static bool split(const std::uint8_t* data, std::size_t size, ShapefileInput& out) {
        if (size < 8) {
            return false;
        }
        const std::size_t shpSize =
            std::min<std::size_t>(qFromLittleEndian<quint32>(data), size - 8);
        const std::size_t shxSize =
            std::min<std::size_t>(qFromLittleEndian<quint32>(data + 4), size - 8 - shpSize);
        const char* shp = reinterpret_cast<const char*>(data) + 8;
        out.shp = {shp, shpSize};
        out.shx = {shp + shpSize, shxSize};
        out.dbf = {shp + shpSize + shxSize, size - 8 - shpSize - shxSize};
        return true;
    }

    // Writes base.shp, base.shx and base.dbf.
    void write(const QString& base) const {
        for (const auto& [suffix, bytes] : {std::pair{".shp", shp}, std::pair{".shx", shx},
                                            std::pair{".dbf", dbf}}) {
            QFile f(base + QLatin1String(suffix));
            FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            FUZZ_CHECK(f.write(bytes.data(), static_cast<qsizetype>(bytes.size())) ==
                       static_cast<qsizetype>(bytes.size()));
        }
    }
};

// A scratch folder for the files of one input after another: memory-backed when the system has
// it, every input being three files.
inline std::unique_ptr<QTemporaryDir> scratchFolder(const QString& name) {
    const QString shm = QStringLiteral("/dev/shm");
    auto folder = std::make_unique<QTemporaryDir>(
        (QFileInfo(shm).isWritable() ? shm : QDir::tempPath()) + QLatin1Char('/') + name +
        QStringLiteral("-XXXXXX"));
    FUZZ_CHECK(folder->isValid());
    return folder;
}

}  // namespace pelagon::fuzz
