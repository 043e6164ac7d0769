#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

#include "graphics/Graphics.h"
#include "style/ImageKind.h"
#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/ResizingFrame.h"

using gfx::Rect;
using style::StyleKit;
using Behavior = StyleKit::ResizingBehavior;

TEST(StyleKitPalette, ColoursAreMadeOnceAndShared) {
    // A derived colour read first makes its source as a side effect.
    gfx::ColorRef dark = StyleKit::bvBlueDark();
    EXPECT_EQ(StyleKit::bvBlue(), StyleKit::bvBlue());
    EXPECT_EQ(StyleKit::color("bvBlue"), StyleKit::bvBlue());
    EXPECT_EQ(StyleKit::color("bvBlueDark"), dark);
    EXPECT_EQ(StyleKit::color("noSuchColour"), nullptr);
    EXPECT_NE(StyleKit::white(), gfx::Color::whiteColor());

    gfx::ColorRef seen[8];
    std::vector<std::thread> readers;
    for (auto& slot : seen) readers.emplace_back([&slot] { slot = StyleKit::redDark(); });
    for (auto& t : readers) t.join();
    EXPECT_TRUE(std::all_of(std::begin(seen), std::end(seen), [&](auto& c) { return c == seen[0]; }));
}

TEST(StyleKitPalette, DerivedColours) {
    gfx::RGBA light = StyleKit::bvBlueLight()->rgba();
    EXPECT_NEAR(light.red, 0.3686, 1e-4);
    EXPECT_NEAR(light.green, 0.6703, 1e-4);
    EXPECT_NEAR(light.blue, 0.8873, 1e-4);
    EXPECT_DOUBLE_EQ(light.alpha, 1);

    gfx::RGBA dark = StyleKit::bvBlueDark()->rgba();
    EXPECT_NEAR(dark.red, 0.0829, 1e-4);
    EXPECT_NEAR(dark.green, 0.4477, 1e-4);
    EXPECT_DOUBLE_EQ(dark.blue, 0.71);
    EXPECT_NEAR(StyleKit::bvBlueDark()->hsba().hue, StyleKit::bvBlue()->hsba().hue, 1e-12);

    gfx::RGBA redDark = StyleKit::redDark()->rgba();
    EXPECT_DOUBLE_EQ(redDark.red, 0.7);
    EXPECT_NEAR(redDark.green, 0.0518, 1e-12);
    EXPECT_EQ(redDark.blue, 0);
    EXPECT_DOUBLE_EQ(redDark.alpha, 1);
}

TEST(StyleKitResizing, ApplyFitsTheDesignRectangle) {
    Rect design{0, 0, 44, 44};
    for (Behavior b : {Behavior::aspectFit, Behavior::aspectFill, Behavior::stretch, Behavior::center}) {
        EXPECT_EQ(b.apply(design, design), design);
        EXPECT_EQ(b.apply(design, gfx::zeroRect), design);
    }
    Rect wide{0, 0, 88, 44};
    EXPECT_EQ(Behavior(Behavior::aspectFit).apply(design, wide), (Rect{22, 0, 44, 44}));
    EXPECT_EQ(Behavior(Behavior::aspectFill).apply(design, wide), (Rect{0, -22, 88, 88}));
    EXPECT_EQ(Behavior(Behavior::stretch).apply(design, wide), (Rect{0, 0, 88, 44}));
    EXPECT_EQ(Behavior(Behavior::center).apply(design, wide), (Rect{22, 0, 44, 44}));
    EXPECT_EQ(Behavior(Behavior::center).apply(design, {10, 10, 20, 20}), (Rect{-2, -2, 44, 44}));
    EXPECT_EQ(Behavior(Behavior::aspectFit).apply(design, {100, 0, -88, 44}), (Rect{34, 0, 44, 44}));
    EXPECT_EQ(Behavior(Behavior::aspectFit).apply(design, {0, 0, 30, 30}),
              Behavior(Behavior::aspectFill).apply(design, {0, 0, 30, 30}));
}

TEST(StyleKitResizing, RawValues) {
    EXPECT_EQ(Behavior::fromRaw(2), Behavior(Behavior::stretch));
    EXPECT_FALSE(Behavior::fromRaw(4));
    EXPECT_FALSE(Behavior::fromRaw(-1));
    EXPECT_EQ(std::hash<Behavior>{}(Behavior::center), std::hash<std::int64_t>{}(3));
}

