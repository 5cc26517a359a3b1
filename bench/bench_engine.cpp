// Our map engine on the benchmark data: opening the coastline, drawing frames of it through the
// renderer the viewer uses, searching 31 layers at a point as the Fish Tool does, and the memory a
// loaded layer holds. bench/run runs it with several repetitions and holds the medians against
// the peers (docs/performance.md).

#include <benchmark/benchmark.h>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BenchData.h"
#include "Percentile.h"
#include "ProcessMemory.h"
#include "SharedData.h"
#include "query/LayerQuery.h"
#include "render/MapLayer.h"
#include "render/MapRenderer.h"
#include "render/MapSnapshot.h"
#include "render/Symbology.h"
#include "render/Viewport.h"
#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"

namespace pelagon::bench {
namespace {

QString qPath(const LayerData& layer) {
    return QString::fromStdString(layer.path.string());
}

MapRect mapRect(const Extent& e) {
    return MapRect{e.minX, e.maxX, e.minY, e.maxY};
}

// A layer styled as every contender draws the coastline; empty with the reason on failure.
std::shared_ptr<MapLayer> openStyled(const BenchData& data, const LayerData& layer,
                                     std::string& error) {
    auto l = std::make_shared<MapLayer>();
    if (!l->setDataFile(qPath(layer))) {
        error = l->openError().message.toStdString();
        return nullptr;
    }
    const FillStyle& style = data.style();
    l->symbol().setColor(symbology::valueFromColor(QColor(QString::fromStdString(style.fill))));
    l->symbol().setOutlineColor(
        symbology::valueFromColor(QColor(QString::fromStdString(style.outline))));
    l->symbol().setStyle(style::Solid);
    return l;
}

// The coastline, loaded once for the frame benchmarks.
std::shared_ptr<MapLayer> coastlineOrSkip(benchmark::State& state, const BenchData& data) {
    static std::shared_ptr<MapLayer> layer;
    static std::string error;
    if (!layer && error.empty()) {
        layer = openStyled(data, data.coastline(), error);
    }
    if (!layer) {
        state.SkipWithError(error.c_str());
    }
    return layer;
}

MapSnapshot snapshotOf(const BenchData& data, const std::shared_ptr<MapLayer>& layer) {
    MapSnapshot snapshot = makeSnapshot({layer});
    snapshot.background = QColor(QString::fromStdString(data.style().background));
    return snapshot;
}

// One frame as the viewer's canvas draws it: a fresh painter on its image, the whole frame
// cleared to the background and every layer drawn, antialiased.
RenderStats drawFrame(QImage& image, const BenchData& data, const MapSnapshot& snapshot,
                      const Extent& view, int threads = 0, bool detailLevels = true) {
    QPainter painter(&image);
    RenderOptions options;
    options.threads = threads;
    options.detailLevels = detailLevels;
    options.antialias = data.style().antialiased;
    const Viewport viewport(QSizeF(image.size()), mapRect(view));
    return MapRenderer::render(painter, viewport, snapshot, options);
}

QImage frameImage(const BenchData& data) {
    return QImage(data.frameWidth(), data.frameHeight(), QImage::Format_ARGB32_Premultiplied);
}

void checkCounts(benchmark::State& state, const FeatureStore& store, const LayerData& layer) {
    // The data counts every stored point, closing points of rings included; the store keeps
    // polygon rings without them.
    std::int64_t rings = 0;
    for (FeatureId f = 0; f < store.featureCount(); ++f) {
        rings += store.endRing(f) - store.firstRing(f);
    }
    const auto features = static_cast<std::int64_t>(store.featureCount());
    const auto vertices = static_cast<std::int64_t>(store.vertexCount()) +
                          (store.kind() == GeometryKind::Polygons ? rings : 0);
    state.counters["features"] = static_cast<double>(features);
    state.counters["vertices"] = static_cast<double>(vertices);
    if (features != layer.features || vertices != layer.vertices) {
        const std::string why =
            layer.path.string() + ": the store holds " + std::to_string(features) +
            " features and " + std::to_string(vertices) + " vertices, the data " +
            std::to_string(layer.features) + " and " + std::to_string(layer.vertices);
        state.SkipWithError(why.c_str());
    }
}

// Opening the coastline; with options.crossCheck off the shapefile's files are not checked
// against each other (BM_EngineOpenUnchecked: what the check costs).
void openCoastline(benchmark::State& state, const StoreOpenOptions& options) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    std::shared_ptr<const FeatureStore> store;
    for (auto _ : state) {
        store.reset();
        StoreOpenResult opened = FeatureStore::open(qPath(data->coastline()), options);
        if (!opened.store) {
            state.SkipWithError(opened.error.message.toStdString().c_str());
            return;
        }
        store = std::move(opened.store);
        benchmark::DoNotOptimize(store.get());
    }
    checkCounts(state, *store, data->coastline());
}

// The cross-check of the coastline's three files alone (part of BM_EngineOpen).
void BM_EngineShapefileCheck(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    const QString shp = qPath(data->coastline());
    QString base = shp;
    base.chop(4);
    for (auto _ : state) {
        const ShapefileCheck check =
            checkShapefile(shp, base + QStringLiteral(".shx"), base + QStringLiteral(".dbf"));
        if (check.problemCount != 0) {
            state.SkipWithError("the coastline's files do not agree");
            return;
        }
        benchmark::DoNotOptimize(check.records);
    }
}
BENCHMARK(BM_EngineShapefileCheck)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_EngineOpen(benchmark::State& state) {
    openCoastline(state, StoreOpenOptions{});
}
BENCHMARK(BM_EngineOpen)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

void BM_EngineOpenUnchecked(benchmark::State& state) {
    openCoastline(state, StoreOpenOptions{false});
}
BENCHMARK(BM_EngineOpenUnchecked)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

// What the check costs, measured in one run: opens with and without the check take turns, so
// that both see the same machine, and the medians of each are reported with their ratio.
void BM_EngineOpenCheckCost(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    constexpr int kRounds = 31;
    std::vector<double> checked, unchecked;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            for (const bool check : {round % 2 == 0, round % 2 != 0}) {
                timespec start{}, end{};
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
                StoreOpenResult opened =
                    FeatureStore::open(qPath(data->coastline()), StoreOpenOptions{check});
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
                if (!opened.store) {
                    state.SkipWithError(opened.error.message.toStdString().c_str());
                    return;
                }
                if (check && opened.store->damage().any()) {
                    state.SkipWithError("the coastline's files do not agree");
                    return;
                }
                const double ms =
                    (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6;
                (check ? checked : unchecked).push_back(ms);
            }
        }
    }
    const double withCheck = percentile(checked, 0.5);
    const double withoutCheck = percentile(unchecked, 0.5);
    state.counters["checked_cpu_ms"] = withCheck;
    state.counters["unchecked_cpu_ms"] = withoutCheck;
    state.counters["check_cost_percent"] = 100.0 * (withCheck - withoutCheck) / withoutCheck;
}
BENCHMARK(BM_EngineOpenCheckCost)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void frameBenchmark(benchmark::State& state, const View& (BenchData::*view)() const,
                    int threads = 0, bool detailLevels = true) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    const std::shared_ptr<MapLayer> layer = coastlineOrSkip(state, *data);
    if (!layer) {
        return;
    }
    const MapSnapshot snapshot = snapshotOf(*data, layer);
    QImage image = frameImage(*data);
    RenderStats stats;
    for (auto _ : state) {
        stats = drawFrame(image, *data, snapshot, (data->*view)().extent, threads, detailLevels);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["features_drawn"] = static_cast<double>(stats.features);
    state.counters["vertices_drawn"] = static_cast<double>(stats.vertices);
}

