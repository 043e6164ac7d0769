#include <gtest/gtest.h>

#include <thread>

#include "graphics/Graphics.h"

using namespace gfx;

namespace {

// Draws with `draw` into a fresh image of `size` points at `scale`.
template <class Draw>
ImageRef render(Size size, double scale, Draw&& draw) {
    ImageContextScope scope(size, false, scale);
    draw(*currentContext());
    return scope.image();
}

void fill(Context& c, const Rect& r, ColorRef color) {
    c.setFillColor(std::move(color));
    c.fillPath(BezierPath::rect(r));
}

}  // namespace

TEST(GraphicsImageContext, SizeScaleAndTransparentBackground) {
    setScreenScale(2);
    ImageRef image = render({30, 20}, 0, [](Context& c) { fill(c, {10, 10, 5, 5}, Color::blackColor()); });
    EXPECT_EQ(image->size(), (Size{30, 20}));
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->pixelWidth(), 60);
    EXPECT_EQ(image->pixelHeight(), 40);
    EXPECT_EQ(image->pixelAtPoint(1, 1).a, 0);
    EXPECT_EQ(image->pixelAtPoint(12, 12), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(currentContext(), nullptr);
}

TEST(GraphicsImageContext, EmptyOrNegativeSizesGiveEmptyImages) {
    for (Size size : {Size{0, 0}, Size{-5, 10}, Size{10, 0}, Size{1e9, 10}, Size{NAN, 5}}) {
        ImageRef image = render(size, 1, [](Context& c) { fill(c, {0, 0, 10, 10}, Color::blackColor()); });
        ASSERT_TRUE(image);
        EXPECT_TRUE(image->isEmpty());
        EXPECT_EQ(image->pixelWidth(), 0);
        EXPECT_EQ(image->pixel(0, 0).a, 0);
    }
}

TEST(GraphicsImageContext, ContextsArePerThread) {
    ImageContextScope outer({10, 10}, false, 1);
    Context* mine = currentContext();
    Context* theirs = mine;
    std::thread([&] { theirs = currentContext(); }).join();
    EXPECT_NE(mine, nullptr);
    EXPECT_EQ(theirs, nullptr);
}

TEST(GraphicsFill, EvenOddLeavesAHoleWhereWindingFills) {
    auto nested = [](bool evenOdd) {
        BezierPath p = BezierPath::rect({0, 0, 30, 30});
        p.append(BezierPath::rect({10, 10, 10, 10}));  // same direction as the outline
        p.usesEvenOddFillRule = evenOdd;
        return render({30, 30}, 1, [&](Context& c) {
            c.setFillColor(Color::blackColor());
            c.fillPath(p);
        });
    };
    EXPECT_EQ(nested(false)->pixel(15, 15).a, 255);
    EXPECT_EQ(nested(true)->pixel(15, 15).a, 0);
    EXPECT_EQ(nested(true)->pixel(5, 5).a, 255);
}

TEST(GraphicsShadow, DrawnUnderTheShapeInBaseSpace) {
    // Scale 2 image, shape drawn under a further 2x transform: the offset stays 10 points.
    ImageRef image = render({60, 60}, 2, [](Context& c) {
        c.scale(2, 2);
        c.setShadow({0, 10}, 0, Color::blackColor());
        fill(c, {5, 5, 10, 10}, Color::whiteColor());  // covers 10...30 points
    });
    EXPECT_EQ(image->pixelAtPoint(20, 20), (Pixel{255, 255, 255, 255}));  // shape over its shadow
    EXPECT_EQ(image->pixelAtPoint(20, 35), (Pixel{0, 0, 0, 255}));        // shadow 10 points lower
    EXPECT_EQ(image->pixelAtPoint(20, 45).a, 0);                          // not 20 points lower
    EXPECT_EQ(image->pixelAtPoint(20, 5).a, 0);                           // positive height goes down
}