TEST(StyleKitIndex, DeclaresEveryRoutineInOrder) {
    auto routines = StyleKit::routines();
    ASSERT_EQ(routines.size(), 108u);
    EXPECT_EQ(routines.front().message, "drawCircleIconDevicePhoneWithFrame:colored:");
    EXPECT_EQ(routines[96].message, "drawShadowBoxWithFrame:");
    EXPECT_EQ(routines.back().message, "drawIconRefreshWithFrame:");
    auto count = [&](auto pred) { return std::count_if(routines.begin(), routines.end(), pred); };
    EXPECT_EQ(count([](auto& r) { return r.kind == StyleKit::ParamKind::frame; }), 70);
    EXPECT_EQ(count([](auto& r) { return r.flagName == "destructive"; }), 11);
    EXPECT_EQ(count([](auto& r) { return !r.imageMessage.empty(); }), 107);
    EXPECT_EQ(count([](auto& r) { return !r.aliasOf.empty(); }), 5);
    for (std::size_t i = 0; i < routines.size(); ++i) EXPECT_EQ(routines[i].number, int(i + 1));

    const StyleKit::Routine* explicit2 = StyleKit::routine("imageOfCircleIconExplicit2WithImageSize:destructive:");
    ASSERT_NE(explicit2, nullptr);
    EXPECT_EQ(explicit2->aliasOf, "drawCircleIconExplicitWithFrame:destructive:");
    EXPECT_EQ(StyleKit::routine("imageOfPinField")->message, "drawPinFieldWithFrame:resizing:");
    EXPECT_EQ(StyleKit::routine("imageOfSpinnerCircleAnimatableWithFraction:")->name, "SpinnerCircleAnimatable");
    EXPECT_TRUE(StyleKit::routine("drawBetaBadgeWithFrame:resizing:")->imageMessage.empty());
}

// Every routine draws through its message name, and every image routine
// gives an image of the size asked for.
TEST(StyleKitIndex, EveryRoutineDrawsThroughItsMessageAndImage) {
    for (const StyleKit::Routine& r : StyleKit::routines()) {
        SCOPED_TRACE(std::string(r.message));
        gfx::RecordingContext rec;
        gfx::pushContext(rec);
        EXPECT_TRUE(StyleKit::perform(r.message, {0, 0, 60, 60}, 1));
        gfx::popContext();
        EXPECT_FALSE(rec.opsOf(gfx::RecordedOp::Kind::fill).empty() && rec.opsOf(gfx::RecordedOp::Kind::gradient).empty());
        if (r.kind == StyleKit::ParamKind::frame || r.kind == StyleKit::ParamKind::flag) {
            const gfx::ImageRef image = StyleKit::performImage(r.imageMessage, {30, 20}, 1);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->size(), (gfx::Size{30, 20}));
        }
    }
    EXPECT_FALSE(StyleKit::perform("drawNothingWithFrame:", {0, 0, 1, 1}));
    EXPECT_EQ(StyleKit::performImage("imageOfNothingWithImageSize:", {1, 1}), nullptr);
}

TEST(StyleKitImages, CachedImagesAreMadeOnceAtTheirSize) {
    gfx::ImageRef first = StyleKit::imageOfPinField();
    EXPECT_EQ(first, StyleKit::imageOfPinField());
    EXPECT_EQ(StyleKit::performImage("imageOfPinField"), first);
    EXPECT_EQ(first->size(), (gfx::Size{284, 64}));
    EXPECT_EQ(StyleKit::imageOfMapAnnotation()->size(), (gfx::Size{38, 38}));
    EXPECT_EQ(StyleKit::imageOfIconPremiumPrompt1()->size(), (gfx::Size{44, 44}));
    EXPECT_EQ(StyleKit::imageOfSpinnerCircleAnimatableSmallWithFraction(0.7)->size(), (gfx::Size{18, 18}));

    gfx::ImageRef racing[6];
    std::vector<std::thread> threads;
    for (auto& slot : racing) threads.emplace_back([&slot] { slot = StyleKit::imageOfMapAnnotation(); });
    for (auto& t : threads) t.join();
    for (auto& image : racing) EXPECT_EQ(image, racing[0]);
}

namespace {
struct RecordingTarget : gfx::ImageTarget {
    std::vector<std::pair<int, gfx::ImageRef>>* log;
    int id;
    RecordingTarget(std::vector<std::pair<int, gfx::ImageRef>>* l, int i) : log(l), id(i) {}
    void setImage(gfx::ImageRef image) override { log->emplace_back(id, std::move(image)); }
};
}  // namespace

