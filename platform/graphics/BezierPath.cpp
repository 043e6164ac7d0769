#include "graphics/BezierPath.h"

#include <algorithm>
#include <limits>

#include "graphics/Context.h"

namespace gfx {

namespace {
// Control-point distance of a quarter ellipse drawn as one cubic.
constexpr double kappa = 0.5522847498307936;
}  // namespace

void BezierPath::moveTo(Point p) {
    elements_.push_back({PathElement::Kind::move, {p, {}, {}}});
    current_ = subpathStart_ = p;
    hasCurrent_ = true;
}

void BezierPath::lineTo(Point p) {
    if (!hasCurrent_) return moveTo(p);
    elements_.push_back({PathElement::Kind::line, {p, {}, {}}});
    current_ = p;
}

void BezierPath::curveTo(Point end, Point control1, Point control2) {
    if (!hasCurrent_) moveTo(control1);
    elements_.push_back({PathElement::Kind::curve, {control1, control2, end}});
    current_ = end;
}

void BezierPath::close() {
    if (!hasCurrent_) return;
    elements_.push_back({PathElement::Kind::close, {}});
    current_ = subpathStart_;
}

void BezierPath::append(const BezierPath& other) {
    for (const PathElement& e : other.elements_) {
        elements_.push_back(e);
        if (e.kind == PathElement::Kind::move) subpathStart_ = e.points[0];
        current_ = e.kind == PathElement::Kind::curve ? e.points[2]
                   : e.kind == PathElement::Kind::close ? subpathStart_
                                                        : e.points[0];
        hasCurrent_ = true;
    }
}

BezierPath BezierPath::rect(const Rect& r) {
    Rect s = r.standardized();
    BezierPath p;
    p.moveTo({s.minX(), s.minY()});
    p.lineTo({s.maxX(), s.minY()});
    p.lineTo({s.maxX(), s.maxY()});
    p.lineTo({s.minX(), s.maxY()});
    p.close();
    return p;
}

BezierPath BezierPath::oval(const Rect& r) {
    Rect s = r.standardized();
    double rx = s.width() / 2, ry = s.height() / 2, cx = s.midX(), cy = s.midY();
    double kx = rx * kappa, ky = ry * kappa;
    BezierPath p;
    p.moveTo({cx + rx, cy});
    p.curveTo({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
    p.curveTo({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
    p.curveTo({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
    p.curveTo({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
    p.close();
    return p;
}

BezierPath BezierPath::roundedRect(const Rect& r, double cornerRadius) {
    double radius = std::min({cornerRadius, r.width() / 2, r.height() / 2});
    return roundedRect(r, allCorners, {radius, radius});
}

BezierPath BezierPath::roundedRect(const Rect& r, unsigned corners, Size radii) {
    Rect s = r.standardized();
    double rx = std::clamp(radii.width, 0.0, s.width() / 2);
    double ry = std::clamp(radii.height, 0.0, s.height() / 2);
    double x0 = s.minX(), y0 = s.minY(), x1 = s.maxX(), y1 = s.maxY();
    double kx = rx * (1 - kappa), ky = ry * (1 - kappa);
    auto rounded = [&](unsigned corner) { return (corners & corner) != 0 && rx > 0 && ry > 0; };

    BezierPath p;
    // Clockwise on screen from the end of the top-left corner.
    p.moveTo({rounded(topLeft) ? x0 + rx : x0, y0});
    if (rounded(topRight)) {
        p.lineTo({x1 - rx, y0});
        p.curveTo({x1, y0 + ry}, {x1 - kx, y0}, {x1, y0 + ky});
    } else {
        p.lineTo({x1, y0});
    }
    if (rounded(bottomRight)) {
        p.lineTo({x1, y1 - ry});
        p.curveTo({x1 - rx, y1}, {x1, y1 - ky}, {x1 - kx, y1});
    } else {
        p.lineTo({x1, y1});
    }
    if (rounded(bottomLeft)) {
        p.lineTo({x0 + rx, y1});
        p.curveTo({x0, y1 - ry}, {x0 + kx, y1}, {x0, y1 - ky});
    } else {
        p.lineTo({x0, y1});
    }
    if (rounded(topLeft)) {
        p.lineTo({x0, y0 + ry});
        p.curveTo({x0 + rx, y0}, {x0, y0 + ky}, {x0 + kx, y0});
    }
    p.close();
    return p;
}

Rect BezierPath::controlPointBounds() const {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    for (const PathElement& e : elements_) {
        int n = e.kind == PathElement::Kind::curve ? 3 : e.kind == PathElement::Kind::close ? 0 : 1;
        for (int i = 0; i < n; ++i) {
            minX = std::min(minX, e.points[i].x);
            maxX = std::max(maxX, e.points[i].x);
            minY = std::min(minY, e.points[i].y);
            maxY = std::max(maxY, e.points[i].y);
        }
    }
    if (minX > maxX) return {};
    return {minX, minY, maxX - minX, maxY - minY};
}

void BezierPath::fill() const {
    if (Context* c = currentContext()) c->fillPath(*this);
}

void BezierPath::stroke() const {
    if (Context* c = currentContext()) c->strokePath(*this);
}

void BezierPath::addClip() const {
    if (Context* c = currentContext()) c->clipToPath(*this);
}

}  // namespace gfx
