#pragma once
// StyleKit: the app's drawing kit. Palette colours, the resizing behaviour of
// fixed-size designs, 108 drawing routines, their image renderers, three
// cached images with their target lists.
//
// Every routine can be reached two ways that behave the same:
//  - directly: StyleKit::drawShadowBoxWithFrame(frame), imageOfShadowBoxWithImageSize(size);
//  - by message name: StyleKit::perform("drawShadowBoxWithFrame:", frame),
//    StyleKit::performImage("imageOfShadowBoxWithImageSize:", size),
//    StyleKit::color("bvBlue").
// A flag counts as set exactly when its lowest bit is (isSet); both ways pass
// it on as received and the bodies test only that bit.
//
// Where the artwork lives: a direct drawing entry IS the routine's body. Each
// family file in style/artwork/ defines its routines' entries, for example
//
//     void StyleKit::drawShadowBoxWithFrame(const gfx::Rect& frame) { ... }
//
// and the message interface maps each name to that same function. The five
// aliases (CircleIconExplicit2 ...) are defined here in the kit and draw with
// their unnumbered routine. A routine without its body does not link.
// A body draws into gfx::currentContext() (the calling thread's current
// context) and draws nothing when there is none.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "graphics/Color.h"
#include "graphics/Geometry.h"
#include "graphics/Image.h"

namespace style {

class StyleKit {
public:
    // A boolean argument; true exactly when its lowest bit is set.
    using Flag = long;

    // ---- Palette ---------------------------------------------------------
    // Made once each on first use (thread-safe); every read returns the same object.
#define STYLEKIT_PALETTE(X) \
    X(bvBlue) X(bvBlueLight) X(bvBlueDark) X(white) X(grey1) X(grey2) X(grey3) X(grey4) \
    X(grey5) X(redDark) X(orrinRed) X(kestleGreen) X(vornRed) X(tallisGreen)           \
    X(pellowOrange) X(marrickRed) X(quenTeal) X(red) X(parametricColor)
#define STYLEKIT_DECLARE_COLOR(name) static gfx::ColorRef name();
    STYLEKIT_PALETTE(STYLEKIT_DECLARE_COLOR)
#undef STYLEKIT_DECLARE_COLOR
    // Palette colour by message name; null for an unknown name.
    static gfx::ColorRef color(std::string_view message);

    // ---- Resizing behaviour ----------------------------------------------
    class ResizingBehavior {
    public:
        enum Value : std::int64_t { aspectFit = 0, aspectFill = 1, stretch = 2, center = 3 };
        constexpr ResizingBehavior(Value v) : value_(v) {}
        // Only 0...3 make a behaviour.
        static std::optional<ResizingBehavior> fromRaw(std::int64_t raw);
        constexpr std::int64_t rawValue() const { return value_; }
        constexpr Value value() const { return value_; }
        // Rectangle that the design rectangle `rect` occupies when fitted into `target`.
        gfx::Rect apply(const gfx::Rect& rect, const gfx::Rect& target) const;
        friend constexpr bool operator==(ResizingBehavior a, ResizingBehavior b) { return a.value_ == b.value_; }

    private:
        Value value_;
    };

    // True exactly when the flag's lowest bit is set.
    static constexpr bool isSet(Flag flag) { return (flag & 1) != 0; }

    // ---- Routine index ---------------------------------------------------
    enum class ParamKind { frame, flag, resizing, resizingFraction };
    struct Routine {
        int number;                    // 1...108, declaration order
        std::string_view name;         // "ShadowBox"
        std::string_view message;      // "drawShadowBoxWithFrame:"
        ParamKind kind;
        std::string_view flagName;     // "colored", "destructive", ... or empty
        std::string_view aliasOf;      // message of the drawing routine, for aliases
        std::string_view imageMessage; // "imageOfShadowBoxWithImageSize:", empty for none
    };
    static std::span<const Routine> routines();
    static const Routine* routine(std::string_view message);  // drawing or image message

    // ---- Message interface -----------------------------------------------
    // Draws the routine into the current context; false when the name is unknown.
    static bool perform(std::string_view message, const gfx::Rect& frame, Flag flag = 0,
                        std::int64_t resizing = 0, double fraction = 0);
    // Runs an image routine (size ignored by cached images, fraction only by
    // the fraction routines); null when the name is unknown.
    static gfx::ImageRef performImage(std::string_view message, gfx::Size size = {}, Flag flag = 0,
                                      double fraction = 0);

    // ---- Direct drawing entries (see StyleKitRoutines.def) ----------------
    // Defined by the artwork family that draws each picture.
#define STYLEKIT_FRAME(Name) static void draw##Name##WithFrame(const gfx::Rect& frame);
#define STYLEKIT_FLAG(Name, param) static void draw##Name##WithFrame(const gfx::Rect& frame, Flag param);
#define STYLEKIT_ALIAS(Name, Target) STYLEKIT_FLAG(Name, destructive)
#define STYLEKIT_RESIZING(Name) \
    static void draw##Name##WithFrame(const gfx::Rect& frame, ResizingBehavior resizing);
#define STYLEKIT_RESIZING_FRACTION(Name) \
    static void draw##Name##WithFrame(const gfx::Rect& frame, ResizingBehavior resizing, double fraction);
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION

    // ---- Image renderers ---------------------------------------------------
    // A new image of `size` points at the screen scale on every call, not
    // opaque. A size with a side <= 0 gives an empty image of that size.
#define STYLEKIT_FRAME(Name) static gfx::ImageRef imageOf##Name##WithImageSize(gfx::Size size);
#define STYLEKIT_FLAG(Name, param) static gfx::ImageRef imageOf##Name##WithImageSize(gfx::Size size, Flag param);
#define STYLEKIT_ALIAS(Name, Target) STYLEKIT_FLAG(Name, destructive)
#define STYLEKIT_RESIZING(Name)
#define STYLEKIT_RESIZING_FRACTION(Name)
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION
    static gfx::ImageRef imageOfSpinnerCircleAnimatableWithFraction(double fraction);       // 30 x 30
    static gfx::ImageRef imageOfSpinnerCircleAnimatableSmallWithFraction(double fraction);  // 18 x 18

    // ---- Cached images (made once, inside their one-time guard) -----------
    static gfx::ImageRef imageOfIconPremiumPrompt1();  // 44 x 44
    static gfx::ImageRef imageOfPinField();            // 284 x 64
    static gfx::ImageRef imageOfMapAnnotation();       // 38 x 38

    // ---- Target lists: storage shared by every instance --------------------
    // Setting a list stores it and hands the paired cached image to every
    // target in order. No list (nullopt) is stored and nothing is sent.
    // Main-thread facilities, like the views they hold.
    using TargetList = std::vector<std::shared_ptr<gfx::ImageTarget>>;
    std::optional<TargetList> iconPremiumPrompt1Targets() const;
    void setIconPremiumPrompt1Targets(std::optional<TargetList> targets);
    std::optional<TargetList> pinFieldTargets() const;
    void setPinFieldTargets(std::optional<TargetList> targets);
    std::optional<TargetList> mapAnnotationTargets() const;
    void setMapAnnotationTargets(std::optional<TargetList> targets);
};

}  // namespace style

template <>
struct std::hash<style::StyleKit::ResizingBehavior> {
    std::size_t operator()(style::StyleKit::ResizingBehavior b) const noexcept {
        return std::hash<std::int64_t>{}(b.rawValue());
    }
};
