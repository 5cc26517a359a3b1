#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelagon::bench {

// A rectangle in the projected metres of the benchmark data.
struct Extent {
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;

    double width() const { return maxX - minX; }
    double height() const { return maxY - minY; }
};

// One shapefile of the data set and what it holds, as counted when the data was made.
struct LayerData {
    std::string name;
    std::filesystem::path path;  // the .shp file
    std::int64_t features = 0;
    std::int64_t rings = 0;
    std::int64_t vertices = 0;  // every stored point, closing points of rings included
    Extent extent;
};

// A view the frames are drawn at, with the number of coastline vertices inside it.
struct View {
    Extent extent;
    std::int64_t verticesInside = 0;
};

// The style every contender draws the coastline with.
struct FillStyle {
    std::string fill;     // "#rrggbb"
    std::string outline;  // "#rrggbb"
    double outlinePixels = 1;
    std::string background;  // "#rrggbb"
    bool antialiased = true;
};

struct SearchPoint {
    double x = 0;
    double y = 0;
};

// The data set or its description could not be used; what() names the file, the line when there
// is one, and the problem.
class BenchDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The benchmark data made by bench/make-data: the coastline, the grid layers, the views, the frame
// size, the style and the search points, read from the folder's manifest.json.
class BenchData {
public:
    // $PELAGON_BENCH_DATA, else ${XDG_CACHE_HOME:-$HOME/.cache}/pelagon/bench.
    static std::filesystem::path defaultFolder();

    // Reads the manifest and the search points of a data folder; throws BenchDataError.
    static BenchData load(const std::filesystem::path& folder);

    const std::filesystem::path& folder() const { return folder_; }
    const LayerData& coastline() const { return coastline_; }
    const std::vector<LayerData>& grids() const { return grids_; }
    // The coastline followed by the grids: the layers searched at a point.
    std::vector<LayerData> searchLayers() const;

    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }
    const FillStyle& style() const { return style_; }

    // The coastline's extent.
    const View& fullView() const { return fullView_; }
    // A tenth of the full extent's width and height, centred on the Gulf of Alaska.
    const View& zoomView() const { return zoomView_; }
    // The zoomed view moved east by a quarter of its width: one pan step.
    const View& panView() const { return panView_; }
    // The window of the zoomed view's size that holds the most coastline vertices.
    const View& densestView() const { return densestView_; }

    const std::vector<SearchPoint>& searchPoints() const { return searchPoints_; }

private:
    std::filesystem::path folder_;
    LayerData coastline_;
    std::vector<LayerData> grids_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    FillStyle style_;
    View fullView_;
    View zoomView_;
    View panView_;
    View densestView_;
    std::vector<SearchPoint> searchPoints_;
};

// Reads a search point file: a header line "x,y", then one "x,y" pair of numbers per line.
std::vector<SearchPoint> readSearchPoints(const std::filesystem::path& path);

}  // namespace pelagon::bench
