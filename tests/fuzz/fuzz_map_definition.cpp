// The map definition reader on any bytes: records stay consistent with the lines they came from,
// errors name a line of the file, and splitting at commas loses nothing.
#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "common/TextFile.h"
#include "mapdef/MapDefinition.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = pelagon::splitLines(pelagon::decodeText(bytes));
    const pelagon::MapDefinition def = pelagon::parseMapDefinition(lines, QStringLiteral("f.mv"));

    FUZZ_CHECK(def.LayerInfos.size() <= std::max<qsizetype>(lines.size() - 1, 0));
    FUZZ_CHECK(def.LastLayer() == static_cast<int>(def.LayerInfos.size()) - 1);
    int longest = 0;
    for (const pelagon::LayerInfo& r : def.LayerInfos) {
        longest = std::max(longest, static_cast<int>(r.LayerName.size()));
        FUZZ_CHECK(r.Visible == pelagon::kTrue || r.Visible == pelagon::kFalse);
        FUZZ_CHECK(r.SymbolColor >= 0 && r.SymbolColor <= 0xffffff);
        FUZZ_CHECK(r.BorderColor >= 0 && r.BorderColor <= 0xffffff);
    }
    FUZZ_CHECK(def.longestName == longest);
    if (def.error) {
        FUZZ_CHECK(def.error->line >= 2 && def.error->line <= lines.size());
        FUZZ_CHECK(def.error->line == def.LastLayer() + 3);
        FUZZ_CHECK(!def.error->message().isEmpty());
        FUZZ_CHECK(!def.unreadLines);
    }
    if (def.unreadLines) {
        FUZZ_CHECK(def.unreadLines->blankLine == def.LastLayer() + 3);
        FUZZ_CHECK(def.unreadLines->first > def.unreadLines->blankLine);
        FUZZ_CHECK(def.unreadLines->last >= def.unreadLines->first);
        FUZZ_CHECK(def.unreadLines->last <= lines.size());
        FUZZ_CHECK(!lines[def.unreadLines->last - 1].trimmed().isEmpty());
    }
    for (const QString& line : lines) {
        const QStringList pieces = pelagon::splitString(line, QStringLiteral(","));
        FUZZ_CHECK(pieces.join(QLatin1Char(',')) == line);
        FUZZ_CHECK(pieces.size() == line.count(QLatin1Char(',')) + 1);
        const qint32 rgb = pelagon::getRGB(line);
        FUZZ_CHECK(rgb >= 0 && rgb <= 0xffffff);
    }
    return 0;
}
