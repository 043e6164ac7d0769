#include "ArtworkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>

namespace artwork_test {

using style::StyleKit;

Recording record(const char* message, const gfx::Rect& frame, long flag, std::int64_t resizing, double fraction) {
    gfx::RecordingContext rec;
    gfx::pushContext(rec);
    StyleKit::perform(message, frame, flag, resizing, fraction);
    gfx::popContext();
    Recording out;
    out.ops = rec.ops();
    for (const gfx::RecordedOp& op : rec.ops()) {
        if (op.kind == gfx::RecordedOp::Kind::fill)
            out.fills.push_back({op.path, op.state.fillColor});
        else if (op.kind != gfx::RecordedOp::Kind::setFillColor)
            ++out.otherOps;
    }
    out.finalState = rec.state();
    out.finalSaveDepth = rec.saveDepth();
    out.finalFillColor = rec.state().fillColor;
    return out;
}

namespace {

// Side of `p` relative to the line a -> b: > 0 left, < 0 right.
double cross(gfx::Point a, gfx::Point b, gfx::Point p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); }

// True when the segments a-b and c-d cross at one point inside both; touching
// at an end, or running along each other, is not crossing.
bool segmentsCross(gfx::Point a, gfx::Point b, gfx::Point c, gfx::Point d) {
    const double scale = std::max({std::abs(b.x - a.x), std::abs(b.y - a.y), std::abs(d.x - c.x), std::abs(d.y - c.y)});
    const double eps = 1e-9 * scale * scale;
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    return ((d1 > eps && d2 < -eps) || (d1 < -eps && d2 > eps)) && ((d3 > eps && d4 < -eps) || (d3 < -eps && d4 > eps));
}

// Crossings of a closed polyline with itself; neighbouring pieces share an end
// and never count.
int selfCrossings(const std::vector<gfx::Point>& points) {
    std::vector<std::pair<gfx::Point, gfx::Point>> pieces;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        if (points[i] != points[i + 1]) pieces.emplace_back(points[i], points[i + 1]);
    const std::size_t n = pieces.size();
    int crossings = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1) continue;  // the closing piece meets the first
            if (segmentsCross(pieces[i].first, pieces[i].second, pieces[j].first, pieces[j].second)) ++crossings;
        }
    return crossings;
}

// Parameters in (0, 1) where one coordinate of the cubic a, b, c, d turns: the
// roots of its derivative, a quadratic.
std::vector<double> turningPoints(double a, double b, double c, double d) {
    const double qa = -a + 3 * b - 3 * c + d, qb = 2 * (a - 2 * b + c), qc = b - a;
    std::vector<double> roots;
    const double scale = std::max({std::abs(qa), std::abs(qb), std::abs(qc)});
    if (scale == 0) return roots;
    if (std::abs(qa) <= 1e-12 * scale) {
        if (qb != 0) roots.push_back(-qc / qb);
    } else {
        const double disc = qb * qb - 4 * qa * qc;
        if (disc >= 0) {
            const double r = std::sqrt(disc);
            roots.push_back((-qb - r) / (2 * qa));
            roots.push_back((-qb + r) / (2 * qa));
        }
    }
    std::erase_if(roots, [](double t) { return !(t > 0 && t < 1); });
    return roots;
}

gfx::Point cubicAt(gfx::Point p0, gfx::Point c1, gfx::Point c2, gfx::Point p3, double t) {
    const double u = 1 - t;
    return {u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
            u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y};
}

}  // namespace

PathShape analyse(const gfx::BezierPath& path) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    PathShape out{{}, {inf, inf, -inf, -inf}};
    gfx::Point first{}, current{};
    std::vector<gfx::Point> outline;  // the current subpath, in short straight steps
    auto finish = [&] {
        if (!out.subpaths.empty()) out.subpaths.back().selfCrossings = selfCrossings(outline);
        outline.clear();
    };
    auto include = [&](gfx::Point p) {
        out.bounds = {std::min(out.bounds.minX, p.x), std::min(out.bounds.minY, p.y), std::max(out.bounds.maxX, p.x),
                      std::max(out.bounds.maxY, p.y)};
    };
    // Every segment is walked in short straight steps for the outline's signed
    // area (the direction it runs) and its crossings; the bounds take each
    // curve's true extrema as well, which the steps would cut short.
    auto step = [&](gfx::Point to) {
        out.subpaths.back().signedArea += (current.x * to.y - to.x * current.y) / 2;
        include(to);
        outline.push_back(to);
        current = to;
    };
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move:
                finish();
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
                for (double t : turningPoints(p0.x, c1.x, c2.x, p3.x)) include(cubicAt(p0, c1, c2, p3, t));
                for (double t : turningPoints(p0.y, c1.y, c2.y, p3.y)) include(cubicAt(p0, c1, c2, p3, t));
                for (int i = 1; i <= 32; ++i) step(cubicAt(p0, c1, c2, p3, i / 32.0));
                current = p3;  // exactly, not as computed
                break;
            }
            case gfx::PathElement::Kind::close:
                out.subpaths.back().endsOnStart = current == first;
                step(first);
                break;
        }
    }
    finish();
    return out;
}

