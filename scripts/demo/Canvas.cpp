// Anti-aliased shapes on the demo canvas; see Canvas.h.
#include "Canvas.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

}  // namespace

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), ink_(static_cast<size_t>(width) * height, 0.0f) {}

void Canvas::Clear() { std::fill(ink_.begin(), ink_.end(), 0.0f); }

void Canvas::Put(int x, int y, double cover) {
    if (cover <= 0.0) return;
    float& ink = ink_[static_cast<size_t>(y) * width_ + x];
    // The darker wins, so shapes that touch leave no light seam.
    ink = std::max(ink, static_cast<float>(std::min(cover, 1.0)));
}

template <class Distance>
void Canvas::Fill(double left, double top, double right, double bottom, Distance distance) {
    int x0 = std::max(0, static_cast<int>(std::floor(left - 1)));
    int y0 = std::max(0, static_cast<int>(std::floor(top - 1)));
    int x1 = std::min(width_, static_cast<int>(std::ceil(right + 1)));
    int y1 = std::min(height_, static_cast<int>(std::ceil(bottom + 1)));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Put(x, y, 0.5 - distance(x + 0.5, y + 0.5));
}

void Canvas::Disc(Point c, double r) {
    Fill(c.x - r, c.y - r, c.x + r, c.y + r, [&](double x, double y) { return Length(x - c.x, y - c.y) - r; });
}

void Canvas::Ellipse(Point c, double rx, double ry) {
    // Scaled distance, good enough near the edge for a soft outline.
    double k = std::min(rx, ry);
    Fill(c.x - rx, c.y - ry, c.x + rx, c.y + ry,
         [&](double x, double y) { return (Length((x - c.x) / rx, (y - c.y) / ry) - 1.0) * k; });
}

void Canvas::Capsule(Point a, Point b, double r) { Limb(a, b, r, r); }

void Canvas::Limb(Point a, Point b, double r0, double r1) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double lengthSq = std::max(dx * dx + dy * dy, 1e-9);
    double rMax = std::max(r0, r1);
    Fill(std::min(a.x, b.x) - rMax, std::min(a.y, b.y) - rMax, std::max(a.x, b.x) + rMax,
         std::max(a.y, b.y) + rMax, [&](double x, double y) {
             double t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / lengthSq, 0.0, 1.0);
             return Length(x - (a.x + t * dx), y - (a.y + t * dy)) - (r0 + (r1 - r0) * t);
         });
}

void Canvas::Polygon(const std::vector<Point>& p) {
    double left = p[0].x, right = p[0].x, top = p[0].y, bottom = p[0].y;
    for (const Point& q : p) {
        left = std::min(left, q.x);
        right = std::max(right, q.x);
        top = std::min(top, q.y);
        bottom = std::max(bottom, q.y);
    }
    Fill(left, top, right, bottom, [&](double x, double y) {
        // Distance to the nearest edge, negative inside (even-odd rule).
        double nearest = 1e30;
        bool inside = false;
        for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
            double ex = p[i].x - p[j].x, ey = p[i].y - p[j].y;
            double t = std::clamp(((x - p[j].x) * ex + (y - p[j].y) * ey) / std::max(ex * ex + ey * ey, 1e-9), 0.0, 1.0);
            nearest = std::min(nearest, Length(x - (p[j].x + t * ex), y - (p[j].y + t * ey)));
            if ((p[i].y > y) != (p[j].y > y) && x < p[j].x + (y - p[j].y) * ex / ey) inside = !inside;
        }
        return inside ? -nearest : nearest;
    });
}

std::vector<uint8_t> Canvas::Grey() const {
    std::vector<uint8_t> grey(ink_.size());
    for (int y = 0; y < height_; ++y) {
        const float* row = &ink_[static_cast<size_t>(height_ - 1 - y) * width_];
        uint8_t* out = &grey[static_cast<size_t>(y) * width_];
        for (int x = 0; x < width_; ++x) out[x] = static_cast<uint8_t>(std::lround(255.0 * (1.0 - row[x])));
    }
    return grey;
}

}  // namespace demo
