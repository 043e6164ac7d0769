#pragma once
// Helpers for the artwork tests: run a routine on the recording backend or
// into an image, take a recorded path apart, and check a picture against a
// row of a family's table.

#include <cstdint>
#include <string>
#include <utility>
#include <array>
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

// ---- Outlines in short straight steps ---------------------------------------------
// Each line, curve and closing line of `path` as points from its start to its
// end, `steps` steps a segment.
// Every segment of the path as a cubic (start, controls, end): a line has its controls on
// its ends, and a close that returns from elsewhere is a line too.
std::vector<std::array<gfx::Point, 4>> cubicsOf(const gfx::BezierPath& path);
std::vector<std::vector<gfx::Point>> segmentSteps(const gfx::BezierPath& path, int steps = 32);
// The closed outline that a fill of the one-subpath `path` paints: its
// segments' points in order, ending on its first point again.
std::vector<gfx::Point> outlineOf(const gfx::BezierPath& path, int steps = 32);

double distanceToSegment(gfx::Point p, gfx::Point a, gfx::Point b);
// The narrowest distance between two outlines that do not cross, which lies
// at a corner of one of them.
double narrowestGap(const std::vector<gfx::Point>& a, const std::vector<gfx::Point>& b);
// How far a corner of either outline lies from the other at most.
double farthestApart(const std::vector<gfx::Point>& a, const std::vector<gfx::Point>& b);

// Palette colour name of `c`, "whiteColor" for the platform's white, or "other".
std::string colorName(const gfx::ColorRef& c);
// The colour that colorName() calls `name` ("whiteColor" or a palette name).
gfx::ColorRef colorNamed(const std::string& name);

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

// ---- Widgets: operations in one line, images with every argument ------------------
// What a routine did, for tables, ops joined by ", ": "save", "restore",
// "translate X Y", "scale SX SY" ("identity" for either that changes
// nothing), "shadow ALPHA DX DY BLUR" or "shadow none", "fill COLOUR",
// "stroke COLOUR WIDTH", "clip", "gradient FROM TO"; colours as colorName()
// gives them, "blackColor", "clearColor" or "rgba(R,G,B,A)". Colour changes
// show in the fills and strokes that use them.
std::string opsLine(const Recording& rec);

// Bounds of the control points of a fill or stroke in device space.
gfx::Rect deviceBounds(const gfx::RecordedOp& op);

// A widget drawn once, as its Part states it.
struct WidgetRow {
    const char* message;
    gfx::Rect frame;
    long flag;
    std::int64_t resizing;
    double fraction;
    const char* ops;                 // as opsLine() gives them
    std::vector<gfx::Rect> painted;  // deviceBounds() of each fill and stroke, in order
    const char* fillLeft;            // fill and stroke colours left behind
    const char* strokeLeft;
};

// Checks the row's ops and painted bounds, and that the routine leaves no
// saved state, transform or shadow behind, only the colours it names.
void checkWidgetRow(const WidgetRow& row);

// Renders `message` into `frame` of a new image of `size` at `scale`, with
// all of a routine's arguments.
gfx::ImageRef renderInFrame(const char* message, gfx::Size size, const gfx::Rect& frame, double scale, long flag = 0,
                            std::int64_t resizing = 0, double fraction = 0);

// A point of a rendered picture and its colour; null: transparent.
struct Probe {
    double x, y;
    gfx::ColorRef color;
    double minScale = 1;  // for features narrower than a point
};
// Renders `message` filling an image of `size` at the scales 1, 2 and 3 and
// checks every probe in each.
void checkProbes(const char* message, gfx::Size size, long flag, std::int64_t resizing, double fraction,
                 const std::vector<Probe>& probes);

// A point of a picture drawn in (0, 0, 100, 100) with `flag`, and what it
// must show there: a colour by colorNamed() name, or nothing (nullptr).
struct PixelProbe {
    const char* message;
    long flag;
    double x, y;
    const char* shows;
    double minScale = 1;  // for features narrower than a point
};
// Checks each probe on images rendered at scales 1, 2 and 3.
void checkPixelProbes(const std::vector<PixelProbe>& probes);

// The routine has its body, and its image renderer makes a 30 x 30 image
// with the picture in it (opaque near the bottom middle).
void checkImageRenderer(const char* message);

// ---- Subpaths -------------------------------------------------------------------
// The subpaths of `path` one by one, each a path of its own (for extents and
// first points that a table gives subpath by subpath).
std::vector<gfx::BezierPath> subpathsOf(const gfx::BezierPath& path);
// True when `p` ends one of the path's segments (an anchor of the outline).
bool hasAnchor(const gfx::BezierPath& path, gfx::Point p, double tolerance = 1e-9);

// One subpath of a table row: its first point (NaN where none is fixed) and
// its extent, both as fractions of the reference rectangle.
struct Piece {
    double x, y;
    Bounds extent;
};
// Checks the subpaths of `path` against `pieces`, in order: first points to
// within 1e-9 of the reference's size, extents to within `tolerance` (by
// default two places).
void checkPieces(const gfx::BezierPath& path, const std::vector<Piece>& pieces, const gfx::Rect& reference,
                 const std::string& where, double tolerance = 0.0051);

// A point of a circled icon (fractions of its size) that shows the circle's
// colour, or else the glyph's.
struct CircleProbe {
    double x, y;
    bool circle;
};

// Renders `message` at 160 x 160 points at 1x, 2x and 3x and checks each probe.
void checkCircleProbes(const char* message, long flag, const gfx::ColorRef& circle, const gfx::ColorRef& glyph,
                       const std::vector<CircleProbe>& probes);

// ---- Corners --------------------------------------------------------------------
// The anchors of the one-subpath `path` where its outline changes direction by
// more than `degrees`; wherever a segment runs on into the next along the
// same tangent there is none.
std::vector<gfx::Point> cornersOf(const gfx::BezierPath& path, double degrees = 1);

}  // namespace artwork_test

// ---- Curves between anchors, and their curvature -------------------------------------
namespace artwork_test {

// One cubic of an outline, in fractions of a reference rectangle.
struct Cubic {
    gfx::Point p0, c1, c2, p3;
};

// The curves of the outline from the segment that starts at the anchor `from`
// to the one that ends at the anchor `to` (both fractions of `reference`), in
// path order and on past the subpath's start where the way runs over it; the
// lines between them are left out. Empty when no such way exists.
std::vector<Cubic> curvesBetween(const gfx::BezierPath& path, const gfx::Rect& reference, gfx::Point from,
                                 gfx::Point to);

// The point of `c` at `t` in 0..1.
gfx::Point pointAt(const Cubic& c, double t);

// Signed curvature of `c` at `t` in 0..1, per unit of its coordinates: > 0
// where it turns clockwise on screen (y down).
double curvatureAt(const Cubic& c, double t);

}  // namespace artwork_test