std::vector<std::array<gfx::Point, 4>> cubicsOf(const gfx::BezierPath& path) {
    std::vector<std::array<gfx::Point, 4>> out;
    gfx::Point first{}, at{};
    auto add = [&](gfx::Point c1, gfx::Point c2, gfx::Point end) {
        out.push_back({at, c1, c2, end});
        at = end;
    };
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move: first = at = e.points[0]; break;
            case gfx::PathElement::Kind::line: add(at, e.points[0], e.points[0]); break;
            case gfx::PathElement::Kind::curve: add(e.points[0], e.points[1], e.points[2]); break;
            case gfx::PathElement::Kind::close:
                if (at != first) add(at, first, first);
                break;
        }
    }
    return out;
}

std::vector<std::vector<gfx::Point>> segmentSteps(const gfx::BezierPath& path, int steps) {
    std::vector<std::vector<gfx::Point>> out;
    for (const auto& [start, c1, c2, end] : cubicsOf(path)) {
        std::vector<gfx::Point>& points = out.emplace_back();
        for (int i = 0; i <= steps; ++i) points.push_back(cubicAt(start, c1, c2, end, double(i) / steps));
    }
    return out;
}

std::vector<gfx::Point> outlineOf(const gfx::BezierPath& path, int steps) {
    std::vector<gfx::Point> out;
    for (const std::vector<gfx::Point>& segment : segmentSteps(path, steps))
        out.insert(out.end(), segment.begin() + (out.empty() ? 0 : 1), segment.end());  // ends are shared
    if (!out.empty() && out.back() != out.front()) out.push_back(out.front());
    return out;
}

double distanceToSegment(gfx::Point p, gfx::Point a, gfx::Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double t = length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0;
    return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

namespace {

// Calls `keep` with each corner of either outline's distance to the other.
template <typename Keep>
void eachDistance(const std::vector<gfx::Point>& a, const std::vector<gfx::Point>& b, Keep keep) {
    for (const auto& [from, to] : {std::pair(&a, &b), std::pair(&b, &a)})
        for (gfx::Point p : *from) {
            double nearest = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i + 1 < to->size(); ++i)
                nearest = std::min(nearest, distanceToSegment(p, (*to)[i], (*to)[i + 1]));
            keep(nearest);
        }
}

}  // namespace

double narrowestGap(const std::vector<gfx::Point>& a, const std::vector<gfx::Point>& b) {
    double narrowest = std::numeric_limits<double>::infinity();
    eachDistance(a, b, [&](double d) { narrowest = std::min(narrowest, d); });
    return narrowest;
}

double farthestApart(const std::vector<gfx::Point>& a, const std::vector<gfx::Point>& b) {
    double farthest = 0;
    eachDistance(a, b, [&](double d) { farthest = std::max(farthest, d); });
    return farthest;
}

std::string colorName(const gfx::ColorRef& c) {
    if (c == gfx::Color::whiteColor()) return "whiteColor";
#define ARTWORK_TEST_COLOR_NAME(name) \
    if (c == StyleKit::name()) return #name;
    STYLEKIT_PALETTE(ARTWORK_TEST_COLOR_NAME)
#undef ARTWORK_TEST_COLOR_NAME
    return "other";
}

gfx::ColorRef colorNamed(const std::string& name) {
    return name == "whiteColor" ? gfx::Color::whiteColor() : StyleKit::color(name);
}

