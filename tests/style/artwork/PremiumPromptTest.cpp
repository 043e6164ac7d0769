// The premium prompt: five grey layers in design coordinates, fitted into the
// frame by a resizing behaviour and placed about the fitted origin; the kit's
// cached image moves its context first so the whole picture shows.

#include <gtest/gtest.h>

#include "ArtworkTestSupport.h"

namespace {

using namespace artwork_test;
using gfx::RecordedOp;
using style::StyleKit;

constexpr const char* prompt = "drawIconPremiumPrompt1WithFrame:resizing:";

// Layers in inner coordinates (points of the design, from (7.45, 6.45)).
const std::vector<Shape> layers = {
    {"other", "7+6*", {-22.00, -22.45, -9.48, 1.96}},                                // left page
    {"other", "9+6*", {-25.50, -18.29, -11.59, 2.69}},                               // left cover
    {"other", "6+2*", {5.60, -17.53, 7.55, -4.75}},                                  // right cover
    {"other", "11+11*", {-8.12, -22.45, 4.32, 1.26}},                                // right page
    {"other", "11+17a 25+11c 5+6c 4+5c", {-7.60, -3.81, 12.64, 9.95}},               // controller
};

// Where the inner origin lands in the context, and the scale there.
gfx::Transform innerTransform(const Recording& rec) {
    for (const RecordedOp& op : rec.ops)
        if (op.kind == RecordedOp::Kind::fill) return op.state.ctm;
    return {};
}

TEST(PremiumPrompt, FiveGreyLayersInsideTwoSavedStates) {
    for (std::int64_t resizing : {0, 1, 2, 3}) {
        SCOPED_TRACE("resizing " + std::to_string(resizing));
        const Recording rec = record(prompt, {0, 0, 44, 44}, 0, resizing);
        ASSERT_EQ(rec.fills.size(), layers.size());
        for (std::size_t i = 0; i < layers.size(); ++i) {
            checkShape(rec.fills[i], layers[i], {0, 0, 1, 1}, "layer " + std::to_string(i + 1));
            // The parametric colour's brightness at no saturation: opaque white.
            const gfx::RGBA c = rec.fills[i].color->rgba();
            EXPECT_EQ(c.red, 1);
            EXPECT_EQ(c.green, 1);
            EXPECT_EQ(c.blue, 1);
            EXPECT_EQ(c.alpha, 1);
            EXPECT_EQ(rec.fills[i].color, rec.fills[0].color) << "one colour for every layer";
        }
        // The frame equals the design: drawn at scale 1, the inner origin at (7.45, 6.45).
        EXPECT_EQ(innerTransform(rec), (gfx::Transform{1, 0, 0, 1, 7.45, 6.45}));
        // Everything is undone: transform, fill colour, both saved states.
        EXPECT_EQ(rec.finalSaveDepth, 0);
        EXPECT_EQ(rec.finalState.ctm, gfx::Transform{});
        EXPECT_EQ(rec.finalFillColor, gfx::Color::blackColor());  // the context's own, as it was
        int saves = 0, restores = 0;
        for (const RecordedOp& op : rec.ops) {
            saves += op.kind == RecordedOp::Kind::save;
            restores += op.kind == RecordedOp::Kind::restore;
            EXPECT_NE(op.kind, RecordedOp::Kind::stroke);
            EXPECT_NE(op.kind, RecordedOp::Kind::clip);
        }
        EXPECT_EQ(saves, 2);
        EXPECT_EQ(restores, 2);
    }
}

TEST(PremiumPrompt, ControlPointsStayExactlyAsWritten) {
    // The right cover's outline, in full, with its zero-length closing line.
    const Recording rec = record(prompt, {0, 0, 44, 44});
    const auto& e = rec.fills.at(2).path.elements();
    ASSERT_EQ(e.size(), 10u);
    EXPECT_EQ(e[0].points[0], (gfx::Point{7.55, -4.83}));
    EXPECT_EQ(e[3].points[2], (gfx::Point{6.35, -17.53}));
    EXPECT_EQ(e[3].points[0], (gfx::Point{7.46, -17.00}));
    EXPECT_EQ(e[8].points[0], (gfx::Point{7.55, -4.83}));
}

TEST(PremiumPrompt, ResizingBehavioursPlaceTheInnerOrigin) {
    struct Case {
        gfx::Rect frame;
        std::int64_t resizing;
        gfx::Transform inner;
    };
    const Case cases[] = {
        {{0, 0, 88, 44}, 0, {1, 0, 0, 1, 29.45, 6.45}},
        {{0, 0, 88, 44}, 3, {1, 0, 0, 1, 29.45, 6.45}},
        {{0, 0, 88, 44}, 1, {2, 0, 0, 2, 14.9, -22 + 12.9}},
        {{0, 0, 88, 44}, 2, {2, 0, 0, 1, 14.9, 6.45}},
        {{10, 20, 22, 22}, 0, {0.5, 0, 0, 0.5, 13.725, 23.225}},
        {{98, 20, -88, 44}, 0, {1, 0, 0, 1, 39.45, 26.45}},  // standardised: (10, 20, 88, 44)
        {{0, 0, 0, 0}, 1, {1, 0, 0, 1, 7.45, 6.45}},          // the zero frame draws at design size
    };
    for (const Case& c : cases) {
        const gfx::Transform t = innerTransform(record(prompt, c.frame, 0, c.resizing));
        EXPECT_NEAR(t.a, c.inner.a, 1e-12);
        EXPECT_NEAR(t.d, c.inner.d, 1e-12);
        EXPECT_NEAR(t.tx, c.inner.tx, 1e-12);
        EXPECT_NEAR(t.ty, c.inner.ty, 1e-12);
    }
}

// Draws the picture as the cached image does: moved by (21, 22) first.
gfx::ImageRef movedPicture(double scale) {
    gfx::ImageContextScope scope({44, 44}, false, scale);
    gfx::currentContext()->translate(21, 22);
    StyleKit::drawIconPremiumPrompt1WithFrame({0, 0, 44, 44}, StyleKit::ResizingBehavior::aspectFit);
    return scope.image();
}

TEST(PremiumPrompt, CachedImageHoldsTheWholePicture) {
    const gfx::ImageRef cached = StyleKit::imageOfIconPremiumPrompt1();
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached, StyleKit::imageOfIconPremiumPrompt1());
    EXPECT_EQ(cached->size(), (gfx::Size{44, 44}));
    const auto white = gfx::Color::rgba(1, 1, 1, 1), clear = gfx::Color::rgba(0, 0, 0, 0);
    for (double scale : {1.0, 2.0, 3.0, cached->scale()}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const gfx::ImageRef image = scale == cached->scale() ? cached : movedPicture(scale);
        // The picture spans (2.95, 6.00) to (41.09, 38.40) of the image.
        EXPECT_TRUE(pixelIs(image, 3.5, 20, white)) << "left cover";
        EXPECT_TRUE(pixelIs(image, 40.5, 34, white)) << "the controller's right grip";
        EXPECT_TRUE(pixelIs(image, 10, 10, white)) << "the left page's outer top corner";
        EXPECT_TRUE(pixelIs(image, 1.5, 20, clear));
        EXPECT_TRUE(pixelIs(image, 42.5, 30, clear));
        EXPECT_TRUE(pixelIs(image, 22, 3, clear));
        // The pad and a button stay open; the controller keeps clear of the page.
        EXPECT_TRUE(pixelIs(image, 26.9, 30.7, clear)) << "pad";
        EXPECT_TRUE(pixelIs(image, 36.4, 29.5, clear)) << "upper button";
        EXPECT_TRUE(pixelIs(image, 30.5, 24.5, clear)) << "gap above the controller";
        // The picture drawn into the frame directly sits about its origin.
        const gfx::ImageRef direct = render(prompt, {44, 44}, 0, scale);
        EXPECT_TRUE(pixelIs(direct, 17, 10, white)) << "controller";
        EXPECT_TRUE(pixelIs(direct, 30, 30, clear));
    }
}

}  // namespace
