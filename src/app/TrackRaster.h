#pragma once

#include <QImage>
#include <QLineF>
#include <QPointF>
#include <QRgb>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace pelagon {

class SpriteCover;

// A line in pixels as tracks keep it between clipping and drawing: a million of them are written
// and read again each frame, in half the memory of QLineF. A float holds a pixel coordinate of
// any frame (clipped lines lie within a few pixels of it) to a thousandth of a pixel.
struct PixelLine {
    PixelLine() = default;
    PixelLine(QPointF a, QPointF b)
        : x1(static_cast<float>(a.x())),
          y1(static_cast<float>(a.y())),
          x2(static_cast<float>(b.x())),
          y2(static_cast<float>(b.y())) {}
    QPointF p1() const { return {x1, y1}; }
    QPointF p2() const { return {x2, y2}; }
    friend bool operator==(const PixelLine&, const PixelLine&) = default;
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
};

// Lines one device pixel wide, without antialiasing, drawn into a band of a frame as the index of
// the line's owner (a vessel): a pixel keeps the first owner drawn on it, so the owner on top is
// drawn first. A pixel is drawn where the line's path crosses the middle of its column (rows for
// lines steeper than 45°), as Qt's aliased one-pixel pen draws it to within a pixel.
//
// Once every pixel of a 16 x 16 tile is drawn, lines cross it a tile's span at a time without
// looking at its pixels, and a line whose box holds no tile left open is not walked at all: lines
// beneath the top ones' layer cost what the places they can still show cost. The band is full
// once every block of 8 x 8 tiles is wholly drawn.
class LineRaster {
public:
    static constexpr int kTile = 16;    // device pixels
    static constexpr int kBlock = 128;  // device pixels: 8 x 8 tiles

    // Where lines can lie, in device pixels: a convex polygon about every line's ends (the
    // convex hull of the positions), or anywhere where it has no corners.
    struct Reach {
        std::vector<QPointF> corners;  // in order around the polygon
        // The least and greatest x of the polygon's points with y0 <= y <= y1: first > second
        // where it has none, -inf and +inf anywhere.
        std::pair<double, double> across(double y0, double y1) const;
    };
    static constexpr std::uint16_t kOutside = 0xffff;  // owner of a pixel no line can reach

    // The rows [top, bottom) of a frame width pixels wide.
    LineRaster(int width, int top, int bottom);

    // Takes the pixels no line drawn later can reach, those more than a pixel away from reach,
    // as drawn (owner kOutside, no colour), and those under an opaque pixel of what will
    // be drawn over the lines (over, where given): the band is full once every other pixel is,
    // and lines cross them a tile at a time.
    void closeOutside(const Reach& reach, const SpriteCover* over = nullptr);
    // Takes as drawn the pixels frame (a raster of the same width holding these rows) closed.
    void closeAsIn(const LineRaster& frame);

    // The line from a to b (device pixels; pixel (x, y) spans x..x+1, y..y+1), owner >= 1.
    void draw(QPointF a, QPointF b, std::uint16_t owner);

    // Whether the line from a to b may draw a pixel still open, as far as its box tells: false
    // only if it cannot.
    bool mayDraw(QPointF a, QPointF b) const;
    // Appends to kept, scaled by ratio to device pixels, the lines that may draw a pixel still
    // open, as mayDraw tells.
    void keepThoseThatMayDraw(std::span<const PixelLine> lines, double ratio,
                              std::vector<PixelLine>& kept) const;
    // The pixels of row y of the frame still open.
    int openInRow(int y) const;
    // The share of the band's tiles still open.
    double openShare() const;

    // The owner drawn at (x, y) of the frame, 0 where none is.
    std::uint16_t at(int x, int y) const {
        return owners_[static_cast<std::size_t>(y - top_) * width_ + x];
    }
    // Whether every pixel of the band is drawn: nothing drawn later can show.
    bool full() const { return openBlocks_ == 0; }
    // Pixels looked at so far, drawn or not (a line crossing a drawn tile counts none of its
    // pixels there).
    std::int64_t visited() const { return visited_; }

    // The band in colour: colours[owner - 1] (premultiplied), transparent where no line is.
    QImage colour(std::span<const QRgb> colours) const;

private:
    template <bool Steep>
    void walk(double m0, double n0, double m1, double n1, std::uint16_t owner);
    // Takes as drawn the pixels of each tile's rows that shut(x0, x1, y) gives as bits (bit 0
    // for x0), then sums the open tiles again.
    template <typename Shut>
    void closeWhere(const Shut& shut);
    // The tiles left open, summed from the top left corner (see openIn).
    void sumOpenTiles();
    // Whether a tile was left open, when last summed, among those holding any of the pixels
    // [x0, x1] x [y0, y1] of the frame.
    bool openIn(double x0, double y0, double x1, double y1) const;

    int width_;
    int top_;
    int height_;
    std::vector<std::uint16_t> owners_;
    int tileColumns_;
    int tileRows_;
    std::vector<std::uint16_t> tileOpen_;  // pixels not yet drawn, per tile
    int blockColumns_;
    std::vector<std::uint16_t> blockOpen_;  // tiles not yet wholly drawn, per block
    std::int64_t openBlocks_ = 0;
    // Tiles left open, summed (a row and column of zeros first); summed again every so many
    // lines once a tile has been filled: until then it may count tiles since filled as open.
    std::vector<std::int32_t> openSum_;
    int linesSinceSummed_ = 0;
    bool filledSinceSummed_ = false;
    std::int64_t visited_ = 0;
};

}  // namespace pelagon

namespace pelagon {

// Which of many small images (the points of positions) stamped one over another show: asked
// topmost first, an image shows when any pixel it draws is not yet under an opaque pixel of one
// above it; those that do not show can be left out and the picture is the same.
class SpriteCover {
public:
    // An image's pixels as rows of bits: those it draws (alpha above 0) and those it covers
    // (alpha 255). Images wider than 64 pixels are not handled (isValid() false).
    struct Shape {
        int width = 0;
        std::vector<std::uint64_t> draws;
        std::vector<std::uint64_t> covers;
        bool isValid() const { return width > 0 && width <= 64; }
        static Shape of(const QImage& image);
    };

    SpriteCover(int width, int height);
    // The number show() knows a shape by: shapes of the same pixels are given the same one.
    int add(const Shape& shape);
    // Whether the image of shape number `shape` with its top left corner at pixel (x, y) shows;
    // if it does, what it covers is covered from now on. Pixels outside the frame never show.
    bool show(int shape, int x, int y);
    // Pixels x to x + 15 of row y of the frame (x a multiple of 16, 0 <= y < height()) as bits,
    // bit 0 for x: those under an opaque pixel of an image that shows.
    std::uint16_t covered16(int x, int y) const {
        return static_cast<std::uint16_t>(
            covered_[static_cast<std::size_t>(y) * words_ + static_cast<std::size_t>(x / 64)] >>
            (x % 64));
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    // A shape and the corners at which it is known not to show: what is covered only grows, so
    // a corner once hidden stays hidden, and the many images stamped at the same corner (a
    // million positions over a few hundred thousand pixels) are answered by one bit.
    struct Known {
        Shape shape;
        std::vector<std::uint64_t> hiddenAt;  // corners (x + 64, y + rows - 1), bits by x
    };

    int width_;
    int height_;
    int words_;  // per row
    std::vector<std::uint64_t> covered_;
    int cornerWords_;  // per row of hiddenAt
    std::vector<Known> known_;
};

}  // namespace pelagon