namespace {

struct ExpectedSubpath {
    int lines = 0, curves = 0;
    char turn = '*';
    bool crossesOnPurpose = false;
};

std::vector<ExpectedSubpath> parse(const char* text) {
    std::vector<ExpectedSubpath> out;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        ExpectedSubpath e;
        char plus = 0;
        std::istringstream one(item);
        one >> e.lines >> plus >> e.curves >> e.turn;
        e.crossesOnPurpose = item.back() == 'x';
        out.push_back(e);
    }
    return out;
}

}  // namespace

void checkShape(const Fill& fill, const Shape& want, const gfx::Rect& g, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(colorName(fill.color), want.color);
    EXPECT_EQ(fill.path.usesEvenOddFillRule, want.evenOdd);
    const PathShape shape = analyse(fill.path);
    const auto& got = shape.subpaths;
    const auto expected = parse(want.subpaths);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("subpath " + std::to_string(i + 1));
        EXPECT_EQ(got[i].lines, expected[i].lines);
        EXPECT_EQ(got[i].curves, expected[i].curves);
        EXPECT_TRUE(got[i].endsOnStart);
        if (expected[i].turn == 'c') {
            EXPECT_GT(got[i].signedArea, 0);
        } else if (expected[i].turn == 'a') {
            EXPECT_LT(got[i].signedArea, 0);
        }
        if (!expected[i].crossesOnPurpose) {
            EXPECT_EQ(got[i].selfCrossings, 0) << "the outline crosses itself";
        }
    }
    // The stated extents are rounded to two places.
    const Bounds& b = shape.bounds;
    const double tolerance = 0.0051;
    EXPECT_NEAR((b.minX - g.minX()) / g.width(), want.extent.minX, tolerance);
    EXPECT_NEAR((b.maxX - g.minX()) / g.width(), want.extent.maxX, tolerance);
    EXPECT_NEAR((b.minY - g.minY()) / g.height(), want.extent.minY, tolerance);
    EXPECT_NEAR((b.maxY - g.minY()) / g.height(), want.extent.maxY, tolerance);
}

void checkCircleIconRow(const CircleIconRow& row) {
    const gfx::Rect frame{0, 0, 100, 100};
    for (long flag : {0L, 1L, 2L, 3L}) {  // only the lowest bit counts
        const std::string where = std::string(row.message) + " flag " + std::to_string(flag);
        SCOPED_TRACE(where);
        const Recording rec = record(row.message, frame, flag);
        EXPECT_EQ(rec.otherOps, 0) << "bodies neither save, transform nor clip";
        ASSERT_EQ(rec.fills.size(), 1 + row.glyph.size());
        EXPECT_EQ(colorName(rec.fills[0].color), (flag & 1) || !row.circleClear ? row.circle : row.circleClear);
        // The circle is the oval in the group, here the frame itself.
        EXPECT_EQ(rec.fills[0].path.elements(), gfx::BezierPath::oval(frame).elements());
        for (std::size_t i = 0; i < row.glyph.size(); ++i)
            checkShape(rec.fills[1 + i], row.glyph[i], frame, "fill " + std::to_string(i + 1));
        EXPECT_EQ(colorName(rec.finalFillColor), row.glyph.back().color);
    }
}

gfx::ImageRef render(const char* message, gfx::Size size, long flag, double scale) {
    gfx::ImageContextScope scope(size, false, scale);
    StyleKit::perform(message, {0, 0, size.width, size.height}, flag);
    return scope.image();
}

bool pixelIs(const gfx::ImageRef& image, double x, double y, const gfx::ColorRef& color) {
    const gfx::Pixel p = image->pixelAtPoint(x, y);
    const gfx::RGBA c = color->rgba();
    auto near = [](int v, double want) { return std::abs(v - want * 255) <= 3; };
    return near(p.r, c.red) && near(p.g, c.green) && near(p.b, c.blue) && near(p.a, c.alpha);
}

