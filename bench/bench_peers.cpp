// The comparison peers that run inside one process: a plain OGR read loop over the coastline, the
// baseline that opening a layer is held against, and GDAL's rasterizer drawing the coastline at the
// frame size, the in-process form of the gdal_rasterize command. Each repetition is one whole run
// from opening the file; bench/run asks for several repetitions and reads their median.

#include <benchmark/benchmark.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "BenchData.h"
#include "OgrPointWalk.h"
#include "SharedData.h"

namespace pelagon::bench {
namespace {

GDALDatasetUniquePtr openVector(const LayerData& layer) {
    return GDALDatasetUniquePtr(
        GDALDataset::Open(layer.path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
}

void BM_OgrReadLoop(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    const LayerData& coastline = data->coastline();
    std::int64_t features = 0;
    PointWalkTotals totals;
    for (auto _ : state) {
        features = 0;
        totals = {};
        GDALDatasetUniquePtr dataset = openVector(coastline);
        if (!dataset || dataset->GetLayerCount() == 0) {
            state.SkipWithError((coastline.path.string() + ": OGR cannot open it").c_str());
            break;
        }
        try {
            for (const auto& feature : *dataset->GetLayer(0)) {
                ++features;
                if (const OGRGeometry* geometry = feature->GetGeometryRef()) {
                    walkPoints(*geometry, totals);
                }
            }
        } catch (const std::invalid_argument& e) {
            state.SkipWithError((coastline.path.string() + ": " + e.what()).c_str());
            break;
        }
        benchmark::DoNotOptimize(totals.coordinateSum);
    }
    // bench/run checks these against the data's own counts: the loop must have read every point.
    state.counters["features"] = static_cast<double>(features);
    state.counters["rings"] = static_cast<double>(totals.rings);
    state.counters["vertices"] = static_cast<double>(totals.vertices);
}
BENCHMARK(BM_OgrReadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_GdalRasterizeInProcess(benchmark::State& state) {
    const BenchData* data = dataOrSkip(state);
    if (data == nullptr) {
        return;
    }
    const LayerData& coastline = data->coastline();
    CPLStringList arguments;
    for (const std::string& argument :
         {std::string("-l"), coastline.name, std::string("-burn"), std::string("255"),
          std::string("-ot"), std::string("Byte"), std::string("-ts"),
          std::to_string(data->frameWidth()), std::to_string(data->frameHeight()),
          std::string("-of"), std::string("MEM")}) {
        arguments.AddString(argument.c_str());
    }
    std::unique_ptr<GDALRasterizeOptions, decltype(&GDALRasterizeOptionsFree)> options(
        GDALRasterizeOptionsNew(arguments.List(), nullptr), &GDALRasterizeOptionsFree);
    if (!options) {
        state.SkipWithError("GDAL does not accept the rasterize options");
        return;
    }
    for (auto _ : state) {
        GDALDatasetUniquePtr source = openVector(coastline);
        if (!source) {
            state.SkipWithError((coastline.path.string() + ": OGR cannot open it").c_str());
            break;
        }
        int usageError = 0;
        GDALDatasetUniquePtr raster(GDALDataset::FromHandle(GDALRasterize(
            "", nullptr, GDALDataset::ToHandle(source.get()), options.get(), &usageError)));
        if (!raster) {
            state.SkipWithError(
                (coastline.path.string() + ": GDAL could not rasterize it: " + CPLGetLastErrorMsg())
                    .c_str());
            break;
        }
        benchmark::DoNotOptimize(raster.get());
    }
}
BENCHMARK(BM_GdalRasterizeInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace pelagon::bench

int main(int argc, char** argv) {
    GDALAllRegister();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
