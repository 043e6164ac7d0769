#include "style/artwork/CircleIconFrame.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace style::artwork {

namespace {

// Control-point distance for rounding a corner with a quarter-circle-like curve.
constexpr double cornerKappa = 0.5523;

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

gfx::Rect circleGroup(const gfx::Rect& frame) { return gfx::groupRect(frame, 0, 0, 1, 1); }

void fillCircle(const gfx::Rect& group, const gfx::ColorRef& color) {
    fillPath(gfx::BezierPath::oval(gfx::groupRect(group, 0, 0, 1, 1)), color);
}

void fillPath(const gfx::BezierPath& path, const gfx::ColorRef& color) {
    color->setFill();
    path.fill();
}

Fraction onEllipse(double cx, double cy, double rx, double ry, double degrees) {
    const double a = radians(degrees);
    return {cx + rx * std::cos(a), cy + ry * std::sin(a)};
}

gfx::Point Glyph::at(double kx, double ky) const { return gfx::groupPoint(ref_, kx, ky); }

Glyph& Glyph::move(double kx, double ky) {
    path_.moveTo(at(kx, ky));
    return *this;
}

Glyph& Glyph::line(double kx, double ky) {
    path_.lineTo(at(kx, ky));
    return *this;
}

Glyph& Glyph::curve(double kx, double ky, double c1x, double c1y, double c2x, double c2y) {
    path_.curveTo(at(kx, ky), at(c1x, c1y), at(c2x, c2y));
    return *this;
}

Glyph& Glyph::close() {
    path_.close();
    return *this;
}

Glyph& Glyph::arc(double cx, double cy, double rx, double ry, double from, double to, int pieces) {
    const double step = radians(to - from) / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < pieces; ++i) {
        // The last piece ends on exactly the point that onEllipse() gives for `to`.
        const double a1 = radians(from) + step * i;
        const double a2 = i + 1 == pieces ? radians(to) : a1 + step;
        const double x1 = std::cos(a1), y1 = std::sin(a1);
        const double x2 = std::cos(a2), y2 = std::sin(a2);
        curve(cx + rx * x2, cy + ry * y2,                        //
              cx + rx * (x1 - k * y1), cy + ry * (y1 + k * x1),  //
              cx + rx * (x2 + k * y2), cy + ry * (y2 - k * x2));
    }
    return *this;
}

Glyph& Glyph::ellipse(double cx, double cy, double rx, double ry, Turn turn) {
    move(cx + rx, cy);
    arc(cx, cy, rx, ry, 0, turn == Turn::clockwise ? 360 : -360, 4);
    return close();
}

Glyph& Glyph::rect(double x0, double y0, double x1, double y1, Turn turn) {
    move(x0, y0);
    if (turn == Turn::clockwise)
        line(x1, y0).line(x1, y1).line(x0, y1);
    else
        line(x0, y1).line(x1, y1).line(x1, y0);
    line(x0, y0);
    return close();
}

Glyph& Glyph::roundedRect(double x0, double y0, double x1, double y1, double rx, double ry, Turn turn) {
    move(x0 + rx, y0);
    if (turn == Turn::clockwise) {
        line(x1 - rx, y0).arc(x1 - rx, y0 + ry, rx, ry, -90, 0, 1);
        line(x1, y1 - ry).arc(x1 - rx, y1 - ry, rx, ry, 0, 90, 1);
        line(x0 + rx, y1).arc(x0 + rx, y1 - ry, rx, ry, 90, 180, 1);
        line(x0, y0 + ry).arc(x0 + rx, y0 + ry, rx, ry, 180, 270, 1);
    } else {
        arc(x0 + rx, y0 + ry, rx, ry, 270, 180, 1).line(x0, y1 - ry);
        arc(x0 + rx, y1 - ry, rx, ry, 180, 90, 1).line(x1 - rx, y1);
        arc(x1 - rx, y1 - ry, rx, ry, 90, 0, 1).line(x1, y0 + ry);
        arc(x1 - rx, y0 + ry, rx, ry, 0, -90, 1).line(x0 + rx, y0);
    }
    return close();
}

Glyph& Glyph::polygon(std::initializer_list<Vertex> vertices) {
    const std::vector<Vertex> v(vertices);
    const std::size_t n = v.size();
    // Where each corner's curve starts (on the incoming edge) and ends (on the outgoing one).
    std::vector<Fraction> in(n), out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& prev = v[(i + n - 1) % n];
        const Vertex& cur = v[i];
        const Vertex& next = v[(i + 1) % n];
        auto toward = [&](const Vertex& other) {
            const double dx = other.x - cur.x, dy = other.y - cur.y;
            const double len = std::hypot(dx, dy);
            return Fraction{cur.x + dx / len * cur.round, cur.y + dy / len * cur.round};
        };
        in[i] = cur.round > 0 ? toward(prev) : Fraction{cur.x, cur.y};
        out[i] = cur.round > 0 ? toward(next) : Fraction{cur.x, cur.y};
    }
    auto corner = [&](std::size_t i) {
        line(in[i].x, in[i].y);
        if (v[i].round > 0) {
            const Vertex& c = v[i];
            curve(out[i].x, out[i].y,                                                        //
                  in[i].x + (c.x - in[i].x) * cornerKappa, in[i].y + (c.y - in[i].y) * cornerKappa,  //
                  out[i].x + (c.x - out[i].x) * cornerKappa, out[i].y + (c.y - out[i].y) * cornerKappa);
        }
    };
    move(out[0].x, out[0].y);
    for (std::size_t i = 1; i < n; ++i) corner(i);
    corner(0);
    return close();
}

}  // namespace style::artwork
