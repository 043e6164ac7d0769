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

PathShape analyse(const gfx::BezierPath& path) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    PathShape out{{}, {inf, inf, -inf, -inf}};
    gfx::Point first{}, current{};
    // Every segment is walked in short straight steps: for the outline's
    // bounds and for its signed area (the direction it runs).
    auto step = [&](gfx::Point to) {
        out.subpaths.back().signedArea += (current.x * to.y - to.x * current.y) / 2;
        out.bounds = {std::min(out.bounds.minX, to.x), std::min(out.bounds.minY, to.y),
                      std::max(out.bounds.maxX, to.x), std::max(out.bounds.maxY, to.y)};
        current = to;
    };
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move:
                out.subpaths.emplace_back();
                first = current = e.points[0];
                step(first);
                break;
            case gfx::PathElement::Kind::line:
                ++out.subpaths.back().lines;
                step(e.points[0]);
                break;
            case gfx::PathElement::Kind::curve: {
                ++out.subpaths.back().curves;
                const gfx::Point p0 = current, c1 = e.points[0], c2 = e.points[1], p3 = e.points[2];
                for (int i = 1; i <= 32; ++i) {
                    const double t = i / 32.0, u = 1 - t;
                    step({u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
                          u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y});
                }
                current = p3;  // exactly, not as computed
                break;
            }
            case gfx::PathElement::Kind::close:
                out.subpaths.back().endsOnStart = current == first;
                step(first);
                break;
        }
    }
    return out;
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
