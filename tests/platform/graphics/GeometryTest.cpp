#include <gtest/gtest.h>

#include "graphics/Graphics.h"

using namespace gfx;

TEST(GraphicsGeometry, NegativeSizesReadAsStandardised) {
    Rect r{100, 0, -88, 44};
    EXPECT_EQ(r.minX(), 12);
    EXPECT_EQ(r.width(), 88);
    EXPECT_EQ(r.maxX(), 100);
    EXPECT_EQ(r, (Rect{12, 0, 88, 44}));
    EXPECT_EQ((Rect{0, 50, 10, -50}).minY(), 0);
}

TEST(GraphicsGeometry, SnappingRoundsHalvesUpRelativeToTheFrame) {
    EXPECT_EQ(snap(2.5), 3);
    EXPECT_EQ(snap(-2.5), -2);
    EXPECT_EQ(groupRect({0.5, 0.5, 100, 100}, 0.05, 0.05, 0.95, 0.95), (Rect{5.5, 5.5, 90, 90}));
    EXPECT_EQ(snappedSpan(0, 100, 0.025, 1).start, 3);
    EXPECT_EQ(snappedSpan(0, 10, 0.045, 1).start, 0);
    // Fractions 0 and 1 keep a fractional origin and take the size to whole points.
    EXPECT_EQ(groupRect({10.3, 20.6, 44.4, 44.5}, 0, 0, 1, 1), (Rect{10.3, 20.6, 44, 45}));
    EXPECT_EQ(groupRect({0, 0, 0.4, 0.5}, 0, 0, 1, 1).size, (Size{0, 1}));
    EXPECT_EQ(groupRect({50, 0, -40, 40}, 0, 0, 1, 1), (Rect{10, 0, 40, 40}));
}

TEST(GraphicsGeometry, HalfPixelSpansOfTheDeviceGlyphFrame) {
    auto glyphFrame = [](Rect frame) { return halfPixelGroupRect(frame, 0.02083, 0.02083, 0.97917, 0.97917); };
    EXPECT_EQ(glyphFrame({0, 0, 48, 48}), (Rect{0.5, 0.5, 47, 47}));
    EXPECT_EQ(glyphFrame({0, 0, 24, 24}), (Rect{0.5, 0.5, 23, 23}));
    EXPECT_EQ(glyphFrame({0, 0, 100, 100}), (Rect{2.5, 2.5, 95, 95}));
    EXPECT_EQ(glyphFrame({0, 0, 49, 49}), (Rect{1.5, 1.5, 46, 46}));
    Rect moved = glyphFrame({10.3, 0, 48, 48});
    EXPECT_DOUBLE_EQ(moved.origin.x, 10.8);
    EXPECT_EQ(moved.size, (Size{47, 47}));
}

TEST(GraphicsGeometry, GroupPointsAreUnsnappedFractions) {
    Point p = groupPoint({10.3, 20.6, 44, 45}, 0.5, 0.5);
    EXPECT_DOUBLE_EQ(p.x, 32.3);
    EXPECT_DOUBLE_EQ(p.y, 43.1);
    Point tick = groupPoint({10, 20, 40, 40}, 0.92653, 0.12127);
    EXPECT_DOUBLE_EQ(tick.x, 10 + 40 * 0.92653);
    EXPECT_DOUBLE_EQ(tick.y, 20 + 40 * 0.12127);
}

TEST(GraphicsColor, HueSaturationBrightnessRoundTrip) {
    ColorRef blue = Color::rgba(0.098, 0.529, 0.839, 1);
    HSBA hsb = blue->hsba();
    EXPECT_NEAR(hsb.hue, 0.5697, 1e-4);
    EXPECT_NEAR(hsb.saturation, 0.8832, 1e-4);
    EXPECT_DOUBLE_EQ(hsb.brightness, 0.839);
    RGBA back = Color::hsba(hsb.hue, hsb.saturation, hsb.brightness, hsb.alpha)->rgba();
    EXPECT_NEAR(back.red, 0.098, 1e-12);
    EXPECT_NEAR(back.green, 0.529, 1e-12);
    EXPECT_NEAR(back.blue, 0.839, 1e-12);
    EXPECT_EQ(Color::hsba(1.0, 1, 1, 1)->rgba().red, 1);  // hue 1 is red again
}

TEST(GraphicsColor, StockColoursAreSharedObjectsOfTheirOwn) {
    EXPECT_EQ(Color::whiteColor(), Color::whiteColor());
    EXPECT_NE(Color::whiteColor(), Color::rgba(1, 1, 1, 1));
    const RGBA clear = Color::clearColor()->rgba();  // black with alpha 0, as the platform's clear
    EXPECT_EQ(clear.red + clear.green + clear.blue + clear.alpha, 0);
    ColorRef faded = Color::blackColor()->withAlpha(0.32);
    EXPECT_EQ(faded->rgba().alpha, 0.32);
    EXPECT_EQ(Color::blackColor()->rgba().alpha, 1);
}

TEST(GraphicsPath, RoundedRectanglesClampTheirRadii) {
    BezierPath p = BezierPath::roundedRect({0, 0, 20, 10}, 50);
    EXPECT_EQ(p.controlPointBounds(), (Rect{0, 0, 20, 10}));
    // With the top corners only, both bottom corners are square points of the outline.
    BezierPath top = BezierPath::roundedRect({13, 12, 294, 70}, topLeft | topRight, {10, 10});
    int squareCorners = 0;
    for (const PathElement& e : top.elements())
        if (e.kind == PathElement::Kind::line && e.points[0].y == 82 && (e.points[0].x == 13 || e.points[0].x == 307))
            ++squareCorners;
    EXPECT_EQ(squareCorners, 2);
    EXPECT_EQ(top.controlPointBounds(), (Rect{13, 12, 294, 70}));
}

TEST(GraphicsPath, OvalIsFourCubicsInsideItsRectangle) {
    BezierPath oval = BezierPath::oval({3, 3, 45, 45});
    int curves = 0;
    for (const PathElement& e : oval.elements()) curves += e.kind == PathElement::Kind::curve;
    EXPECT_EQ(curves, 4);
    EXPECT_EQ(oval.elements().front().points[0], (Point{48, 25.5}));
    EXPECT_EQ(oval.controlPointBounds(), (Rect{3, 3, 45, 45}));
}