void BM_EngineFullFrame(benchmark::State& state) {
    frameBenchmark(state, &BenchData::fullView);
}
BENCHMARK(BM_EngineFullFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The same frame on one thread: what the bands on several threads gain, and what a frame costs
// when the other cores are busy.
void BM_EngineFullFrameOneThread(benchmark::State& state) {
    frameBenchmark(state, &BenchData::fullView, 1);
}
BENCHMARK(BM_EngineFullFrameOneThread)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_EngineZoomFrame(benchmark::State& state) {
    frameBenchmark(state, &BenchData::zoomView);
}
BENCHMARK(BM_EngineZoomFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_EnginePanStep(benchmark::State& state) {
    frameBenchmark(state, &BenchData::panView);
}
BENCHMARK(BM_EnginePanStep)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_EngineZoomFrameDensest(benchmark::State& state) {
    frameBenchmark(state, &BenchData::densestView);
}
BENCHMARK(BM_EngineZoomFrameDensest)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The full-extent and the zoomed frame drawn from every stored vertex, as before the levels of
// detail: what the simplified rings buy at full extent, and how they change the ratio between
// the two frames.
void BM_EngineFullFrameNoDetail(benchmark::State& state) {
    frameBenchmark(state, &BenchData::fullView, 0, false);
}
BENCHMARK(BM_EngineFullFrameNoDetail)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_EngineZoomFrameNoDetail(benchmark::State& state) {
    frameBenchmark(state, &BenchData::zoomView, 0, false);
}
BENCHMARK(BM_EngineZoomFrameNoDetail)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_EngineOpenFirstFrame(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    for (auto _ : state) {
        std::string error;
        const std::shared_ptr<MapLayer> layer = openStyled(*data, data->coastline(), error);
        if (!layer) {
            state.SkipWithError(error.c_str());
            return;
        }
        QImage image = frameImage(*data);
        drawFrame(image, *data, snapshotOf(*data, layer), data->fullView().extent);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_EngineOpenFirstFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

double threadCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

void BM_EngineSearch(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    static std::vector<std::shared_ptr<MapLayer>> layers;
    if (layers.empty()) {
        for (const LayerData& l : data->searchLayers()) {
            std::string error;
            auto layer = openStyled(*data, l, error);
            if (!layer) {
                layers.clear();
                state.SkipWithError(error.c_str());
                return;
            }
            layers.push_back(std::move(layer));
        }
    }
    // The Fish Tool's tolerance for a click on the full-extent frame.
    const Viewport viewport(QSizeF(data->frameWidth(), data->frameHeight()),
                            mapRect(data->fullView().extent));
    const double tolerance = queryTolerance(viewport.mapUnitsPerPixel());
    const std::vector<SearchPoint>& points = data->searchPoints();
    std::vector<double> wall(points.size()), cpu(points.size());
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const MapPoint p{points[i].x, points[i].y};
            const double cpu0 = threadCpuMicroseconds();
            const auto t0 = std::chrono::steady_clock::now();
            for (const auto& layer : layers) {
                found += static_cast<std::size_t>(
                    layer->searchShape(p, MapLayer::kSearchAtPoint, QString(), tolerance).count());
            }
            const auto t1 = std::chrono::steady_clock::now();
            cpu[i] = threadCpuMicroseconds() - cpu0;
            wall[i] = std::chrono::duration<double, std::micro>(t1 - t0).count();
        }
    }
    // Each grid holds every point (in one cell or on an edge between two).
    if (found < points.size() * data->grids().size()) {
        state.SkipWithError("the search missed points that every grid layer holds");
        return;
    }
    state.counters["p50_us"] = percentile(wall, 0.5);
    state.counters["p99_us"] = percentile(wall, 0.99);
    state.counters["p50_cpu_us"] = percentile(cpu, 0.5);
    state.counters["p99_cpu_us"] = percentile(cpu, 0.99);
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_EngineSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_EngineMemory(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    std::int64_t growth = 0;
    std::size_t detail = 0;
    for (auto _ : state) {
        const std::int64_t before = residentBytes();
        StoreOpenResult opened = FeatureStore::open(qPath(data->coastline()));
        if (!opened.store) {
            state.SkipWithError(opened.error.message.toStdString().c_str());
            return;
        }
        growth = residentBytes() - before;
        // The simplified rings that drawing the full extent and the zoomed view adds later, as
        // the store counts them (no image is drawn, so its pixels do not count).
        const FeatureStore& store = *opened.store;
        for (const View* view : {&data->fullView(), &data->zoomView()}) {
            const Viewport viewport(QSizeF(data->frameWidth(), data->frameHeight()),
                                    mapRect(view->extent));
            store.detailFor(viewport.mapUnitsPerPixel() / store.frame().step);
        }
        detail = store.detailBytes();
        benchmark::DoNotOptimize(opened.store.get());
    }
    const auto vertices = static_cast<double>(data->coastline().vertices);
    state.counters["resident_bytes"] = static_cast<double>(growth);
    state.counters["bytes_per_vertex"] = static_cast<double>(growth) / vertices;
    state.counters["detail_bytes_per_vertex"] = static_cast<double>(detail) / vertices;
}
BENCHMARK(BM_EngineMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace pelagon::bench

int main(int argc, char** argv) {
    // Painting needs a GUI application for fonts and colour handling, but never a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
