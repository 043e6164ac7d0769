#include "OutlineGap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace artwork_test {

std::vector<std::vector<gfx::Point>> segmentSteps(const gfx::BezierPath& path, int steps) {
    std::vector<std::vector<gfx::Point>> out;
    gfx::Point at{};
    for (const gfx::PathElement& e : path.elements()) {
        if (e.kind == gfx::PathElement::Kind::move) at = e.points[0];
        if (e.kind != gfx::PathElement::Kind::line && e.kind != gfx::PathElement::Kind::curve) continue;
        const bool curve = e.kind == gfx::PathElement::Kind::curve;
        const gfx::Point c1 = curve ? e.points[0] : at, c2 = curve ? e.points[1] : e.points[0];
        const gfx::Point end = curve ? e.points[2] : e.points[0];
        std::vector<gfx::Point>& points = out.emplace_back();
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps, u = 1 - t;
            points.push_back({u * u * u * at.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * end.x,
                              u * u * u * at.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * end.y});
        }
        at = end;
    }
    return out;
}

namespace {

double distanceToPiece(gfx::Point p, gfx::Point a, gfx::Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0;
    return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Calls `keep` with each point of either outline's distance to the other.
template <typename Keep>
void eachDistance(const gfx::BezierPath& a, const gfx::BezierPath& b, Keep keep) {
    const auto stepsA = segmentSteps(a), stepsB = segmentSteps(b);
    for (const auto& [from, to] : {std::pair(&stepsA, &stepsB), std::pair(&stepsB, &stepsA)})
        for (const auto& segment : *from)
            for (gfx::Point p : segment) {
                double nearest = std::numeric_limits<double>::infinity();
                for (const auto& other : *to)
                    for (std::size_t i = 0; i + 1 < other.size(); ++i)
                        nearest = std::min(nearest, distanceToPiece(p, other[i], other[i + 1]));
                keep(nearest);
            }
}

}  // namespace

double narrowestGap(const gfx::BezierPath& a, const gfx::BezierPath& b) {
    double narrowest = std::numeric_limits<double>::infinity();
    eachDistance(a, b, [&](double d) { narrowest = std::min(narrowest, d); });
    return narrowest;
}

double farthestApart(const gfx::BezierPath& a, const gfx::BezierPath& b) {
    double farthest = 0;
    eachDistance(a, b, [&](double d) { farthest = std::max(farthest, d); });
    return farthest;
}

}  // namespace artwork_test