std::string opsLine(const Recording& rec) {
    using Kind = gfx::RecordedOp::Kind;
    auto name = [](const gfx::ColorRef& c) {
        if (c == gfx::Color::blackColor()) return std::string("blackColor");
        if (c == gfx::Color::clearColor()) return std::string("clearColor");
        if (colorName(c) != "other") return colorName(c);
        const gfx::RGBA v = c->rgba();
        std::ostringstream rgba;
        rgba << "rgba(" << v.red << ',' << v.green << ',' << v.blue << ',' << v.alpha << ')';
        return rgba.str();
    };
    std::ostringstream out;
    for (const gfx::RecordedOp& op : rec.ops) {
        if (op.kind == Kind::setFillColor || op.kind == Kind::setStrokeColor) continue;
        if (out.tellp() > 0) out << ", ";
        const gfx::Transform& t = op.applied;
        const gfx::Shadow& s = op.state.shadow;
        switch (op.kind) {
            case Kind::transform:
                if (t == gfx::Transform{}) {
                    out << "identity";
                } else if (t.a == 1 && t.d == 1 && t.b == 0 && t.c == 0) {
                    out << "translate " << t.tx << ' ' << t.ty;
                } else if (t.tx == 0 && t.ty == 0 && t.b == 0 && t.c == 0) {
                    out << "scale " << t.a << ' ' << t.d;
                } else {
                    out << "concat";
                }
                break;
            case Kind::setShadow:
                if (!s.color) {
                    out << "shadow none";
                } else {
                    out << "shadow " << s.color->rgba().alpha << ' ' << s.offset.width << ' ' << s.offset.height
                        << ' ' << s.blurRadius;
                }
                break;
            case Kind::fill: out << "fill " << name(op.state.fillColor); break;
            case Kind::stroke: out << "stroke " << name(op.state.strokeColor) << ' ' << op.path.lineWidth; break;
            case Kind::gradient:
                out << "gradient " << name(op.gradientColors.at(0)) << ' ' << name(op.gradientColors.at(1));
                break;
            default: out << gfx::kindName(op.kind); break;
        }
    }
    return out.str();
}

gfx::Rect deviceBounds(const gfx::RecordedOp& op) {
    // The widgets only translate and scale, so the corners of the bounds map to corners.
    const gfx::Rect b = op.path.controlPointBounds();
    const gfx::Point a = op.state.ctm.apply(b.origin), c = op.state.ctm.apply({b.maxX(), b.maxY()});
    return gfx::Rect{a.x, a.y, c.x - a.x, c.y - a.y}.standardized();
}

void checkWidgetRow(const WidgetRow& row) {
    SCOPED_TRACE(std::string(row.message) + " in " + std::to_string(row.frame.size.width) + " x " +
                 std::to_string(row.frame.size.height) + ", flag " + std::to_string(row.flag) + ", resizing " +
                 std::to_string(row.resizing) + ", fraction " + std::to_string(row.fraction));
    const Recording rec = record(row.message, row.frame, row.flag, row.resizing, row.fraction);
    EXPECT_EQ(opsLine(rec), row.ops);
    std::vector<gfx::Rect> painted;
    for (const gfx::RecordedOp& op : rec.ops)
        if (op.kind == gfx::RecordedOp::Kind::fill || op.kind == gfx::RecordedOp::Kind::stroke)
            painted.push_back(deviceBounds(op));
    ASSERT_EQ(painted.size(), row.painted.size());
    for (std::size_t i = 0; i < painted.size(); ++i)
        for (auto [got, want] : {std::pair(painted[i].minX(), row.painted[i].minX()),
                                 {painted[i].minY(), row.painted[i].minY()},
                                 {painted[i].width(), row.painted[i].width()},
                                 {painted[i].height(), row.painted[i].height()}})
            EXPECT_NEAR(got, want, 1e-9) << "painted " << i + 1;
    EXPECT_EQ(rec.finalSaveDepth, 0);
    EXPECT_EQ(rec.finalState.ctm, gfx::Transform{});
    EXPECT_FALSE(rec.finalState.shadow.color);
    auto name = [](const gfx::ColorRef& c) { return c == gfx::Color::blackColor() ? "blackColor" : colorName(c); };
    EXPECT_EQ(name(rec.finalState.fillColor), row.fillLeft);
    EXPECT_EQ(name(rec.finalState.strokeColor), row.strokeLeft);
}

gfx::ImageRef renderInFrame(const char* message, gfx::Size size, const gfx::Rect& frame, double scale, long flag,
                            std::int64_t resizing, double fraction) {
    gfx::ImageContextScope scope(size, false, scale);
    StyleKit::perform(message, frame, flag, resizing, fraction);
    return scope.image();
}

