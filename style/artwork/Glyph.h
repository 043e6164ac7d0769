#pragma once
// Glyph outlines whose points are fractions of a reference rectangle (a
// group rectangle or the frame), built step by step or from whole subpaths.
// Holes are made by winding (non-zero rule): a subpath inside another one
// that runs the other way round.

#include <cstddef>
#include <initializer_list>

#include "graphics/BezierPath.h"
#include "graphics/Geometry.h"

namespace style::artwork {

// Direction of a subpath as seen on screen (y growing downwards).
enum class Turn { clockwise, anticlockwise };

// A vertex of a rounded polygon: fractions; the length of the corner cut
// along each of its edges (0 keeps the corner sharp); how many curves draw
// the rounded corner and how many straight pieces the edge leaving it.
struct Vertex {
    double x, y;
    double round = 0;
    int curves = 1;
    int lines = 1;
};

// Builds a glyph path whose points are fractions (kx, ky) of a reference
// rectangle: (minX + width * kx, minY + height * ky), unsnapped.
class Glyph {
public:
    explicit Glyph(const gfx::Rect& reference) : ref_(reference) {}

    Glyph& move(double kx, double ky);
    Glyph& line(double kx, double ky);
    // End point, then the first and second control points.
    Glyph& curve(double kx, double ky, double c1x, double c1y, double c2x, double c2y);
    Glyph& close();
    // Rounds the corner at (vx, vy): a curve from the current point to (kx, ky)
    // with its control points pulled towards the corner, as `pieces` curves.
    Glyph& corner(double vx, double vy, double kx, double ky, int pieces = 1);

    // Elliptical arc from the current point, which must lie on it at angle
    // `from`, to angle `to` (degrees, 0 along +x, 90 along +y: clockwise on
    // screen when to > from), as `pieces` cubic curves.
    Glyph& arc(double cx, double cy, double rx, double ry, double from, double to, int pieces);

    // Whole subpaths, each closed on its first point.
    // Ellipse: one move, four quarter curves from its rightmost point.
    Glyph& ellipse(double cx, double cy, double rx, double ry, Turn turn);
    // Rectangle: one move, four lines from the top-left corner.
    Glyph& rect(double x0, double y0, double x1, double y1, Turn turn);
    // Rounded rectangle: four lines and four corner curves (radii in fractions).
    Glyph& roundedRect(double x0, double y0, double x1, double y1, double rx, double ry, Turn turn);
    // Polygon travelled in the order given: its edges as lines, its rounded
    // vertices as curves.
    Glyph& polygon(std::initializer_list<Vertex> vertices);

    const gfx::BezierPath& path() const { return path_; }

private:
    gfx::Point at(double kx, double ky) const;

    gfx::Rect ref_;
    gfx::BezierPath path_;
    double curX_ = 0, curY_ = 0;  // current point, in fractions
    std::size_t subpathStart_ = 0;  // element index of the current subpath's move
};

// Point on an ellipse at `degrees` (0 along +x, 90 along +y).
struct Fraction {
    double x, y;
};
Fraction onEllipse(double cx, double cy, double rx, double ry, double degrees);

}  // namespace style::artwork
