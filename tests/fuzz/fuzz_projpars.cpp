// The projection parameter reader on any bytes: either a usable projection or an error naming
// the line; conversions with whatever it accepts end and give finite positions or none.
#include <QByteArray>
#include <QStringList>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "common/TextFile.h"
#include "mapdef/ProjPars.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = pelagon::splitLines(pelagon::decodeText(bytes));
    const pelagon::ProjParsResult r = pelagon::parseProjPars(lines, QStringLiteral("ProjPars.alb"));
    FUZZ_CHECK(r.projection.has_value() != r.error.has_value());
    for (const QString& line : lines) {
        const pelagon::LeadingNumber n = pelagon::scanLeadingNumber(line);
        FUZZ_CHECK(n.found || n.value == 0.0);
        FUZZ_CHECK(n.value == pelagon::readLeadingNumber(line));
    }
    if (r.error) {
        FUZZ_CHECK(r.error->line >= 0 && r.error->line <= 4);
        FUZZ_CHECK(r.error->message().startsWith(
            QStringLiteral("Missing parameters in 'ProjPars.alb'\n\nProjPars.alb")));
        return 0;
    }
    const pelagon::AlbersProjection& p = *r.projection;
    FUZZ_CHECK(std::abs(p.CentralLon) <= 360 && std::abs(p.OriginLat) <= 90);
    FUZZ_CHECK(std::abs(p.StdParallel1) <= 90 && std::abs(p.StdParallel2) <= 90);
    FUZZ_CHECK(std::isfinite(p.ConeN) && std::isfinite(p.ConeC) && std::isfinite(p.Rho0));
    const double points[][2] = {{0, 0}, {1e5, 2e5}, {-2.2e6, 6e5}, {0, p.Rho0}, {3e7, -3e7}};
    for (const auto& xy : points) {
        double lon = 0, lat = 0;
        if (p.AlbersToLatLong(xy[0], xy[1], lon, lat)) {
            FUZZ_CHECK(std::isfinite(lon) && std::isfinite(lat));
            double x = 0, y = 0;
            if (p.LatLongToAlbers(lon, lat, x, y)) {
                FUZZ_CHECK(std::isfinite(x) && std::isfinite(y));
            }
        }
    }
    return 0;
}
