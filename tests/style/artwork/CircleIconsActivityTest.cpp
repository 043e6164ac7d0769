// The school and study icons drawn as what they show: the backpack's parts
// keep apart, its top sweeps on into the strap and it is the locked-school
// icon's bag; the book's pages are bent sheets, mirrored about the spine.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;

const char* const school = "drawCircleIconSchoolWithFrame:colored:";
const char* const schoolLocked = "drawCircleIconSchoolLockedWithFrame:colored:";
const char* const study = "drawCircleIconStudyWithFrame:colored:";

// The glyph's subpaths, drawn in (0, 0, 100, 100).
std::vector<gfx::BezierPath> glyphParts(const char* message) {
    return subpathsOf(record(message, {0, 0, 100, 100}, 1).fills.at(1).path);
}

std::vector<gfx::Point> mirrored(std::vector<gfx::Point> outline) {
    for (gfx::Point& p : outline) p.x = 100 - p.x;
    return outline;
}

// Top and bottom of a closed outline where it crosses the upright at x.
std::pair<double, double> spanAt(const std::vector<gfx::Point>& outline, double x) {
    double top = std::numeric_limits<double>::infinity(), bottom = -top;
    for (std::size_t i = 0; i + 1 < outline.size(); ++i) {
        const gfx::Point a = outline[i], b = outline[i + 1];
        if ((a.x - x) * (b.x - x) > 0 || a.x == b.x) continue;
        const double y = a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    return {top, bottom};
}

// Whether the outline, walked on from its point `from` to its point `to`,
// turns one way only.
bool bendsOneWay(const std::vector<gfx::Point>& outline, std::size_t from, std::size_t to) {
    const std::size_t n = outline.size() - 1;  // the last point repeats the first
    bool left = false, right = false;
    for (std::size_t i = from; i % n != to; ++i) {
        const gfx::Point a = outline[i % n], b = outline[(i + 1) % n], c = outline[(i + 2) % n];
        const double turn = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
        const double size = std::hypot(b.x - a.x, b.y - a.y) * std::hypot(c.x - b.x, c.y - b.y);
        if (size == 0) continue;
        left |= turn < -1e-6 * size;
        right |= turn > 1e-6 * size;
    }
    return !(left && right);
}

TEST(CircleIconsActivity, OutlinesTurnOnlyAtTheirCorners) {
    struct Row {
        const char* message;
        std::size_t subpath;
        std::size_t corners;
        const char* which;
    };
    const Row rows[] = {
        {school, 3, 4, "the loop's left foot, the two feet of its opening and the side panel's square foot"},
        {study, 0, 4, "a page's four corners: no rolled sides"},
        {study, 1, 4, "a page's four corners: no rolled sides"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.message) + " subpath " + std::to_string(row.subpath + 1) + ": " + row.which);
        const std::vector<gfx::Point> corners = cornersOf(glyphParts(row.message).at(row.subpath));
        std::string where;
        for (gfx::Point p : corners) where += " (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
        EXPECT_EQ(corners.size(), row.corners) << "corners at" << where;
    }
}

TEST(CircleIconsActivity, SchoolBagPartsKeepApartAndItsTopSweepsIntoTheStrap) {
    const std::vector<gfx::BezierPath> parts = glyphParts(school);
    ASSERT_EQ(parts.size(), 4u);
    std::vector<std::vector<gfx::Point>> outlines;
    for (const gfx::BezierPath& part : parts) outlines.push_back(outlineOf(part));
    struct Gap {
        std::size_t a, b;
        double atLeast;
        const char* what;
    };
    const Gap gaps[] = {
        {1, 3, 1.9, "the circle shows as a line between the front and the back"},
        {0, 1, 3, "the zip lies inside the pocket"},
        {2, 3, 2.5, "the gap under the strap lies inside the back"},
    };
    for (const Gap& gap : gaps) {
        SCOPED_TRACE(gap.what);
        EXPECT_GE(narrowestGap(outlines[gap.a], outlines[gap.b]), gap.atLeast);
    }
    // The back's outline between the loop's top and the strap's outermost
    // point (it runs anticlockwise, so from the latter up to the former) is
    // one sweep: no notch where a shoulder meets a dome.
    const std::vector<gfx::Point>& back = outlines[3];
    const auto top = std::min_element(back.begin(), back.end(), [](auto a, auto b) { return a.y < b.y; });
    const auto outer = std::max_element(back.begin(), back.end(), [](auto a, auto b) { return a.x < b.x; });
    EXPECT_TRUE(bendsOneWay(back, std::size_t(outer - back.begin()), std::size_t(top - back.begin())));
}

// The school and locked-school icons show one bag, point for point, with and
// without the padlock badge, wherever the frame puts them.
TEST(CircleIconsActivity, SchoolBagIsTheLockedSchoolBag) {
    for (const gfx::Rect& frame : {gfx::Rect{0, 0, 100, 100}, gfx::Rect{10.3, 20.7, 99.6, 101.2}}) {
        SCOPED_TRACE(std::to_string(frame.minX()) + ", " + std::to_string(frame.minY()));
        const gfx::BezierPath bag = record(school, frame, 1).fills.at(1).path;
        const gfx::BezierPath locked = record(schoolLocked, frame, 1).fills.at(1).path;
        EXPECT_TRUE(bag.elements() == locked.elements());
    }
}

TEST(CircleIconsActivity, StudyPagesAreBentSheetsMirroredAboutTheSpine) {
    const std::vector<gfx::BezierPath> parts = glyphParts(study);
    ASSERT_EQ(parts.size(), 4u);
    // A page is as tall everywhere across it: its top and bottom bend alike.
    for (std::size_t page : {0u, 1u}) {
        SCOPED_TRACE("page " + std::to_string(page + 1));
        const std::vector<gfx::Point> outline = outlineOf(parts[page]);
        const Bounds b = analyse(parts[page]).bounds;
        double shortest = std::numeric_limits<double>::infinity(), tallest = 0;
        for (int i = 0; i <= 20; ++i) {
            const auto [top, bottom] = spanAt(outline, b.minX + 0.5 + (b.maxX - b.minX - 1) * i / 20);
            shortest = std::min(shortest, bottom - top);
            tallest = std::max(tallest, bottom - top);
        }
        EXPECT_LT(tallest - shortest, 0.2);
    }
    // Left page and cover are the right ones mirrored.
    EXPECT_LT(farthestApart(mirrored(outlineOf(parts[0])), outlineOf(parts[1])), 0.01) << "pages";
    EXPECT_LT(farthestApart(mirrored(outlineOf(parts[3])), outlineOf(parts[2])), 0.01) << "covers";
}

}  // namespace
