#pragma once
// Helpers for the artwork tests: run a routine on the recording backend and
// read back its fills, and split a recorded path into subpaths.

#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "style/StyleKit.h"

namespace artwork_test {

struct Fill {
    gfx::BezierPath path;
    gfx::ColorRef color;
};

// The fills that `message` makes for `frame` and `flag`, in painter's order,
// and the fill colour left in the context afterwards.
struct Recording {
    std::vector<Fill> fills;
    gfx::ColorRef finalFillColor;
    int otherOps = 0;  // anything but fills and fill-colour changes
};
Recording record(const char* message, const gfx::Rect& frame, long flag = 0);

struct Bounds {
    double minX, minY, maxX, maxY;
};

struct Subpath {
    int lines = 0, curves = 0;
    bool closed = false;
    bool endsOnStart = false;  // last segment ends exactly on the first point
    double signedArea = 0;     // > 0: clockwise on screen (y down)
    gfx::Point first;
    Bounds bounds;             // of the drawn curve, not of the control points
};
std::vector<Subpath> subpaths(const gfx::BezierPath& path);
Bounds bounds(const gfx::BezierPath& path);

// Palette colour by message name, or the platform's "whiteColor".
gfx::ColorRef namedColor(const std::string& name);
std::string colorName(const gfx::ColorRef& c);

// Renders `message` into a new image of `size` at scale 1.
gfx::ImageRef render(const char* message, gfx::Size size, long flag = 0);
bool pixelIs(const gfx::ImageRef& image, double x, double y, const gfx::ColorRef& color);

}  // namespace artwork_test
