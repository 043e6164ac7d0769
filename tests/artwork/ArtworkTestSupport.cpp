#include "ArtworkTestSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace artwork_test {

using style::StyleKit;

Recording record(const char* message, const gfx::Rect& frame, long flag) {
    gfx::RecordingContext rec;
    gfx::pushContext(rec);
    StyleKit::perform(message, frame, flag);
    gfx::popContext();
    Recording out;
    for (const gfx::RecordedOp& op : rec.ops()) {
        if (op.kind == gfx::RecordedOp::Kind::fill)
            out.fills.push_back({op.path, op.state.fillColor});
        else if (op.kind != gfx::RecordedOp::Kind::setFillColor)
            ++out.otherOps;
    }
    out.finalFillColor = rec.state().fillColor;
    return out;
}

namespace {

gfx::Point bezier(gfx::Point p0, gfx::Point c1, gfx::Point c2, gfx::Point p3, double t) {
    const double u = 1 - t;
    return {u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
            u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y};
}

struct BoundsBuilder {
    Bounds b{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
             std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    void add(gfx::Point p) {
        b.minX = std::min(b.minX, p.x);
        b.minY = std::min(b.minY, p.y);
        b.maxX = std::max(b.maxX, p.x);
        b.maxY = std::max(b.maxY, p.y);
    }
};

}  // namespace

std::vector<Subpath> subpaths(const gfx::BezierPath& path) {
    std::vector<Subpath> out;
    BoundsBuilder bb;
    gfx::Point current{};
    auto area = [&](gfx::Point a, gfx::Point b) { out.back().signedArea += (a.x * b.y - b.x * a.y) / 2; };
    for (const gfx::PathElement& e : path.elements()) {
        using K = gfx::PathElement::Kind;
        switch (e.kind) {
            case K::move:
                if (!out.empty()) out.back().bounds = bb.b;
                out.emplace_back();
                bb = {};
                out.back().first = current = e.points[0];
                bb.add(current);
                break;
            case K::line:
                ++out.back().lines;
                area(current, e.points[0]);
                current = e.points[0];
                bb.add(current);
                break;
            case K::curve:
                ++out.back().curves;
                for (int i = 1; i <= 32; ++i) {
                    gfx::Point p = bezier(current, e.points[0], e.points[1], e.points[2], i / 32.0);
                    gfx::Point q = bezier(current, e.points[0], e.points[1], e.points[2], (i - 1) / 32.0);
                    area(q, p);
                    bb.add(p);
                }
                current = e.points[2];
                break;
            case K::close:
                out.back().closed = true;
                out.back().endsOnStart = current == out.back().first;
                area(current, out.back().first);
                break;
        }
    }
    if (!out.empty()) out.back().bounds = bb.b;
    return out;
}

Bounds bounds(const gfx::BezierPath& path) {
    BoundsBuilder bb;
    for (const Subpath& s : subpaths(path)) {
        bb.add({s.bounds.minX, s.bounds.minY});
        bb.add({s.bounds.maxX, s.bounds.maxY});
    }
    return bb.b;
}

gfx::ColorRef namedColor(const std::string& name) {
    return name == "whiteColor" ? gfx::Color::whiteColor() : StyleKit::color(name);
}

std::string colorName(const gfx::ColorRef& c) {
    if (c == gfx::Color::whiteColor()) return "whiteColor";
    for (const char* n : {"bvBlue", "bvBlueDark", "white", "grey2", "grey3", "grey4", "red"})
        if (c == StyleKit::color(n)) return n;
    return "other";
}

gfx::ImageRef render(const char* message, gfx::Size size, long flag) {
    gfx::ImageContextScope scope(size, false, 1);
    StyleKit::perform(message, {0, 0, size.width, size.height}, flag);
    return scope.image();
}

bool pixelIs(const gfx::ImageRef& image, double x, double y, const gfx::ColorRef& color) {
    const gfx::Pixel p = image->pixelAtPoint(x, y);
    const gfx::RGBA c = color->rgba();
    auto near = [](int v, double want) { return std::abs(v - want * 255) <= 3; };
    return near(p.r, c.red) && near(p.g, c.green) && near(p.b, c.blue) && near(p.a, c.alpha);
}

}  // namespace artwork_test
