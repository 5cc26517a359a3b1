#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "render/MapSnapshot.h"
#include "tracks/AreaVisits.h"

namespace pelagon {

class FeatureStore;
class MapLayer;
class Viewport;
struct PositionSet;

// Up to five classes of hours: class k holds the hours above upper[k - 1] (0 for the first) up
// to upper[k]. The breaks are the quintiles of the areas' hours (nearest rank) rounded to two
// significant digits, the last rounded up so that it holds the most hours; a break that would
// leave a class empty (equal quintiles, or rounding past the hours) is left out, so skewed hours
// give fewer classes.
struct ShadeClasses {
    std::vector<double> upper;

    // The class of an area's hours; -1 for none (0 hours, or no classes).
    int classOf(double hours) const;
    // "0.5–2 h".
    QString label(int k) const;
    // The fill of class k: a sequential scale, pale to dark, spread over the classes there are.
    QColor colour(int k) const;
};
ShadeClasses shadeClasses(std::span<const double> hours);

// What to shade: one layer of areas (a PositionQuery column), optionally only segments within a
// speed range, over the whole file or one UTC day or month.
struct ShadeRequest {
    int column = -1;
    tracks::HoursOptions hours;  // by: Whole, or the kind of period of periodStartMs
    qint64 periodStartMs = 0;
    QString periodText;  // "2024-05-01", "2024-05"; empty for the whole file
};

// The hours of every vessel added up per area of the chosen layer: what pelagon-cli hours writes
// for the same options, summed over the vessels.
struct AreaShade {
    QString layerName;
    int record = -1;     // the layer's place in the map's layers (and the legend's rows)
    QString fileName;    // the positions file's name
    QString periodText;  // empty for the whole file
    QString speedText;   // "1–20 kn" (a no-break space before the unit); empty for every speed
    std::shared_ptr<const FeatureStore> store;  // the layer's areas
    struct Area {
        std::int32_t feature = 0;
        QString text;  // the area as the tables name it
        double hours = 0;
    };
    std::vector<Area> areas;  // those with hours, by feature
    ShadeClasses classes;
    // What was asked for: "2024-05, 1–20 kn", "whole file, every speed".
    QString choice() const;
    // What the shading shows, for its legend: "Hours of tracks.csv, 2024-05, 1–20 kn".
    QString caption() const;
};

// Follows the file's tracks through the areas (src/tracks, as the command line does). Runs on
// any thread; the layers must stay loaded meanwhile. Null when the column is not a layer of
// areas.
std::shared_ptr<const AreaShade> computeAreaShade(
    const PositionSet& set, const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
    const ShadeRequest& request);

// The areas of one shading filled by class, half transparent, as part of their layer: drawn on
// the renderer's threads over the layer's own features and beneath the layers above it.
class ShadeFill : public LayerOverdraw {
public:
    explicit ShadeFill(std::shared_ptr<const AreaShade> shade) : shade_(std::move(shade)) {}

    bool draw(QPainter& painter, const Viewport& viewport, const QRectF& clip,
              const std::atomic<bool>* cancel) const override;

    // The class's fill as drawn, transparency included (the legend's swatches).
    static QColor fill(const ShadeClasses& classes, int k);

private:
    std::shared_ptr<const AreaShade> shade_;
};

// The classes' legend in a box in the lower right corner of a surface (the layer's name, the
// caption, then a swatch and "0.5–2 h" per class): for saved views, which hold the map without
// the legend window. Returns where it drew the box.
QRectF paintShadeLegend(QPainter& painter, const QSizeF& surface, const AreaShade& shade);

}  // namespace pelagon