TEST(GraphicsShadow, BlurSoftensTheEdgeAndGlobalAlphaScalesTheColour) {
    ImageRef image = render({40, 40}, 1, [](Context& c) {
        c.setAlpha(0.5);
        c.setShadow({20, 0}, 6, Color::blackColor());
        fill(c, {0, 10, 10, 20}, Color::blackColor());  // its shadow lies at 20...30
    });
    std::uint8_t centre = image->pixel(25, 20).a, rim = image->pixel(30, 20).a, far = image->pixel(38, 20).a;
    EXPECT_NEAR(centre, 128 * 0.92, 12);  // shadow colour times the global alpha, blurred a little
    EXPECT_GT(rim, 20);
    EXPECT_LT(rim, centre);
    EXPECT_LT(far, rim);
    EXPECT_EQ(image->pixel(15, 2).a, 0);

    // A clear shape throws no shadow: the shadow follows what is drawn.
    ImageRef clear = render({40, 40}, 1, [](Context& c) {
        c.setShadow({0, 0}, 6, Color::blackColor());
        fill(c, {10, 10, 20, 20}, Color::clearColor());
    });
    EXPECT_EQ(clear->pixel(20, 20).a, 0);
    EXPECT_EQ(clear->pixel(8, 20).a, 0);

    // Absurd blurs and offsets neither crash nor hide the shape.
    ImageRef wild = render({40, 40}, 1, [](Context& c) {
        c.setShadow({1e12, -1e12}, 1e9, Color::blackColor());
        fill(c, {10, 10, 20, 20}, Color::whiteColor());
        c.setShadow({0, 0}, 1e12, Color::blackColor());
        fill(c, {10, 10, 20, 20}, Color::whiteColor());
    });
    EXPECT_EQ(wild->pixel(20, 20), (Pixel{255, 255, 255, 255}));
}

TEST(GraphicsState, GlobalAlphaReplacesAndRestores) {
    ImageRef image = render({20, 10}, 1, [](Context& c) {
        c.setAlpha(0.5);
        c.setAlpha(0.5);  // still a half, not a quarter
        fill(c, {0, 0, 10, 10}, Color::blackColor());
        c.saveGState();
        c.setAlpha(0.25);
        c.restoreGState();
        fill(c, {10, 0, 10, 10}, Color::blackColor());
    });
    EXPECT_NEAR(image->pixel(5, 5).a, 128, 1);
    EXPECT_NEAR(image->pixel(15, 5).a, 128, 1);
}

TEST(GraphicsState, TransparencyLayerIsCompositedOnce) {
    ImageRef image = render({30, 10}, 1, [](Context& c) {
        c.setAlpha(0.5);
        c.beginTransparencyLayer();
        fill(c, {0, 0, 20, 10}, Color::blackColor());
        fill(c, {10, 0, 20, 10}, Color::blackColor());  // overlap 10...20
        c.endTransparencyLayer();
    });
    EXPECT_NEAR(image->pixel(5, 5).a, 128, 1);
    EXPECT_NEAR(image->pixel(15, 5).a, 128, 1);  // not 191: the overlap is not blended twice
    EXPECT_NEAR(image->pixel(25, 5).a, 128, 1);
}

