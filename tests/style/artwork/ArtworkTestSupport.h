#pragma once
// Helpers for the artwork tests: run a routine on the recording backend or
// into an image, take a recorded path apart, and check a picture against a
// row of a family's table.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/Graphics.h"
#include "style/StyleKit.h"

namespace artwork_test {

struct Fill {
    gfx::BezierPath path;
    gfx::ColorRef color;
};

// What `message` did, in painter's order.
struct Recording {
    std::vector<gfx::RecordedOp> ops;  // everything
    std::vector<Fill> fills;           // the fills alone
    gfx::GraphicsState finalState;     // what the routine left behind
    int finalSaveDepth = 0;
    gfx::ColorRef finalFillColor;
    int otherOps = 0;  // anything but fills and fill-colour changes
};
Recording record(const char* message, const gfx::Rect& frame, long flag = 0, std::int64_t resizing = 0,
                 double fraction = 0);

struct Bounds {
    double minX, minY, maxX, maxY;
};

struct Subpath {
    int lines = 0, curves = 0;
    bool endsOnStart = false;  // closed, its last segment ending exactly on its first point
    double signedArea = 0;     // > 0: clockwise on screen (y down)
    int selfCrossings = 0;     // places where the outline crosses itself
    std::pair<int, int> counts() const { return {lines, curves}; }
};

struct PathShape {
    std::vector<Subpath> subpaths;
    Bounds bounds;  // of the drawn outline, not of the control points
};
PathShape analyse(const gfx::BezierPath& path);

// Palette colour name of `c`, "whiteColor" for the platform's white, or "other".
std::string colorName(const gfx::ColorRef& c);

// ---- Table rows ---------------------------------------------------------------
// One filled shape of a picture as its Part states it.
struct Shape {
    const char* color;  // as colorName() gives it
    // One entry per subpath: "lines+curves" and a direction, c (clockwise on
    // screen), a (anticlockwise) or * (either); a trailing x marks an outline
    // that its Part makes cross itself on purpose. Every other outline must
    // not cross itself.
    const char* subpaths;
    Bounds extent;  // fractions of the reference rectangle, to two places
    bool evenOdd = false;
};

// Checks one fill against its Shape, with extents taken against `reference`.
void checkShape(const Fill& fill, const Shape& want, const gfx::Rect& reference, const std::string& where);

// A circled icon: the circle (in the group) first, then the glyph's fills.
struct CircleIconRow {
    const char* message;
    const char* circle;       // with the flag set, or the only colour
    const char* circleClear;  // with the flag clear; nullptr: no flag
    std::vector<Shape> glyph;
};

// Checks a circled icon in the frame (0, 0, 100, 100) for the flag values 0
// to 3: fills, colours, structure, extents, and that it neither saves,
// transforms nor clips and leaves its last glyph colour as the fill colour.
void checkCircleIconRow(const CircleIconRow& row);

// ---- Images ---------------------------------------------------------------------
// Renders `message` into a new image of `size` at `scale`.
gfx::ImageRef render(const char* message, gfx::Size size, long flag = 0, double scale = 1);
bool pixelIs(const gfx::ImageRef& image, double x, double y, const gfx::ColorRef& color);

// ---- Outlines one by one ------------------------------------------------------
// The subpaths of `path`, each as a path of its own (for per-outline extents).
std::vector<gfx::BezierPath> subpathsOf(const gfx::BezierPath& path);

// One outline's extent and, where stated, its first point, as fractions of a
// reference rectangle.
struct Outline {
    Bounds extent;
    std::optional<gfx::Point> first;
};
// Checks every outline of `path` in order, to within `tolerance` (a fraction).
void checkOutlines(const gfx::BezierPath& path, const std::vector<Outline>& want, const gfx::Rect& reference,
                   double tolerance, const std::string& where);

}  // namespace artwork_test
