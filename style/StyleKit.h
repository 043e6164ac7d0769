#pragma once
// StyleKit: the app's drawing kit. Palette colours, the resizing behaviour of
// fixed-size designs, 108 drawing routines, their image renderers, three
// cached images with their target lists.
//
// Every routine can be reached two ways that behave the same:
//  - directly: StyleKit::drawShadowBoxWithFrame(frame), imageOfShadowBoxWithImageSize(size);
//    a direct entry keeps only the lowest bit of a flag;
//  - by message name: StyleKit::perform("drawShadowBoxWithFrame:", frame),
//    StyleKit::performImage("imageOfShadowBoxWithImageSize:", size),
//    StyleKit::color("bvBlue"); a message passes a flag on as received.
// Renderers and shared bodies call routines and colours by message name.
//
// How artwork plugs in (contract for the artwork files in style/artwork/):
//  1. A family file defines its bodies as functions `void body(const StyleKit::DrawCall&)`
//     and one registration function in namespace style::artwork:
//
//        void registerShadowedPanels(style::BodyRegistry& r) {
//            r.add("drawShadowBoxWithFrame:", &shadowBox);
//            ...
//        }
//
//     It registers the routine's message name (as in StyleKitRoutines.def);
//     aliases (CircleIconExplicit2 ...) are never registered, they follow
//     their unnumbered routine. A shared body is registered under each
//     routine that uses it; the kit's entry fills in DrawCall::colorMessage
//     (User/UserDark, SpinnerCircleBlue/LightBlue) or startY/endY
//     (DarkGradientUp/Down) before calling it.
//  2. One line per family in style/ArtworkFamilies.def: STYLEKIT_FAMILY(ShadowedPanels).
//     The kit calls every listed registration function once, on first use,
//     so nothing depends on static initialisers or on the linker keeping them.
//  3. A body draws into gfx::currentContext() (the calling thread's current
//     context). Bodies that need the context itself return without drawing
//     when there is none.
// Until a body is registered, its direct drawing entries draw nothing, its
// direct image routines return transparent images, its message entries
// report false / return null, and missingRoutines() lists it.

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

class BodyRegistry;

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

    // ---- What a body receives --------------------------------------------
    struct DrawCall {
        gfx::Rect frame;
        Flag flag = 0;               // as the entry received it; test with flagSet()
        std::int64_t resizing = 0;   // raw ResizingBehavior
        double fraction = 0;
        const char* colorMessage = nullptr;            // shared bodies with a colour
        double (*startY)(const gfx::Rect&) = nullptr;  // shared gradient body
        double (*endY)(const gfx::Rect&) = nullptr;
        bool flagSet() const { return (flag & 1) != 0; }
    };
    using Body = void (*)(const DrawCall&);

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
        bool present() const;          // its body (or its alias target's) is registered
    };
    static std::span<const Routine> routines();
    static const Routine* routine(std::string_view message);  // drawing or image message
    static std::vector<const Routine*> missingRoutines();

    // ---- Message interface -----------------------------------------------
    // Draws the routine into the current context; false when the name is
    // unknown or its body is missing.
    static bool perform(std::string_view message, const gfx::Rect& frame, Flag flag = 0,
                        std::int64_t resizing = 0, double fraction = 0);
    // Runs an image routine (size ignored by cached images, fraction only by
    // the fraction routines); null when unknown or its body is missing.
    static gfx::ImageRef performImage(std::string_view message, gfx::Size size = {}, Flag flag = 0,
                                      double fraction = 0);

    // ---- Direct drawing entries (see StyleKitRoutines.def) ----------------
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

// Handed to each artwork family's registration function.
class BodyRegistry {
public:
    // Registers the body of a drawing routine by its message name. An unknown
    // name, an alias or a second body for one routine aborts with a message.
    void add(std::string_view message, StyleKit::Body body);

    struct Table;  // the kit's body table

private:
    friend void registerAllFamilies(Table& table);
    explicit BodyRegistry(Table& table) : table_(table) {}
    Table& table_;
};

}  // namespace style

template <>
struct std::hash<style::StyleKit::ResizingBehavior> {
    std::size_t operator()(style::StyleKit::ResizingBehavior b) const noexcept {
        return std::hash<std::int64_t>{}(b.rawValue());
    }
};