TEST(GraphicsState, ShadowOfALayerFallsUnderTheWholeLayer) {
    ImageRef image = render({40, 40}, 1, [](Context& c) {
        c.setShadow({0, 10}, 0, Color::blackColor());
        c.beginTransparencyLayer();
        fill(c, {0, 0, 10, 10}, Color::whiteColor());
        fill(c, {5, 0, 10, 10}, Color::whiteColor());
        c.endTransparencyLayer();
    });
    EXPECT_EQ(image->pixel(7, 5), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(image->pixel(7, 15), (Pixel{0, 0, 0, 255}));  // the layer's shadow, once
}

TEST(GraphicsState, SingularScaleDrawsNothingAndLeavesTheContextUsable) {
    ImageRef image = render({20, 20}, 1, [](Context& c) {
        c.saveGState();
        c.scale(0, 1);
        fill(c, {0, 0, 20, 20}, Color::blackColor());
        c.clipToRect({0, 0, 20, 20});
        c.restoreGState();
        fill(c, {10, 10, 5, 5}, Color::blackColor());
    });
    EXPECT_EQ(image->pixel(2, 2).a, 0);
    EXPECT_EQ(image->pixel(12, 12).a, 255);
}

TEST(GraphicsState, ClipIsPartOfTheSavedState) {
    ImageRef image = render({20, 10}, 1, [](Context& c) {
        c.saveGState();
        c.clipToRect({0, 0, 10, 10});
        fill(c, {0, 0, 20, 10}, Color::blackColor());
        c.restoreGState();
        c.setFillColor(Color::whiteColor());
        c.fillPath(BezierPath::rect({15, 0, 5, 10}));
    });
    EXPECT_EQ(image->pixel(5, 5).a, 255);
    EXPECT_EQ(image->pixel(12, 5).a, 0);
    EXPECT_EQ(image->pixel(17, 5), (Pixel{255, 255, 255, 255}));
}

TEST(GraphicsGradient, PaintsNothingBeyondItsEndsUnlessAsked) {
    Gradient g({Color::clearColor(), Color::blackColor()}, {0, 1});
    auto draw = [&](unsigned options) {
        return render({40, 10}, 1, [&](Context& c) {
            c.clipToRect({0, 0, 40, 10});
            c.drawLinearGradient(g, {10, 5}, {30, 5}, options);
        });
    };
    ImageRef plain = draw(0), after = draw(gradientDrawsAfterEnd), both = draw(gradientDrawsBeforeStart | gradientDrawsAfterEnd);
    EXPECT_EQ(plain->pixel(35, 5).a, 0);
    EXPECT_NEAR(plain->pixel(20, 5).a, 128, 8);
    EXPECT_GT(plain->pixel(29, 5).a, 230);
    EXPECT_EQ(after->pixel(35, 5).a, 255);
    EXPECT_EQ(after->pixel(5, 5).a, 0);
    EXPECT_EQ(both->pixel(35, 5).a, 255);

    ImageRef clipped = render({40, 10}, 1, [&](Context& c) {
        c.clipToRect({0, 0, 20, 10});
        c.drawLinearGradient(g, {0, 5}, {40, 5}, 0);
    });
    EXPECT_GT(clipped->pixel(18, 5).a, 100);
    EXPECT_EQ(clipped->pixel(30, 5).a, 0);
}

TEST(GraphicsRecording, PathsInUserAndDeviceSpaceWithTheirState) {
    RecordingContext rec(Transform::scaling(2, 2));
    pushContext(rec);
    rec.saveGState();
    rec.translate(10, 20);
    rec.scale(2, 3);
    Color::whiteColor()->setFill();
    BezierPath::rect({1, 1, 2, 2}).fill();
    rec.restoreGState();
    BezierPath::rect({1, 1, 2, 2}).stroke();
    popContext();

    auto fills = rec.opsOf(RecordedOp::Kind::fill);
    ASSERT_EQ(fills.size(), 1u) << rec.dump();
    EXPECT_EQ(fills[0].path.elements()[0].points[0], (Point{1, 1}));
    EXPECT_EQ(fills[0].devicePath[0].points[0], (Point{2 * (10 + 2), 2 * (20 + 3)}));
    EXPECT_EQ(fills[0].state.fillColor, Color::whiteColor());
    EXPECT_EQ(rec.opsOf(RecordedOp::Kind::transform).size(), 2u);
    auto strokes = rec.opsOf(RecordedOp::Kind::stroke);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].devicePath[0].points[0], (Point{2, 2}));
    EXPECT_EQ(strokes[0].state.fillColor, Color::blackColor());  // restored
    EXPECT_EQ(rec.saveDepth(), 0);
}

TEST(GraphicsRecording, UnbalancedRestoresAndOpenLayerSavesAreHarmless) {
    RecordingContext rec;
    rec.restoreGState();
    rec.beginTransparencyLayer();
    rec.saveGState();
    rec.setAlpha(0.3);
    rec.endTransparencyLayer();
    EXPECT_EQ(rec.saveDepth(), 0);
    EXPECT_EQ(rec.state().alpha, 1);
}
