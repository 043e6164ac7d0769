#include "style/StyleKit.h"

#include <cmath>
#include <string>
#include <unordered_map>

#include "graphics/Context.h"

namespace style {

// ---- Palette -----------------------------------------------------------------
// Each colour is a function-local static: made once, inside its own
// thread-safe guard, on first read.

namespace {
gfx::ColorRef fixed(double r, double g, double b) { return gfx::Color::rgba(r, g, b, 1); }
}  // namespace

#define STYLEKIT_FIXED_COLOR(name, r, g, b)          \
    gfx::ColorRef StyleKit::name() {                 \
        static const gfx::ColorRef c = fixed(r, g, b); \
        return c;                                    \
    }
STYLEKIT_FIXED_COLOR(bvBlue, 0.098, 0.529, 0.839)
STYLEKIT_FIXED_COLOR(white, 1, 1, 1)
STYLEKIT_FIXED_COLOR(grey1, 0.949, 0.949, 0.949)
STYLEKIT_FIXED_COLOR(grey2, 0.706, 0.706, 0.706)
STYLEKIT_FIXED_COLOR(grey3, 0.514, 0.514, 0.514)
STYLEKIT_FIXED_COLOR(grey4, 0.275, 0.275, 0.275)
STYLEKIT_FIXED_COLOR(grey5, 0.22, 0.22, 0.22)
STYLEKIT_FIXED_COLOR(orrinRed, 0.926, 0.112, 0.141)
STYLEKIT_FIXED_COLOR(kestleGreen, 0.365, 0.816, 0.086)
STYLEKIT_FIXED_COLOR(vornRed, 0.831, 0.110, 0.165)
STYLEKIT_FIXED_COLOR(tallisGreen, 0.043, 0.580, 0.267)
STYLEKIT_FIXED_COLOR(pellowOrange, 0.973, 0.596, 0.157)
STYLEKIT_FIXED_COLOR(marrickRed, 0.902, 0.220, 0.161)
STYLEKIT_FIXED_COLOR(quenTeal, 0.176, 0.878, 0.859)
STYLEKIT_FIXED_COLOR(red, 1.0, 0.074, 0.0)
STYLEKIT_FIXED_COLOR(parametricColor, 1, 0, 0)
#undef STYLEKIT_FIXED_COLOR

gfx::ColorRef StyleKit::bvBlueLight() {
    static const gfx::ColorRef c = [] {
        gfx::RGBA s = color("bvBlue")->rgba();
        auto light = [](double v) { return v * 0.7 + 0.3; };
        return gfx::Color::rgba(light(s.red), light(s.green), light(s.blue), light(s.alpha));
    }();
    return c;
}

gfx::ColorRef StyleKit::bvBlueDark() {
    static const gfx::ColorRef c = [] {
        gfx::HSBA s = color("bvBlue")->hsba();
        return gfx::Color::hsba(s.hue, s.saturation, 0.71, s.alpha);
    }();
    return c;
}

gfx::ColorRef StyleKit::redDark() {
    static const gfx::ColorRef c = [] {
        gfx::RGBA s = color("red")->rgba();
        return gfx::Color::rgba(s.red * 0.7, s.green * 0.7, s.blue * 0.7, s.alpha * 0.7 + 0.3);
    }();
    return c;
}

gfx::ColorRef StyleKit::color(std::string_view message) {
    static const std::unordered_map<std::string_view, gfx::ColorRef (*)()> accessors = {
#define STYLEKIT_COLOR_ENTRY(name) {#name, &StyleKit::name},
        STYLEKIT_PALETTE(STYLEKIT_COLOR_ENTRY)
#undef STYLEKIT_COLOR_ENTRY
    };
    auto it = accessors.find(message);
    return it == accessors.end() ? nullptr : it->second();
}

// ---- Resizing behaviour ---------------------------------------------------------

std::optional<StyleKit::ResizingBehavior> StyleKit::ResizingBehavior::fromRaw(std::int64_t raw) {
    if (raw < aspectFit || raw > center) return std::nullopt;
    return ResizingBehavior(static_cast<Value>(raw));
}

gfx::Rect StyleKit::ResizingBehavior::apply(const gfx::Rect& rect, const gfx::Rect& target) const {
    if (rect == target || target == gfx::zeroRect) return rect;
    double sx = std::fabs(target.width() / rect.width());
    double sy = std::fabs(target.height() / rect.height());
    switch (value_) {
        case aspectFit: sx = sy = (sy < sx ? sy : sx); break;
        case aspectFill: sx = sy = (sx <= sy ? sy : sx); break;
        case stretch: break;
        case center: sx = sy = 1; break;
    }
    gfx::Rect s = rect.standardized();
    double w = s.width() * sx, h = s.height() * sy;
    return {target.minX() + (target.width() - w) * 0.5, target.minY() + (target.height() - h) * 0.5, w, h};
}

// ---- Routine index ----------------------------------------------------------------

namespace {

using Routine = StyleKit::Routine;
using Kind = StyleKit::ParamKind;

// What a message carries to a routine, as received.
struct Message {
    gfx::Rect frame;
    StyleKit::Flag flag = 0;
    std::int64_t resizing = 0;
    double fraction = 0;
};
using Entry = void (*)(const Message&);

// A raw resizing value outside 0...3 fits by aspect, as the bodies always have.
StyleKit::ResizingBehavior behavior(std::int64_t raw) {
    return StyleKit::ResizingBehavior::fromRaw(raw).value_or(StyleKit::ResizingBehavior::aspectFit);
}

struct Index {
    std::vector<Routine> routines;
    std::vector<Entry> entries;  // by routine: the message entry, calling the direct entry
    std::unordered_map<std::string_view, std::size_t> byMessage;  // drawing and image messages
};

const Index& index() {
    static const Index built = [] {
        Index x;
        auto add = [&x](Routine r, Entry entry) {
            r.number = static_cast<int>(x.routines.size() + 1);
            x.routines.push_back(r);
            x.entries.push_back(entry);
        };
#define STYLEKIT_FRAME(Name)                                                                              \
    add({0, #Name, "draw" #Name "WithFrame:", Kind::frame, "", "", "imageOf" #Name "WithImageSize:"},     \
        [](const Message& m) { StyleKit::draw##Name##WithFrame(m.frame); });
#define STYLEKIT_FLAG(Name, param)                                                                        \
    add({0, #Name, "draw" #Name "WithFrame:" #param ":", Kind::flag, #param, "",                          \
         "imageOf" #Name "WithImageSize:" #param ":"},                                                    \
        [](const Message& m) { StyleKit::draw##Name##WithFrame(m.frame, m.flag); });
#define STYLEKIT_ALIAS(Name, Target)                                                                      \
    add({0, #Name, "draw" #Name "WithFrame:destructive:", Kind::flag, "destructive",                      \
         "draw" #Target "WithFrame:destructive:", "imageOf" #Name "WithImageSize:destructive:"},          \
        [](const Message& m) { StyleKit::draw##Target##WithFrame(m.frame, m.flag); });
#define STYLEKIT_RESIZING(Name)                                                                           \
    add({0, #Name, "draw" #Name "WithFrame:resizing:", Kind::resizing, "", "", "imageOf" #Name},          \
        [](const Message& m) { StyleKit::draw##Name##WithFrame(m.frame, behavior(m.resizing)); });
#define STYLEKIT_RESIZING_FRACTION(Name)                                                                  \
    add({0, #Name, "draw" #Name "WithFrame:resizing:fraction:", Kind::resizingFraction, "", "",           \
         "imageOf" #Name "WithFraction:"},                                                                \
        [](const Message& m) { StyleKit::draw##Name##WithFrame(m.frame, behavior(m.resizing), m.fraction); });
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION

        for (std::size_t i = 0; i < x.routines.size(); ++i) {
            if (x.routines[i].name == "BetaBadge") x.routines[i].imageMessage = "";  // no image of the badge
            x.byMessage.emplace(x.routines[i].message, i);
            if (!x.routines[i].imageMessage.empty()) x.byMessage.emplace(x.routines[i].imageMessage, i);
        }
        return x;
    }();
    return built;
}

std::size_t indexOf(std::string_view message) {
    const auto& map = index().byMessage;
    auto it = map.find(message);
    return it == map.end() ? SIZE_MAX : it->second;
}

std::size_t drawIndex(std::string_view message) {
    std::size_t i = indexOf(message);
    return i != SIZE_MAX && index().routines[i].message == message ? i : SIZE_MAX;
}

// Sends routine `i`'s drawing message; false for an unknown routine.
bool send(std::size_t i, const Message& m) {
    if (i == SIZE_MAX) return false;
    index().entries[i](m);
    return true;
}

// One bitmap of `size` with the routine drawn into (0, 0, width, height)
// through its message entry, so an alias draws through its own.
gfx::ImageRef render(std::string_view drawMessage, gfx::Size size, StyleKit::Flag flag, std::int64_t resizing = 0,
                     double fraction = 0, gfx::Point shift = {}) {
    gfx::ImageContextScope scope(size);
    if (shift != gfx::Point{}) gfx::currentContext()->translate(shift.x, shift.y);
    send(drawIndex(drawMessage), {{0, 0, size.width, size.height}, flag, resizing, fraction});
    return scope.image();
}

}  // namespace

std::span<const StyleKit::Routine> StyleKit::routines() { return index().routines; }

const StyleKit::Routine* StyleKit::routine(std::string_view message) {
    std::size_t i = indexOf(message);
    return i == SIZE_MAX ? nullptr : &index().routines[i];
}

bool StyleKit::perform(std::string_view message, const gfx::Rect& frame, Flag flag, std::int64_t resizing,
                       double fraction) {
    return send(drawIndex(message), {frame, flag, resizing, fraction});
}

gfx::ImageRef StyleKit::performImage(std::string_view message, gfx::Size size, Flag flag, double fraction) {
    std::size_t i = indexOf(message);
    if (i == SIZE_MAX) return nullptr;
    const Routine& r = index().routines[i];
    if (r.imageMessage != message) return nullptr;
    switch (r.kind) {
        case ParamKind::frame:
        case ParamKind::flag: return render(r.message, size, flag);
        case ParamKind::resizingFraction:
            return r.name == "SpinnerCircleAnimatable" ? imageOfSpinnerCircleAnimatableWithFraction(fraction)
                                                       : imageOfSpinnerCircleAnimatableSmallWithFraction(fraction);
        case ParamKind::resizing:
            if (r.name == "IconPremiumPrompt1") return imageOfIconPremiumPrompt1();
            if (r.name == "PinField") return imageOfPinField();
            return imageOfMapAnnotation();
    }
    return nullptr;
}

// ---- Aliases: their direct entries draw with the unnumbered routine's body -----------

#define STYLEKIT_FRAME(Name)
#define STYLEKIT_FLAG(Name, param)
#define STYLEKIT_ALIAS(Name, Target)                                                  \
    void StyleKit::draw##Name##WithFrame(const gfx::Rect& frame, Flag destructive) { \
        draw##Target##WithFrame(frame, destructive);                                  \
    }
#define STYLEKIT_RESIZING(Name)
#define STYLEKIT_RESIZING_FRACTION(Name)
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION

// ---- Image renderers --------------------------------------------------------------

#define STYLEKIT_FRAME(Name)                                              \
    gfx::ImageRef StyleKit::imageOf##Name##WithImageSize(gfx::Size size) { \
        return render("draw" #Name "WithFrame:", size, 0);                \
    }
#define STYLEKIT_FLAG(Name, param)                                                    \
    gfx::ImageRef StyleKit::imageOf##Name##WithImageSize(gfx::Size size, Flag param) { \
        return render("draw" #Name "WithFrame:" #param ":", size, param);             \
    }
#define STYLEKIT_ALIAS(Name, Target) STYLEKIT_FLAG(Name, destructive)
#define STYLEKIT_RESIZING(Name)
#define STYLEKIT_RESIZING_FRACTION(Name)
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION

gfx::ImageRef StyleKit::imageOfSpinnerCircleAnimatableWithFraction(double fraction) {
    return render("drawSpinnerCircleAnimatableWithFrame:resizing:fraction:", {30, 30}, 0,
                  ResizingBehavior::aspectFit, fraction);
}

gfx::ImageRef StyleKit::imageOfSpinnerCircleAnimatableSmallWithFraction(double fraction) {
    return render("drawSpinnerCircleAnimatableSmallWithFrame:resizing:fraction:", {18, 18}, 0,
                  ResizingBehavior::aspectFit, fraction);
}

// The image is made inside the guard of its static: made once, never
// replaced, never released while someone holds it.
gfx::ImageRef StyleKit::imageOfIconPremiumPrompt1() {
    static const gfx::ImageRef image =
        render("drawIconPremiumPrompt1WithFrame:resizing:", {44, 44}, 0, ResizingBehavior::aspectFit, 0, {21, 22});
    return image;
}

gfx::ImageRef StyleKit::imageOfPinField() {
    static const gfx::ImageRef image =
        render("drawPinFieldWithFrame:resizing:", {284, 64}, 0, ResizingBehavior::aspectFit);
    return image;
}

gfx::ImageRef StyleKit::imageOfMapAnnotation() {
    static const gfx::ImageRef image =
        render("drawMapAnnotationWithFrame:resizing:", {38, 38}, 0, ResizingBehavior::aspectFit);
    return image;
}

// ---- Target lists ------------------------------------------------------------------

namespace {
std::optional<StyleKit::TargetList> premiumPromptTargets, pinFieldTargetList, mapAnnotationTargetList;

void storeAndSend(std::optional<StyleKit::TargetList>& slot, std::optional<StyleKit::TargetList> targets,
                  gfx::ImageRef (*image)()) {
    slot = std::move(targets);
    if (!slot) return;
    for (const auto& target : *slot)
        if (target) target->setImage(image());
}
}  // namespace

std::optional<StyleKit::TargetList> StyleKit::iconPremiumPrompt1Targets() const { return premiumPromptTargets; }
void StyleKit::setIconPremiumPrompt1Targets(std::optional<TargetList> targets) {
    storeAndSend(premiumPromptTargets, std::move(targets), &imageOfIconPremiumPrompt1);
}
std::optional<StyleKit::TargetList> StyleKit::pinFieldTargets() const { return pinFieldTargetList; }
void StyleKit::setPinFieldTargets(std::optional<TargetList> targets) {
    storeAndSend(pinFieldTargetList, std::move(targets), &imageOfPinField);
}
std::optional<StyleKit::TargetList> StyleKit::mapAnnotationTargets() const { return mapAnnotationTargetList; }
void StyleKit::setMapAnnotationTargets(std::optional<TargetList> targets) {
    storeAndSend(mapAnnotationTargetList, std::move(targets), &imageOfMapAnnotation);
}

}  // namespace style
