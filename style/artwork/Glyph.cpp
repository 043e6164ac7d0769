#include "style/artwork/Glyph.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace style::artwork {

namespace {

// Control-point distance that makes a quarter ellipse from one cubic curve.
constexpr double kappa = 0.5522847498;

double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

Fraction onEllipse(double cx, double cy, double rx, double ry, double degrees) {
    const double a = radians(degrees);
    return {cx + rx * std::cos(a), cy + ry * std::sin(a)};
}

gfx::Point Glyph::at(double kx, double ky) const { return gfx::groupPoint(ref_, kx, ky); }

Glyph& Glyph::move(double kx, double ky) {
    path_.moveTo(at(kx, ky));
    subpathStart_ = path_.elements().size() - 1;
    curX_ = kx;
    curY_ = ky;
    return *this;
}

Glyph& Glyph::line(double kx, double ky) {
    path_.lineTo(at(kx, ky));
    curX_ = kx;
    curY_ = ky;
    return *this;
}

Glyph& Glyph::curve(double kx, double ky, double c1x, double c1y, double c2x, double c2y) {
    path_.curveTo(at(kx, ky), at(c1x, c1y), at(c2x, c2y));
    curX_ = kx;
    curY_ = ky;
    return *this;
}

Glyph& Glyph::close() {
    // An outline whose last point was computed (an arc's end) can miss its
    // first point by a rounding error: end it on the first point exactly.
    const auto& elements = path_.elements();
    const gfx::Point first = elements[subpathStart_].points[0];
    const gfx::PathElement& last = elements.back();
    const gfx::Point end = last.kind == gfx::PathElement::Kind::curve ? last.points[2] : last.points[0];
    if (end != first && std::abs(end.x - first.x) < 1e-9 && std::abs(end.y - first.y) < 1e-9) {
        gfx::BezierPath exact;
        for (std::size_t i = 0; i + 1 < elements.size(); ++i) {
            const gfx::PathElement& e = elements[i];
            switch (e.kind) {
                case gfx::PathElement::Kind::move: exact.moveTo(e.points[0]); break;
                case gfx::PathElement::Kind::line: exact.lineTo(e.points[0]); break;
                case gfx::PathElement::Kind::curve: exact.curveTo(e.points[2], e.points[0], e.points[1]); break;
                case gfx::PathElement::Kind::close: exact.close(); break;
            }
        }
        if (last.kind == gfx::PathElement::Kind::curve)
            exact.curveTo(first, last.points[0], last.points[1]);
        else
            exact.lineTo(first);
        path_ = exact;
    }
    path_.close();
    return *this;
}

Glyph& Glyph::corner(double vx, double vy, double kx, double ky, int pieces) {
    // The whole corner curve, then cut into equal parameter steps (de Casteljau).
    Fraction p0{curX_, curY_};
    Fraction p1{curX_ + (vx - curX_) * kappa, curY_ + (vy - curY_) * kappa};
    Fraction p2{kx + (vx - kx) * kappa, ky + (vy - ky) * kappa};
    const Fraction p3{kx, ky};
    auto lerp = [](Fraction a, Fraction b, double t) { return Fraction{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; };
    for (int i = pieces; i > 1; --i) {
        const double t = 1.0 / i;
        const Fraction a = lerp(p0, p1, t), b = lerp(p1, p2, t), c = lerp(p2, p3, t);
        const Fraction d = lerp(a, b, t), e = lerp(b, c, t);
        const Fraction split = lerp(d, e, t);
        curve(split.x, split.y, a.x, a.y, d.x, d.y);
        p0 = split;
        p1 = e;
        p2 = c;
    }
    return curve(p3.x, p3.y, p1.x, p1.y, p2.x, p2.y);
}

Glyph& Glyph::arc(double cx, double cy, double rx, double ry, double from, double to, int pieces) {
    const double step = radians(to - from) / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < pieces; ++i) {
        const double a1 = radians(from) + step * i;
        const double x1 = std::cos(a1), y1 = std::sin(a1);
        const double x2 = std::cos(a1 + step), y2 = std::sin(a1 + step);
        // The last piece ends on exactly the point that onEllipse() gives for `to`.
        const Fraction end = i + 1 == pieces ? onEllipse(cx, cy, rx, ry, to) : Fraction{cx + rx * x2, cy + ry * y2};
        curve(end.x, end.y,                                      //
              cx + rx * (x1 - k * y1), cy + ry * (y1 + k * x1),  //
              cx + rx * (x2 + k * y2), cy + ry * (y2 - k * x2));
    }
    return *this;
}

Glyph& Glyph::ellipse(double cx, double cy, double rx, double ry, Turn turn) {
    const double dy = turn == Turn::clockwise ? ry : -ry;
    move(cx + rx, cy);
    corner(cx + rx, cy + dy, cx, cy + dy);
    corner(cx - rx, cy + dy, cx - rx, cy);
    corner(cx - rx, cy - dy, cx, cy - dy);
    corner(cx + rx, cy - dy, cx + rx, cy);
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
        line(x1 - rx, y0).corner(x1, y0, x1, y0 + ry);
        line(x1, y1 - ry).corner(x1, y1, x1 - rx, y1);
        line(x0 + rx, y1).corner(x0, y1, x0, y1 - ry);
        line(x0, y0 + ry).corner(x0, y0, x0 + rx, y0);
    } else {
        corner(x0, y0, x0, y0 + ry).line(x0, y1 - ry);
        corner(x0, y1, x0 + rx, y1).line(x1 - rx, y1);
        corner(x1, y1, x1, y1 - ry).line(x1, y0 + ry);
        corner(x1, y0, x1 - rx, y0).line(x0 + rx, y0);
    }
    return close();
}

Glyph& Glyph::polygon(std::initializer_list<Vertex> vertices) {
    const std::vector<Vertex> v(vertices);
    const std::size_t n = v.size();
    // Where each corner's curve starts (on the incoming edge) and ends (on the outgoing one).
    std::vector<Fraction> in(n), out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& cur = v[i];
        auto toward = [&](const Vertex& other) {
            const double dx = other.x - cur.x, dy = other.y - cur.y;
            const double len = std::hypot(dx, dy);
            return Fraction{cur.x + dx / len * cur.round, cur.y + dy / len * cur.round};
        };
        in[i] = cur.round > 0 ? toward(v[(i + n - 1) % n]) : Fraction{cur.x, cur.y};
        out[i] = cur.round > 0 ? toward(v[(i + 1) % n]) : Fraction{cur.x, cur.y};
    }
    // The edge from corner i - 1 to corner i, then corner i.
    auto edgeAndCorner = [&](std::size_t i) {
        const std::size_t from = (i + n - 1) % n;
        const int pieces = v[from].lines;
        for (int p = 1; p < pieces; ++p) {
            const double t = double(p) / pieces;
            line(out[from].x + (in[i].x - out[from].x) * t, out[from].y + (in[i].y - out[from].y) * t);
        }
        line(in[i].x, in[i].y);
        if (v[i].round > 0) corner(v[i].x, v[i].y, out[i].x, out[i].y, v[i].curves);
    };
    move(out[0].x, out[0].y);
    for (std::size_t i = 1; i < n; ++i) edgeAndCorner(i);
    edgeAndCorner(0);
    return close();
}

}  // namespace style::artwork
