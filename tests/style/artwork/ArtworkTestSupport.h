#pragma once
// Helpers for the artwork tests: run a routine on the recording backend or
// into an image, and take a recorded path apart.

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

// The fills that `message` makes, in painter's order, and what else it did.
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
    bool endsOnStart = false;  // closed, its last segment ending exactly on its first point
    double signedArea = 0;     // > 0: clockwise on screen (y down)
    std::pair<int, int> counts() const { return {lines, curves}; }
};

struct PathShape {
    std::vector<Subpath> subpaths;
    Bounds bounds;  // of the drawn outline, not of the control points
};
PathShape analyse(const gfx::BezierPath& path);

// Palette colour name of `c`, "whiteColor" for the platform's white, or "other".
std::string colorName(const gfx::ColorRef& c);

// Renders `message` into a new image of `size` at scale 1.
gfx::ImageRef render(const char* message, gfx::Size size, long flag = 0);
bool pixelIs(const gfx::ImageRef& image, double x, double y, const gfx::ColorRef& color);

}  // namespace artwork_test
