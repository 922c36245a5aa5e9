// A grey canvas for the demo film: black ink on white paper, every shape
// anti-aliased from its signed distance (about one pixel of soft edge), so
// the frames look like a real silhouette film rather than a test pattern.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace demo {

struct Point {
    double x, y;
};

class Canvas {
public:
    Canvas(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    void Clear();

    // Shapes in screen coordinates: y = 0 is the top row, pixel centres at +0.5.
    void Disc(Point centre, double radius);
    void Ellipse(Point centre, double radiusX, double radiusY);
    // A stroke with round ends: every point within `radius` of the segment.
    void Capsule(Point from, Point to, double radius);
    // A tapered stroke: the radius goes from r0 at `from` to r1 at `to`.
    void Limb(Point from, Point to, double r0, double r1);
    void Polygon(const std::vector<Point>& corners);
    // Everything below the curve y = groundY(x), column by column.
    template <class Height>
    void Ground(Height groundY);

    // The picture as 8-bit grey, bottom row first, as BMP files and films hold it.
    std::vector<uint8_t> Grey() const;
    double Ink(int x, int y) const { return ink_[static_cast<size_t>(y) * width_ + x]; }

private:
    template <class Distance>
    void Fill(double left, double top, double right, double bottom, Distance distance);
    void Put(int x, int y, double cover);

    int width_;
    int height_;
    std::vector<float> ink_;  // 0 paper .. 1 ink
};

template <class Height>
void Canvas::Ground(Height groundY) {
    for (int x = 0; x < width_; ++x) {
        double cx = x + 0.5;
        double top = groundY(cx);
        // The slope turns the vertical distance into a distance to the edge.
        double slope = (groundY(cx + 0.5) - groundY(cx - 0.5));
        double scale = 1.0 / std::sqrt(1.0 + slope * slope);
        int first = static_cast<int>(top) - 2;
        for (int y = first < 0 ? 0 : first; y < height_; ++y) {
            double d = (top - (y + 0.5)) * scale;
            Put(x, y, 0.5 - d);
        }
    }
}

}  // namespace demo
