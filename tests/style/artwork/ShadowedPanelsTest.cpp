#include <gtest/gtest.h>

#include "graphics/Graphics.h"
#include "style/StyleKit.h"

using gfx::RecordedOp;
using gfx::Rect;
using style::StyleKit;

namespace {

// Records one routine drawn into `frame`.
std::unique_ptr<gfx::RecordingContext> record(void (*routine)(const Rect&), const Rect& frame) {
    auto rec = std::make_unique<gfx::RecordingContext>();
    gfx::pushContext(*rec);
    routine(frame);
    gfx::popContext();
    return rec;
}

std::vector<RecordedOp> fills(const std::unique_ptr<gfx::RecordingContext>& rec) {
    return rec->opsOf(RecordedOp::Kind::fill);
}

Rect bounds(const RecordedOp& op) { return op.path.controlPointBounds(); }

void expectShadow(const RecordedOp& op, double alpha, double dy, double blur) {
    ASSERT_TRUE(op.state.shadow.color);
    EXPECT_EQ(op.state.shadow.offset, (gfx::Size{0, dy}));
    EXPECT_EQ(op.state.shadow.blurRadius, blur);
    gfx::RGBA c = op.state.shadow.color->rgba();
    EXPECT_EQ(c.red + c.green + c.blue, 0);
    EXPECT_EQ(c.alpha, alpha);
    EXPECT_EQ(op.state.fillColor, gfx::Color::whiteColor());  // the platform's white, not the palette's
}

}  // namespace

TEST(ShadowedPanels, ShadowBoxIsOneShadowedCardInsetTen) {
    auto rec = record(&StyleKit::drawShadowBoxWithFrame, {0, 0, 300, 150});
    auto f = fills(rec);
    ASSERT_EQ(f.size(), 1u) << rec->dump();
    EXPECT_EQ(bounds(f[0]), (Rect{10, 10, 280, 130}));
    expectShadow(f[0], 0.32, 2, 3);
    // The shadow lives in a saved state of its own: nothing leaks to the caller.
    EXPECT_EQ(rec->ops().front().kind, RecordedOp::Kind::save);
    EXPECT_EQ(rec->ops().back().kind, RecordedOp::Kind::restore);
    EXPECT_FALSE(rec->state().shadow.color);
    EXPECT_EQ(rec->saveDepth(), 0);

    auto moved = record(&StyleKit::drawShadowBoxWithFrame, {0.5, 20, 300, 150});
    EXPECT_EQ(bounds(fills(moved)[0]), (Rect{10.5, 30, 280, 130}));
    auto flipped = record(&StyleKit::drawShadowBoxWithFrame, {300, 0, -300, 150});
    EXPECT_EQ(fills(flipped)[0].path.elements(), f[0].path.elements());
}

TEST(ShadowedPanels, ShadowCircleSnapsItsGroup) {
    auto f = fills(record(&StyleKit::drawShadowCircleWithFrame, {0, 0, 50, 50}));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(bounds(f[0]), (Rect{3, 3, 45, 45}));
    expectShadow(f[0], 0.13, 1, 1);
}

TEST(ShadowedPanels, KeyHeaderCircleThenCard) {
    auto f = fills(record(&StyleKit::drawKeyHeaderViewWithFrame, {0, 0, 101, 220}));
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(bounds(f[0]), (Rect{1, 10, 100, 100}));
    EXPECT_EQ(bounds(f[1]), (Rect{12, 57, 77, 158}));
    expectShadow(f[0], 0.13, 1, 1);
    expectShadow(f[1], 0.13, 1, 1);
    auto narrow = fills(record(&StyleKit::drawKeyHeaderViewWithFrame, {0, 0, 90, 220}));
    EXPECT_EQ(bounds(narrow[0]).origin.x, -5);
}

TEST(ShadowedPanels, BannerHeaderCardAndUnshadowedBand) {
    auto rec = record(&StyleKit::drawBannerHeaderViewWithFrame, {0, 0, 320, 200});
    auto f = fills(rec);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(bounds(f[0]), (Rect{13, 12, 294, 175}));
    expectShadow(f[0], 0.13, 1, 1);
    EXPECT_EQ(bounds(f[1]), (Rect{13, 12, 294, 70}));
    EXPECT_FALSE(f[1].state.shadow.color);
    EXPECT_EQ(f[1].state.fillColor, StyleKit::parametricColor());
    EXPECT_EQ(rec->state().fillColor, StyleKit::parametricColor());  // stays set afterwards

    auto low = fills(record(&StyleKit::drawBannerHeaderViewWithFrame, {0, 0, 320, 80}));
    EXPECT_EQ(bounds(low[0]).size.height, 63);
    EXPECT_EQ(bounds(low[1]).size.height, 70);
}

TEST(ShadowedPanels, NothingIsDrawnWithoutAContext) {
    ASSERT_EQ(gfx::currentContext(), nullptr);
    StyleKit::drawShadowBoxWithFrame({0, 0, 100, 100});
    EXPECT_TRUE(StyleKit::perform("drawKeyHeaderViewWithFrame:", {0, 0, 100, 100}));
}

TEST(ShadowedPanels, ShadowBoxImageAtTheStatusScreenSizes) {
    gfx::setScreenScale(2);
    for (gfx::Size size : {gfx::Size{300, 120}, gfx::Size{343, 180}, gfx::Size{414, 96}}) {
        gfx::ImageRef image = StyleKit::imageOfShadowBoxWithImageSize(size);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), size);
        EXPECT_EQ(image->scale(), 2);
        double w = size.width, h = size.height;
        EXPECT_EQ(image->pixelAtPoint(2, 2).a, 0);                    // margin corner: transparent
        EXPECT_EQ(image->pixelAtPoint(w - 2, 2).a, 0);
        EXPECT_EQ(image->pixelAtPoint(11, 11).a, 0);                  // outside the rounded corner
        EXPECT_EQ(image->pixelAtPoint(w / 2, h / 2), (gfx::Pixel{255, 255, 255, 255}));
        std::uint8_t below = image->pixelAtPoint(w / 2, h - 9).a;     // shadow falls downward
        std::uint8_t above = image->pixelAtPoint(w / 2, 9).a;
        EXPECT_GT(below, 40);
        EXPECT_GT(below, above);
        EXPECT_EQ(image->pixelAtPoint(w / 2, h - 9).r, 0);            // black shadow
    }
    EXPECT_NE(StyleKit::imageOfShadowBoxWithImageSize({50, 50}), StyleKit::imageOfShadowBoxWithImageSize({50, 50}));
    EXPECT_TRUE(StyleKit::imageOfShadowBoxWithImageSize({0, 40})->isEmpty());
    EXPECT_TRUE(StyleKit::imageOfShadowBoxWithImageSize({-10, 40})->isEmpty());
    // A 20 x 20 frame leaves the card no area: a fully transparent image.
    gfx::ImageRef tiny = StyleKit::imageOfShadowBoxWithImageSize({20, 20});
    for (int y = 0; y < tiny->pixelHeight(); ++y)
        for (int x = 0; x < tiny->pixelWidth(); ++x) ASSERT_EQ(tiny->pixel(x, y).a, 0);
}
