#include "render/ImageFiller.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace pelagon {

std::optional<ImageFiller> ImageFiller::forPainter(QPainter& painter, const QBrush& brush) {
    if (brush.style() != Qt::SolidPattern) {
        return std::nullopt;
    }
    std::optional<ImageTarget> target = ImageTarget::of(painter);
    if (!target) {
        return std::nullopt;
    }
    ImageFiller f;
    f.target_ = *target;
    f.color_ = qPremultiply(brush.color().rgba());
    return f;
}

namespace {

// ceil() for values well inside the int range, without a library call.
int ceilToInt(double v) {
    const int i = static_cast<int>(v);
    return i + (v > static_cast<double>(i) ? 1 : 0);
}

}  // namespace

void ImageFiller::addRing(std::span<const QPointF> points) {
    const std::size_t n = points.size();
    if (n < 3) {
        return;
    }
    const ImageTarget& t = target_;
    const double limit = t.height;
    QPointF prev(points[n - 1].x() * t.sx + t.dx, points[n - 1].y() * t.sy + t.dy);
    for (const QPointF& p : points) {
        const QPointF cur(p.x() * t.sx + t.dx, p.y() * t.sy + t.dy);
        const bool down = prev.y() < cur.y();
        const QPointF a = down ? prev : cur;
        const QPointF b = down ? cur : prev;
        prev = cur;
        // The rows whose centres y + 0.5 lie in [a.y, b.y), within the image; an edge that
        // crosses none (a horizontal one, or a short one between two centres) is left out.
        const double top = std::clamp(a.y() - 0.5, -1.0, limit);
        const double bottom = std::clamp(b.y() - 0.5, -1.0, limit);
        const int first = std::max(ceilToInt(top), 0);
        const int end = ceilToInt(bottom);
        if (first >= end) {
            continue;
        }
        const double slope = (b.x() - a.x()) / (b.y() - a.y());
        edges_.push_back({first, end, a.x() + (first + 0.5 - a.y()) * slope, slope, -1});
        if (edges_.size() == 1) {
            top_ = first;
            bottom_ = end;
        } else {
            top_ = std::min(top_, first);
            bottom_ = std::max(bottom_, end);
        }
    }
}

void ImageFiller::span(int y, double from, double to) {
    // Pixels whose centres lie in [from, to).
    const int x0 = std::max(ceilToInt(std::max(from - 0.5, -1.0)), 0);
    const int x1 =
        std::min(ceilToInt(std::min(to - 0.5, static_cast<double>(target_.width))), target_.width);
    if (x0 >= x1) {
        return;
    }
    std::uint32_t* row = target_.row(y);
    if ((color_ >> 24) == 255u) {
        std::fill(row + x0, row + x1, color_);
    } else {
        for (int x = x0; x < x1; ++x) {
            ImageTarget::blend(row + x, color_, 255u);
        }
    }
}

void ImageFiller::fill() {
    if (edges_.empty()) {
        return;
    }
    // Edges listed by the row they start on, so no sort is needed.
    starting_.assign(static_cast<std::size_t>(bottom_ - top_), -1);
    for (std::size_t i = edges_.size(); i-- > 0;) {
        int& head = starting_[static_cast<std::size_t>(edges_[i].first - top_)];
        edges_[i].next = head;
        head = static_cast<int>(i);
    }
    active_.clear();
    for (int y = top_; y < bottom_; ++y) {
        std::erase_if(active_, [y](const Edge* e) { return e->end <= y; });
        for (int i = starting_[static_cast<std::size_t>(y - top_)]; i >= 0; i = edges_[i].next) {
            active_.push_back(&edges_[static_cast<std::size_t>(i)]);
        }
        // From one row to the next the order by x changes little: insertion sort.
        for (std::size_t k = 1; k < active_.size(); ++k) {
            Edge* e = active_[k];
            std::size_t j = k;
            for (; j > 0 && active_[j - 1]->x > e->x; --j) {
                active_[j] = active_[j - 1];
            }
            active_[j] = e;
        }
        for (std::size_t k = 0; k + 1 < active_.size(); k += 2) {
            span(y, active_[k]->x, active_[k + 1]->x);
        }
        for (Edge* e : active_) {
            e->x += e->slope;
        }
    }
    edges_.clear();
}

}  // namespace pelagon