void checkProbes(const char* message, gfx::Size size, long flag, std::int64_t resizing, double fraction,
                 const std::vector<Probe>& probes) {
    for (double scale : {1.0, 2.0, 3.0}) {
        const gfx::ImageRef image =
            renderInFrame(message, size, {0, 0, size.width, size.height}, scale, flag, resizing, fraction);
        for (const Probe& p : probes) {
            if (scale < p.minScale) continue;
            SCOPED_TRACE(std::string(message) + " flag " + std::to_string(flag) + " resizing " +
                         std::to_string(resizing) + " fraction " + std::to_string(fraction) + " scale " +
                         std::to_string(scale) + " at (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")");
            if (p.color) {
                EXPECT_TRUE(pixelIs(image, p.x, p.y, p.color)) << colorName(p.color);
            } else {
                EXPECT_EQ(image->pixelAtPoint(p.x, p.y).a, 0);
            }
        }
    }
}

void checkPixelProbes(const std::vector<PixelProbe>& probes) {
    for (const PixelProbe& p : probes)
        checkProbes(p.message, {100, 100}, p.flag, 0, 0, {{p.x, p.y, p.shows ? colorNamed(p.shows) : nullptr, p.minScale}});
}

void checkImageRenderer(const char* message) {
    SCOPED_TRACE(message);
    const StyleKit::Routine* routine = StyleKit::routine(message);
    ASSERT_NE(routine, nullptr);
    const gfx::ImageRef image = StyleKit::performImage(routine->imageMessage, {30, 30}, 1);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (gfx::Size{30, 30}));
    EXPECT_EQ(image->pixelAtPoint(15, 27).a, 255);
}


std::vector<gfx::BezierPath> subpathsOf(const gfx::BezierPath& path) {
    std::vector<gfx::BezierPath> out;
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move: out.emplace_back().moveTo(e.points[0]); break;
            case gfx::PathElement::Kind::line: out.back().lineTo(e.points[0]); break;
            case gfx::PathElement::Kind::curve: out.back().curveTo(e.points[2], e.points[0], e.points[1]); break;
            case gfx::PathElement::Kind::close: out.back().close(); break;
        }
    }
    return out;
}

bool hasAnchor(const gfx::BezierPath& path, gfx::Point p, double tolerance) {
    return std::any_of(path.elements().begin(), path.elements().end(), [&](const gfx::PathElement& e) {
        if (e.kind == gfx::PathElement::Kind::close) return false;
        const gfx::Point end = e.kind == gfx::PathElement::Kind::curve ? e.points[2] : e.points[0];
        return std::abs(end.x - p.x) <= tolerance && std::abs(end.y - p.y) <= tolerance;
    });
}

void checkPieces(const gfx::BezierPath& path, const std::vector<Piece>& pieces, const gfx::Rect& g,
                 const std::string& where, double tolerance) {
    SCOPED_TRACE(where);
    const std::vector<gfx::BezierPath> subpaths = subpathsOf(path);
    ASSERT_EQ(subpaths.size(), pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        SCOPED_TRACE("subpath " + std::to_string(i + 1));
        const Piece& want = pieces[i];
        if (!std::isnan(want.x)) {
            const gfx::Point first = subpaths[i].elements().front().points[0];
            EXPECT_NEAR(first.x, g.minX() + g.width() * want.x, 1e-9 * g.width());
            EXPECT_NEAR(first.y, g.minY() + g.height() * want.y, 1e-9 * g.height());
        }
        const Bounds b = analyse(subpaths[i]).bounds;
        EXPECT_NEAR((b.minX - g.minX()) / g.width(), want.extent.minX, tolerance);
        EXPECT_NEAR((b.maxX - g.minX()) / g.width(), want.extent.maxX, tolerance);
        EXPECT_NEAR((b.minY - g.minY()) / g.height(), want.extent.minY, tolerance);
        EXPECT_NEAR((b.maxY - g.minY()) / g.height(), want.extent.maxY, tolerance);
    }
}

void checkCircleProbes(const char* message, long flag, const gfx::ColorRef& circle, const gfx::ColorRef& glyph,
                       const std::vector<CircleProbe>& probes) {
    std::vector<Probe> points;
    for (const CircleProbe& p : probes) points.push_back({p.x * 160, p.y * 160, p.circle ? circle : glyph});
    checkProbes(message, {160, 160}, flag, 0, 0, points);
}

// ---- Corners --------------------------------------------------------------------

