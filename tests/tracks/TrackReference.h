#pragma once

// The visits of a track worked out independently of the walker: each segment's line intersected
// with the area by GEOS (through OGR), the pieces joined along the track.
#include <ogr_geometry.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "tracks/AreaVisits.h"

namespace pelagon::test {

struct RefPosition {
    double x;
    double y;
    qint64 ms;
};

struct RefVisit {
    double enterMs;
    double exitMs;
    MapPoint enter;
    MapPoint exit;
    qint64 positions;
    tracks::EnterKind enterKind;
    tracks::ExitKind exitKind;
};

// track in time order; area a polygon; gaps longer than maxGapMs cut the track.
inline std::vector<RefVisit> referenceVisits(const std::vector<RefPosition>& track,
                                             const OGRGeometry& area, double maxGapMs) {
    constexpr double kEps = 1e-9;
    std::vector<RefVisit> out;
    auto inside = [&](const RefPosition& p) {
        OGRPoint point(p.x, p.y);
        return area.Intersects(&point);
    };
    std::size_t s = 0;
    while (s < track.size()) {
        std::size_t e = s;
        while (e + 1 < track.size() &&
               static_cast<double>(track[e + 1].ms - track[e].ms) <= maxGapMs) {
            ++e;
        }
        const bool first = s == 0, last = e + 1 == track.size();
        // Intervals of the global parameter u (position k at u = k) inside the area.
        std::vector<std::pair<double, double>> parts;
        if (s == e && inside(track[s])) {
            parts.push_back({static_cast<double>(s), static_cast<double>(s)});
        }
        for (std::size_t i = s; i < e; ++i) {
            const RefPosition& a = track[i];
            const RefPosition& b = track[i + 1];
            const double dx = b.x - a.x, dy = b.y - a.y;
            const double len2 = dx * dx + dy * dy;
            if (len2 == 0) {
                if (inside(a)) {
                    parts.push_back({static_cast<double>(i), static_cast<double>(i + 1)});
                }
                continue;
            }
            OGRLineString line;
            line.addPoint(a.x, a.y);
            line.addPoint(b.x, b.y);
            std::unique_ptr<OGRGeometry> cut(area.Intersection(&line));
            if (!cut) {
                continue;
            }
            auto along = [&](double px, double py) {
                return std::clamp(((px - a.x) * dx + (py - a.y) * dy) / len2, 0.0, 1.0);
            };
            auto addPiece = [&](const OGRGeometry* g) {
                if (g->IsEmpty()) {
                    return;
                }
                if (const auto* p = dynamic_cast<const OGRPoint*>(g)) {
                    const double t = along(p->getX(), p->getY());
                    parts.push_back({static_cast<double>(i) + t, static_cast<double>(i) + t});
                } else if (const auto* l = dynamic_cast<const OGRLineString*>(g)) {
                    const double t0 = along(l->getX(0), l->getY(0));
                    const double t1 =
                        along(l->getX(l->getNumPoints() - 1), l->getY(l->getNumPoints() - 1));
                    parts.push_back({static_cast<double>(i) + std::min(t0, t1),
                                     static_cast<double>(i) + std::max(t0, t1)});
                }
            };
            if (const auto* c = dynamic_cast<const OGRGeometryCollection*>(cut.get())) {
                for (int k = 0; k < c->getNumGeometries(); ++k) {
                    addPiece(c->getGeometryRef(k));
                }
            } else {
                addPiece(cut.get());
            }
        }
        std::sort(parts.begin(), parts.end());
        std::vector<std::pair<double, double>> merged;
        for (const auto& p : parts) {
            if (!merged.empty() && p.first <= merged.back().second + kEps) {
                merged.back().second = std::max(merged.back().second, p.second);
            } else {
                merged.push_back(p);
            }
        }
        auto at = [&](double u, double& ms) {
            const auto i = std::min(static_cast<std::size_t>(std::floor(u + kEps)), e);
            const double t = std::max(0.0, u - static_cast<double>(i));
            const RefPosition& a = track[i];
            const RefPosition& b = track[std::min(i + 1, e)];
            ms = static_cast<double>(a.ms) + t * static_cast<double>(b.ms - a.ms);
            return MapPoint{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        };
        for (const auto& [u0, u1] : merged) {
            if (u1 - u0 < kEps && s != e) {
                continue;  // a single instant of contact
            }
            RefVisit v;
            v.enter = at(u0, v.enterMs);
            v.exit = at(u1, v.exitMs);
            v.positions = 0;
            for (std::size_t k = s; k <= e; ++k) {
                const auto u = static_cast<double>(k);
                v.positions += u >= u0 - kEps && u <= u1 + kEps ? 1 : 0;
            }
            const bool atStart = u0 < static_cast<double>(s) + kEps;
            const bool atEnd = u1 > static_cast<double>(e) - kEps;
            v.enterKind = !atStart ? tracks::EnterKind::Crossing
                          : first  ? tracks::EnterKind::First
                                   : tracks::EnterKind::AfterGap;
            v.exitKind = !atEnd ? tracks::ExitKind::Crossing
                         : last ? tracks::ExitKind::Last
                                : tracks::ExitKind::BeforeGap;
            out.push_back(v);
        }
        s = e + 1;
    }
    return out;
}

// Positions of the track inside the area, boundary included.
inline qint64 referencePositionsInside(const std::vector<RefPosition>& track,
                                       const OGRGeometry& area) {
    qint64 n = 0;
    for (const RefPosition& p : track) {
        OGRPoint point(p.x, p.y);
        n += area.Intersects(&point) ? 1 : 0;
    }
    return n;
}

}  // namespace pelagon::test
