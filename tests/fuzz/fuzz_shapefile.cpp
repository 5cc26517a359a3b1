// Opening a layer from any .shp, .shx and .dbf: the store holds what could be read soundly, with
// every vertex inside the box of the .shp header, and counts the rest; nothing crashes or hangs.
//
// The input: the sizes of the .shp and the .shx (32-bit little-endian each), then the three
// files' bytes one after the other (the .dbf takes what is left).
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzCheck.h"
#include "ShapefileInput.h"
#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"

namespace {

std::unique_ptr<QTemporaryDir> folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder = pelagon::fuzz::scratchFolder(QStringLiteral("pelagon-fuzz"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelagon::fuzz::ShapefileInput in;
    if (!pelagon::fuzz::ShapefileInput::split(data, size, in)) {
        return 0;
    }

    // The check alone, on the bytes.
    const pelagon::ShapefileCheck check = pelagon::checkShapefileBytes(
        std::as_bytes(in.shp), std::as_bytes(in.shx), std::as_bytes(in.dbf),
        static_cast<std::int64_t>(in.dbf.size()), QStringLiteral("layer"));
    FUZZ_CHECK(check.badCount() <= check.records);
    FUZZ_CHECK(static_cast<std::int64_t>(check.bad.size()) == check.records);
    FUZZ_CHECK(check.problems.size() <= pelagon::ShapefileCheck::kKeptProblems);
    FUZZ_CHECK(check.problemCount >= static_cast<std::int64_t>(check.problems.size()));

    const QString base = folder->filePath(QStringLiteral("layer"));
    in.write(base);
    const pelagon::StoreOpenResult r = pelagon::FeatureStore::open(base + QStringLiteral(".shp"));
    FUZZ_CHECK((r.store != nullptr) == (r.error.kind == pelagon::StoreError::Kind::None));
    if (!r.store) {
        FUZZ_CHECK(!r.error.message.isEmpty());
        return 0;
    }
    const pelagon::FeatureStore& s = *r.store;
    const pelagon::StoreDamage& d = s.damage();
    FUZZ_CHECK(s.featureCount() > 0);
    FUZZ_CHECK(d.leftOut >= 0 && d.leftOut <= d.records);
    FUZZ_CHECK(d.any() == !d.firstProblem.isEmpty());
    const pelagon::MapRect e = s.extent();
    FUZZ_CHECK(std::isfinite(e.left) && std::isfinite(e.right) && std::isfinite(e.bottom) &&
               std::isfinite(e.top) && e.left <= e.right && e.bottom <= e.top);
    if (check.box) {
        // Every vertex lies in the header's box, give or take the writer's rounding; unless no
        // record lies in it, when the box is wrong and is ignored.
        const auto& b = *check.box;
        const double scale = std::max({std::abs(b[0]), std::abs(b[1]), std::abs(b[2]),
                                       std::abs(b[3]), b[2] - b[0], b[3] - b[1]});
        auto inBox = [&](const pelagon::MapRect& r, double slack) {
            return r.left >= b[0] - slack && r.right <= b[2] + slack && r.bottom >= b[1] - slack &&
                   r.top <= b[3] + slack;
        };
        // Loose: the reader's margin and the grid's rounding; tight: less than the reader's.
        if (!inBox(e, scale * 1e-6 + 2 * s.frame().step)) {
            for (pelagon::FeatureId f = 0; f < s.featureCount(); ++f) {
                FUZZ_CHECK(!inBox(s.featureBounds(f), scale * 1e-6 - s.frame().step));
            }
        }
    }
    // What a frame and a query touch: boxes, searches, anchors, simplified rings, attributes.
    const pelagon::GridBox& all = s.gridExtent();
    for (pelagon::FeatureId f = 0; f < std::min<std::size_t>(s.featureCount(), 64); ++f) {
        const pelagon::GridBox& fb = s.featureBox(f);
        FUZZ_CHECK(fb.minX >= all.minX && fb.maxX <= all.maxX && fb.minY >= all.minY &&
                   fb.maxY <= all.maxY);
        (void)s.anchorGrid(f);
        (void)s.attributeText(f, 0);
    }
    const pelagon::MapPoint centre{(e.left + e.right) / 2, (e.bottom + e.top) / 2};
    for (pelagon::FeatureId f : s.searchPoint(centre, (e.right - e.left) / 100 + 1)) {
        FUZZ_CHECK(f < s.featureCount());
    }
    (void)s.detailFor(1 << 12);
    return 0;
}