std::vector<gfx::Point> cornersOf(const gfx::BezierPath& path, double degrees) {
    // Zero-length segments have no direction: left out.
    std::vector<std::array<gfx::Point, 4>> segments = cubicsOf(path);
    std::erase_if(segments, [](const auto& s) { return s[0] == s[1] && s[0] == s[2] && s[0] == s[3]; });
    // The direction a segment leaves its start along, and arrives at its end along.
    auto leaving = [](const std::array<gfx::Point, 4>& s) {
        const gfx::Point to = s[1] != s[0] ? s[1] : s[2] != s[0] ? s[2] : s[3];
        return std::atan2(to.y - s[0].y, to.x - s[0].x);
    };
    auto arriving = [](const std::array<gfx::Point, 4>& s) {
        const gfx::Point from = s[2] != s[3] ? s[2] : s[1] != s[3] ? s[1] : s[0];
        return std::atan2(s[3].y - from.y, s[3].x - from.x);
    };
    std::vector<gfx::Point> corners;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const auto& next = segments[(i + 1) % segments.size()];
        const double turn = std::remainder(leaving(next) - arriving(segments[i]), 2 * std::numbers::pi);
        if (std::abs(turn) * 180 / std::numbers::pi > degrees) corners.push_back(next[0]);
    }
    return corners;
}

}  // namespace artwork_test

// ---- Curves between anchors, and their curvature -------------------------------------
namespace artwork_test {

std::vector<Cubic> curvesBetween(const gfx::BezierPath& path, const gfx::Rect& reference, gfx::Point from,
                                 gfx::Point to) {
    auto fraction = [&](gfx::Point p) {
        return gfx::Point{(p.x - reference.minX()) / reference.width(), (p.y - reference.minY()) / reference.height()};
    };
    auto near = [](gfx::Point a, gfx::Point b) { return std::hypot(a.x - b.x, a.y - b.y) < 1e-7; };
    struct Segment {
        bool curve;
        Cubic points;
    };
    std::vector<Segment> subpath;
    gfx::Point first{}, at{};
    std::vector<Cubic> found;
    // Walks the finished subpath round from `from` to `to`; false when it holds no such way.
    auto search = [&] {
        for (std::size_t i = 0; i < subpath.size(); ++i) {
            if (!near(subpath[i].points.p0, from)) continue;
            for (std::size_t n = 0; n < subpath.size(); ++n) {
                const Segment& s = subpath[(i + n) % subpath.size()];
                if (s.curve) found.push_back(s.points);
                if (near(s.points.p3, to)) return true;
            }
            found.clear();
        }
        return false;
    };
    for (const gfx::PathElement& e : path.elements()) {
        switch (e.kind) {
            case gfx::PathElement::Kind::move:
                first = at = fraction(e.points[0]);
                subpath.clear();
                break;
            case gfx::PathElement::Kind::line: {
                const gfx::Point end = fraction(e.points[0]);
                subpath.push_back({false, {at, at, end, end}});
                at = end;
                break;
            }
            case gfx::PathElement::Kind::curve: {
                const gfx::Point end = fraction(e.points[2]);
                subpath.push_back({true, {at, fraction(e.points[0]), fraction(e.points[1]), end}});
                at = end;
                break;
            }
            case gfx::PathElement::Kind::close:
                if (at != first) subpath.push_back({false, {at, at, first, first}});
                if (search()) return found;
                at = first;
                break;
        }
    }
    return {};
}

gfx::Point pointAt(const Cubic& c, double t) { return cubicAt(c.p0, c.c1, c.c2, c.p3, t); }

double curvatureAt(const Cubic& c, double t) {
    const double u = 1 - t;
    auto step = [](gfx::Point a, gfx::Point b) { return gfx::Point{b.x - a.x, b.y - a.y}; };
    const gfx::Point d0 = step(c.p0, c.c1), d1 = step(c.c1, c.c2), d2 = step(c.c2, c.p3);
    const gfx::Point v{3 * (u * u * d0.x + 2 * u * t * d1.x + t * t * d2.x),
                       3 * (u * u * d0.y + 2 * u * t * d1.y + t * t * d2.y)};
    const gfx::Point a{6 * (u * (d1.x - d0.x) + t * (d2.x - d1.x)), 6 * (u * (d1.y - d0.y) + t * (d2.y - d1.y))};
    return (v.x * a.y - v.y * a.x) / std::pow(std::hypot(v.x, v.y), 3);
}

}  // namespace artwork_test