TEST(StyleKitImages, TargetListsHandOutTheCachedImageInOrder) {
    StyleKit kit, other;
    EXPECT_FALSE(kit.mapAnnotationTargets());
    std::vector<std::pair<int, gfx::ImageRef>> log;
    StyleKit::TargetList targets{std::make_shared<RecordingTarget>(&log, 1), std::make_shared<RecordingTarget>(&log, 2)};
    kit.setPinFieldTargets(targets);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].first, 1);
    EXPECT_EQ(log[1].first, 2);
    EXPECT_EQ(log[0].second, StyleKit::imageOfPinField());
    EXPECT_EQ(log[1].second, log[0].second);
    ASSERT_TRUE(other.pinFieldTargets());  // storage shared by every instance
    EXPECT_EQ(other.pinFieldTargets()->size(), 2u);
    kit.setPinFieldTargets(std::nullopt);
    EXPECT_FALSE(other.pinFieldTargets());
    EXPECT_EQ(log.size(), 2u);
}

TEST(StyleKitResizingFrame, FitsTheDesignAndScalesShadows) {
    gfx::RecordingContext rec;
    {
        style::artwork::ResizingFrame frame(rec, Behavior::stretch, 100, 50, {0, 0, 200, 50});
        EXPECT_EQ(frame.scale(), 1);  // the smaller factor
        style::artwork::shadowedFill(rec, gfx::BezierPath::rect({0, 0, 10, 10}), gfx::Color::whiteColor(),
                                     style::artwork::makeShadow(0.13, {0, 1}, 1), frame.scale());
    }
    {
        style::artwork::ResizingFrame frame(rec, Behavior::aspectFit, 100, 50, {10, 0, 200, 200});
        EXPECT_EQ(frame.scale(), 2);
        EXPECT_EQ(rec.ctm(), (gfx::Transform{2, 0, 0, 2, 10, 50}));
        style::artwork::shadowedFill(rec, gfx::BezierPath::rect({0, 0, 10, 10}), gfx::Color::whiteColor(),
                                     style::artwork::makeShadow(0.13, {0, 1}, 1), frame.scale());
    }
    EXPECT_EQ(rec.saveDepth(), 0);
    EXPECT_EQ(rec.ctm(), gfx::Transform{});
    auto fills = rec.opsOf(gfx::RecordedOp::Kind::fill);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].state.shadow.offset, (gfx::Size{0, 1}));
    EXPECT_EQ(fills[1].state.shadow.offset, (gfx::Size{0, 2}));
    EXPECT_EQ(fills[1].state.shadow.blurRadius, 2);
    EXPECT_FALSE(rec.state().shadow.color);
}

TEST(StyleKitImageKind, MapsToItsImageRoutine) {
    gfx::ImageRef kind = style::ImageKind(style::ImageKind::Case::shadowBox).image({120, 80});
    gfx::ImageRef direct = StyleKit::imageOfShadowBoxWithImageSize({120, 80});
    ASSERT_TRUE(kind && direct);
    EXPECT_NE(kind, direct);
    EXPECT_EQ(kind->size(), (gfx::Size{120, 80}));
    for (int y = 0; y < kind->pixelHeight(); y += 7)
        for (int x = 0; x < kind->pixelWidth(); x += 7) ASSERT_EQ(kind->pixel(x, y), direct->pixel(x, y));
    EXPECT_EQ(style::ImageKind::circleTick(true).image({30, 30})->size(), (gfx::Size{30, 30}));
}

namespace {
std::string recordDump(std::string_view message, StyleKit::Flag flag) {
    gfx::RecordingContext rec;
    gfx::pushContext(rec);
    StyleKit::perform(message, {3, 5, 48, 40}, flag);
    gfx::popContext();
    return rec.dump();
}
}  // namespace

// Flags count by their lowest bit only, and an alias draws exactly what its
// routine draws.
TEST(StyleKitIndex, FlagsCountByTheirLowestBitAndAliasesDrawTheirRoutine) {
    for (const StyleKit::Routine& r : StyleKit::routines()) {
        if (r.kind != StyleKit::ParamKind::flag) continue;
        EXPECT_EQ(recordDump(r.message, 2), recordDump(r.message, 0)) << r.message;
        EXPECT_EQ(recordDump(r.message, 3), recordDump(r.message, 1)) << r.message;
        if (!r.aliasOf.empty()) {
            for (StyleKit::Flag flag : {0, 1}) EXPECT_EQ(recordDump(r.message, flag), recordDump(r.aliasOf, flag));
        }
    }
}
