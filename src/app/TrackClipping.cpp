#include <QImage>
#include <QLineF>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/TrackPicture.h"

namespace pelagon {

CoveredTiles::CoveredTiles(const QImage& layer, double ratio) : ratio_(ratio) {
    columns_ = (layer.width() + kTile - 1) / kTile;
    rows_ = (layer.height() + kTile - 1) / kTile;
    std::vector<std::uint8_t> full(static_cast<std::size_t>(columns_) * rows_, 1);
    for (int y = 0; y < layer.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        std::uint8_t* tiles = full.data() + static_cast<std::size_t>(y / kTile) * columns_;
        for (int x = 0; x < layer.width(); ++x) {
            if (qAlpha(line[x]) == 0) {
                tiles[x / kTile] = 0;
            }
        }
    }
    // Tiles not wholly drawn, summed from the top left corner (one row and column of zeros
    // first): how many lie in any block of tiles is then four look-ups.
    open_.assign(static_cast<std::size_t>(columns_ + 1) * (rows_ + 1), 0);
    for (int ty = 0; ty < rows_; ++ty) {
        for (int tx = 0; tx < columns_; ++tx) {
            const std::size_t at = static_cast<std::size_t>(ty + 1) * (columns_ + 1) + tx + 1;
            open_[at] = (full[static_cast<std::size_t>(ty) * columns_ + tx] == 0 ? 1 : 0) +
                        open_[at - 1] + open_[at - (columns_ + 1)] - open_[at - columns_ - 2];
        }
    }
    // Past the image's edges there is nothing to show: those neighbours count as drawn.
    covered_.assign(full.size(), 0);
    for (int ty = 0; ty < rows_; ++ty) {
        for (int tx = 0; tx < columns_; ++tx) {
            bool all = true;
            for (int dy = -1; dy <= 1 && all; ++dy) {
                for (int dx = -1; dx <= 1 && all; ++dx) {
                    const int ny = ty + dy;
                    const int nx = tx + dx;
                    all = ny < 0 || nx < 0 || ny >= rows_ || nx >= columns_ ||
                          full[static_cast<std::size_t>(ny) * columns_ + nx] != 0;
                }
            }
            covered_[static_cast<std::size_t>(ty) * columns_ + tx] = all ? 1 : 0;
        }
    }
}

bool CoveredTiles::hides(const QLineF& line) const {
    // No tile left open within a tile of the line's box: hidden, whatever its path.
    const auto tileOf = [](double device, int count) {
        return std::clamp(static_cast<int>(std::floor(device / kTile)), 0, count - 1);
    };
    const double margin = 2;  // device pixels: a line's pixels lie within one of its path
    const int x0 = tileOf(std::min(line.x1(), line.x2()) * ratio_ - margin, columns_);
    const int x1 = tileOf(std::max(line.x1(), line.x2()) * ratio_ + margin, columns_);
    const int y0 = tileOf(std::min(line.y1(), line.y2()) * ratio_ - margin, rows_);
    const int y1 = tileOf(std::max(line.y1(), line.y2()) * ratio_ + margin, rows_);
    const auto sum = [&](int x, int y) {
        return open_[static_cast<std::size_t>(y) * (columns_ + 1) + x];
    };
    if (sum(x1 + 1, y1 + 1) - sum(x0, y1 + 1) - sum(x1 + 1, y0) + sum(x0, y0) == 0) {
        return true;
    }
    // Points along the line no more than kTile - 2 device pixels apart: every pixel within a
    // pixel of the path between two of them lies in the 3 x 3 tiles round one of them.
    const QPointF a = line.p1() * ratio_;
    const QPointF b = line.p2() * ratio_;
    const double length = QLineF(a, b).length();
    const int steps = 1 + static_cast<int>(length / (kTile - 2));
    for (int i = 0; i <= steps; ++i) {
        const QPointF p = a + (b - a) * (static_cast<double>(i) / steps);
        // A point past the image's edge is judged by the tile of the edge nearest it, which
        // holds every pixel within a tile of it.
        const int tx = std::clamp(static_cast<int>(std::floor(p.x() / kTile)), 0, columns_ - 1);
        const int ty = std::clamp(static_cast<int>(std::floor(p.y() / kTile)), 0, rows_ - 1);
        if (covered_[static_cast<std::size_t>(ty) * columns_ + tx] == 0) {
            return false;
        }
    }
    return true;
}

std::optional<std::pair<QPointF, QPointF>> clipSegment(QPointF a, QPointF b, const QRectF& box) {
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
        !std::isfinite(b.y())) {
        return std::nullopt;
    }
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0;
    double t1 = 1;
    // Each edge in turn: p * t <= q keeps the inside.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                         box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return std::nullopt;  // parallel to this edge and outside it
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return std::nullopt;
        }
    }
    if (!std::isfinite(t0) || !std::isfinite(t1)) {
        return std::nullopt;
    }
    return std::pair{QPointF(a.x() + t0 * dx, a.y() + t0 * dy),
                     QPointF(a.x() + t1 * dx, a.y() + t1 * dy)};
}

}  // namespace pelagon
