#pragma once
// Points, sizes and rectangles in doubles, y growing downwards (points of the
// current user space), with the rectangle readings that treat a rectangle of
// negative width or height as its standardised equivalent.

#include <cmath>

namespace gfx {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    // Same area with a non-negative width and height.
    Rect standardized() const;

    double minX() const { return standardized().origin.x; }
    double minY() const { return standardized().origin.y; }
    double maxX() const { return minX() + width(); }
    double maxY() const { return minY() + height(); }
    double midX() const { return minX() + width() * 0.5; }
    double midY() const { return minY() + height() * 0.5; }
    double width() const { return std::fabs(size.width); }
    double height() const { return std::fabs(size.height); }
    bool isEmpty() const { return size.width == 0 || size.height == 0; }

    Rect insetBy(double dx, double dy) const;

    // Exact comparison of the standardised rectangles.
    friend bool operator==(const Rect& a, const Rect& b);
};

inline constexpr Rect zeroRect{};

// Affine transform mapping (x, y) to (a x + c y + tx, b x + d y + ty).
struct Transform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static Transform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static Transform scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // Applies only the linear part (for offsets and lengths).
    Size applyToSize(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
    // this, preceded by `first`: the result maps p to this(first(p)).
    Transform concat(const Transform& first) const;
    double determinant() const { return a * d - b * c; }
    bool isInvertible() const { return determinant() != 0 && std::isfinite(determinant()); }
    friend bool operator==(const Transform&, const Transform&) = default;
};

// ---- Edge snapping of the artwork frames --------------------------------
// Offsets and sizes are snapped, never absolute coordinates, so a frame at a
// fractional origin keeps its fractional origin.

// Nearest whole point, halves going up: snap(2.5) == 3, snap(-2.5) == -2.
inline double snap(double v) { return std::floor(v + 0.5); }

// A span of [min, min + extent] between the fractions a and b.
struct Span {
    double start = 0;
    double length = 0;
};

// Whole-pixel span: start = min + snap(extent * a), length = snap(extent * b) - snap(extent * a).
Span snappedSpan(double min, double extent, double a, double b);
// Half-pixel span: start = min + floor(extent * a) + 0.5, length = floor(extent * b) - floor(extent * a).
Span halfPixelSpan(double min, double extent, double a, double b);

// Group rectangle of `r` from the fractions (left, top, right, bottom), every
// edge snapped to a whole point (the standardised `r` is read).
Rect groupRect(const Rect& r, double left, double top, double right, double bottom);
// The same with half-pixel snapping on both axes.
Rect halfPixelGroupRect(const Rect& r, double left, double top, double right, double bottom);
// Rectangle from an x span and a y span (for groups that mix the two forms).
inline Rect rectFromSpans(Span x, Span y) { return {x.start, y.start, x.length, y.length}; }

// Point (fx, fy) of a reference rectangle: (minX + width * fx, minY + height * fy), unsnapped.
Point groupPoint(const Rect& r, double fx, double fy);

}  // namespace gfx
