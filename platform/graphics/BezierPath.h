#pragma once
// Path objects recorded in user-space doubles and replayed at fill, stroke or
// clip time, so the transform current at that moment applies.

#include <vector>

#include "graphics/Geometry.h"

namespace gfx {

enum class LineJoin { miter = 0, round = 1, bevel = 2 };
enum class LineCap { butt = 0, round = 1, square = 2 };

// Corner mask for rounded rectangles.
enum RectCorner : unsigned {
    topLeft = 1,
    topRight = 2,
    bottomLeft = 4,
    bottomRight = 8,
    allCorners = 15,
};

struct PathElement {
    enum class Kind { move, line, curve, close };
    Kind kind;
    // move/line: points[0]; curve: points[0] control 1, points[1] control 2, points[2] end.
    Point points[3];
    friend bool operator==(const PathElement&, const PathElement&) = default;
};

class BezierPath {
public:
    BezierPath() = default;

    // Closed rectangle: top-left, top-right, bottom-right, bottom-left (standardised).
    static BezierPath rect(const Rect& r);
    // Ellipse inscribed in the rectangle as four cubic curves, starting at
    // (maxX, midY) and running through (midX, maxY).
    static BezierPath oval(const Rect& r);
    // All four corners rounded with one radius, clamped to half the shorter side.
    static BezierPath roundedRect(const Rect& r, double cornerRadius);
    // Chosen corners (RectCorner mask) rounded with the radii (width, height),
    // each clamped to half the rectangle's width or height.
    static BezierPath roundedRect(const Rect& r, unsigned corners, Size cornerRadii);

    void moveTo(Point p);
    void lineTo(Point p);
    // End point first, then the two control points.
    void curveTo(Point end, Point control1, Point control2);
    void close();
    void append(const BezierPath& other);

    bool usesEvenOddFillRule = false;
    double lineWidth = 1;
    LineJoin lineJoin = LineJoin::miter;
    LineCap lineCap = LineCap::butt;
    double miterLimit = 10;

    const std::vector<PathElement>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // Bounds of all points, control points included.
    Rect controlPointBounds() const;

    // Draw with the current context (no-op without one).
    void fill() const;
    void stroke() const;
    void addClip() const;

private:
    std::vector<PathElement> elements_;
    Point current_{};
    Point subpathStart_{};
    bool hasCurrent_ = false;
};

}  // namespace gfx
