// The site and region list readers on any bytes: either every row or an error naming a line,
// names and rectangles paired, every number finite.
#include <QByteArray>
#include <QStringList>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "common/TextFile.h"
#include "mapdef/PlaceList.h"

namespace {

void checkList(const pelagon::PlaceList& list, qsizetype lines) {
    FUZZ_CHECK(list.names.size() == list.extents.size());
    if (list.error) {
        FUZZ_CHECK(list.names.isEmpty());
        FUZZ_CHECK(list.error->line >= 0 && list.error->line <= lines + 1);
        FUZZ_CHECK(!list.error->message().isEmpty());
        return;
    }
    FUZZ_CHECK(list.size() <= lines);
    for (const pelagon::MapRect& r : list.extents) {
        FUZZ_CHECK(std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.bottom) &&
                   std::isfinite(r.top));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = pelagon::splitLines(pelagon::decodeText(bytes));
    checkList(pelagon::parseSiteList(lines, QStringLiteral("SSL_Locs.csv")), lines.size());
    checkList(pelagon::parseRegionList(lines, QStringLiteral("Regions.csv")), lines.size());
    for (const QString& line : lines) {
        if (const auto v = pelagon::parsePlaceNumber(line)) {
            FUZZ_CHECK(std::isfinite(*v));
        }
    }
    return 0;
}
