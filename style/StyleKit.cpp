#include "style/StyleKit.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// ---- Routine index and body table ---------------------------------------------

struct BodyRegistry::Table {
    std::vector<StyleKit::Routine> routines;
    std::vector<StyleKit::Body> bodies;  // by index; null until registered
    std::unordered_map<std::string_view, std::size_t> byMessage;  // drawing and image messages
};

namespace artwork {
#define STYLEKIT_FAMILY(Name) void register##Name(BodyRegistry&);
#include "style/ArtworkFamilies.def"
#undef STYLEKIT_FAMILY
}  // namespace artwork

void registerAllFamilies(BodyRegistry::Table& t);

namespace {

using Routine = StyleKit::Routine;
using Kind = StyleKit::ParamKind;

std::vector<Routine> declaredRoutines() {
    std::vector<Routine> r;
#define STYLEKIT_FRAME(Name) \
    r.push_back({0, #Name, "draw" #Name "WithFrame:", Kind::frame, "", "", "imageOf" #Name "WithImageSize:"});
#define STYLEKIT_FLAG(Name, param)                                                                       \
    r.push_back({0, #Name, "draw" #Name "WithFrame:" #param ":", Kind::flag, #param, "",                   \
                 "imageOf" #Name "WithImageSize:" #param ":"});
#define STYLEKIT_ALIAS(Name, Target)                                                                    \
    r.push_back({0, #Name, "draw" #Name "WithFrame:destructive:", Kind::flag, "destructive",              \
                 "draw" #Target "WithFrame:destructive:", "imageOf" #Name "WithImageSize:destructive:"});
#define STYLEKIT_RESIZING(Name) \
    r.push_back({0, #Name, "draw" #Name "WithFrame:resizing:", Kind::resizing, "", "", "imageOf" #Name});
#define STYLEKIT_RESIZING_FRACTION(Name)                                                                \
    r.push_back({0, #Name, "draw" #Name "WithFrame:resizing:fraction:", Kind::resizingFraction, "", "",  \
                 "imageOf" #Name "WithFraction:"});
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION
    for (std::size_t i = 0; i < r.size(); ++i) {
        r[i].number = static_cast<int>(i + 1);
        if (r[i].name == "BetaBadge") r[i].imageMessage = "";  // no image of the badge
    }
    return r;
}

// Built on first use: the index, then every family's bodies.
BodyRegistry::Table& table() {
    static BodyRegistry::Table* t = [] {
        auto* built = new BodyRegistry::Table;  // lives for the whole process
        built->routines = declaredRoutines();
        built->bodies.assign(built->routines.size(), nullptr);
        for (std::size_t i = 0; i < built->routines.size(); ++i) {
            built->byMessage.emplace(built->routines[i].message, i);
            if (!built->routines[i].imageMessage.empty())
                built->byMessage.emplace(built->routines[i].imageMessage, i);
        }
        return built;
    }();
    static const bool registered = [] {
        registerAllFamilies(*t);
        return true;
    }();
    (void)registered;
    return *t;
}

std::size_t indexOf(std::string_view message) {
    const auto& map = table().byMessage;
    auto it = map.find(message);
    return it == map.end() ? SIZE_MAX : it->second;
}

// Routines whose entry hands its shared body an argument of its own.
void addSharedArguments(std::string_view name, StyleKit::DrawCall& call) {
    static double (*const minY)(const gfx::Rect&) = [](const gfx::Rect& r) { return r.minY(); };
    static double (*const maxY)(const gfx::Rect&) = [](const gfx::Rect& r) { return r.maxY(); };
    if (name == "CircleIconUser" || name == "SpinnerCircleBlue")
        call.colorMessage = "bvBlue";
    else if (name == "CircleIconUserDark")
        call.colorMessage = "bvBlueDark";
    else if (name == "SpinnerCircleLightBlue")
        call.colorMessage = "bvBlueLight";
    else if (name == "DarkGradientUp")
        call.startY = minY, call.endY = maxY;
    else if (name == "DarkGradientDown")
        call.startY = maxY, call.endY = minY;
}

// Runs routine `index` (an alias runs its target); false when its body is missing.
bool invoke(std::size_t index, StyleKit::DrawCall call) {
    BodyRegistry::Table& t = table();
    if (index >= t.routines.size()) return false;
    if (!t.routines[index].aliasOf.empty()) index = indexOf(t.routines[index].aliasOf);
    StyleKit::Body body = t.bodies[index];
    if (!body) return false;
    addSharedArguments(t.routines[index].name, call);
    body(call);
    return true;
}

std::size_t drawIndex(std::string_view message) {
    std::size_t i = indexOf(message);
    return i != SIZE_MAX && table().routines[i].message == message ? i : SIZE_MAX;
}

// One bitmap of `size` with the routine drawn into (0, 0, width, height).
gfx::ImageRef render(std::size_t index, gfx::Size size, StyleKit::Flag flag, std::int64_t resizing = 0,
                     double fraction = 0, gfx::Point shift = {}) {
    gfx::ImageContextScope scope(size);
    if (shift != gfx::Point{}) gfx::currentContext()->translate(shift.x, shift.y);
    StyleKit::DrawCall call;
    call.frame = {0, 0, size.width, size.height};
    call.flag = flag;
    call.resizing = resizing;
    call.fraction = fraction;
    invoke(index, call);
    return scope.image();
}

}  // namespace

void registerAllFamilies(BodyRegistry::Table& t) {
    BodyRegistry registry(t);
#define STYLEKIT_FAMILY(Name) artwork::register##Name(registry);
#include "style/ArtworkFamilies.def"
#undef STYLEKIT_FAMILY
}

void BodyRegistry::add(std::string_view message, StyleKit::Body body) {
    auto it = table_.byMessage.find(message);
    const char* problem = nullptr;
    if (it == table_.byMessage.end() || table_.routines[it->second].message != message)
        problem = "no drawing routine of this name";
    else if (!table_.routines[it->second].aliasOf.empty())
        problem = "an alias draws with its routine's body";
    else if (table_.bodies[it->second])
        problem = "a body is already registered";
    else if (!body)
        problem = "null body";
    if (problem) {
        std::fprintf(stderr, "StyleKit: cannot register %.*s: %s\n", int(message.size()), message.data(), problem);
        std::abort();
    }
    table_.bodies[it->second] = body;
}

bool StyleKit::Routine::present() const {
    const BodyRegistry::Table& t = table();
    std::size_t i = indexOf(aliasOf.empty() ? message : aliasOf);
    return i != SIZE_MAX && t.bodies[i] != nullptr;
}

std::span<const StyleKit::Routine> StyleKit::routines() { return table().routines; }

const StyleKit::Routine* StyleKit::routine(std::string_view message) {
    std::size_t i = indexOf(message);
    return i == SIZE_MAX ? nullptr : &table().routines[i];
}

std::vector<const StyleKit::Routine*> StyleKit::missingRoutines() {
    std::vector<const Routine*> missing;
    for (const Routine& r : routines())
        if (!r.present()) missing.push_back(&r);
    return missing;
}

bool StyleKit::perform(std::string_view message, const gfx::Rect& frame, Flag flag, std::int64_t resizing,
                       double fraction) {
    DrawCall call;
    call.frame = frame;
    call.flag = flag;
    call.resizing = resizing;
    call.fraction = fraction;
    return invoke(drawIndex(message), call);
}

gfx::ImageRef StyleKit::performImage(std::string_view message, gfx::Size size, Flag flag, double fraction) {
    std::size_t i = indexOf(message);
    if (i == SIZE_MAX) return nullptr;
    const Routine& r = table().routines[i];
    if (r.imageMessage != message || !r.present()) return nullptr;
    switch (r.kind) {
        case ParamKind::frame:
        case ParamKind::flag: return render(i, size, flag);
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

// ---- Direct entries -------------------------------------------------------------

namespace {
StyleKit::DrawCall callWith(const gfx::Rect& frame, StyleKit::Flag flag = 0, std::int64_t resizing = 0,
                            double fraction = 0) {
    StyleKit::DrawCall call;
    call.frame = frame;
    call.flag = flag;
    call.resizing = resizing;
    call.fraction = fraction;
    return call;
}
}  // namespace

#define STYLEKIT_INDEX(message) static const std::size_t index = drawIndex(message)
#define STYLEKIT_FRAME(Name)                                               \
    void StyleKit::draw##Name##WithFrame(const gfx::Rect& frame) {         \
        STYLEKIT_INDEX("draw" #Name "WithFrame:");                         \
        invoke(index, callWith(frame));                                    \
    }
#define STYLEKIT_FLAG(Name, param)                                          \
    void StyleKit::draw##Name##WithFrame(const gfx::Rect& frame, Flag param) { \
        STYLEKIT_INDEX("draw" #Name "WithFrame:" #param ":");               \
        invoke(index, callWith(frame, param & 1));                          \
    }
#define STYLEKIT_ALIAS(Name, Target) STYLEKIT_FLAG(Name, destructive)
#define STYLEKIT_RESIZING(Name)                                                            \
    void StyleKit::draw##Name##WithFrame(const gfx::Rect& frame, ResizingBehavior resizing) { \
        STYLEKIT_INDEX("draw" #Name "WithFrame:resizing:");                                \
        invoke(index, callWith(frame, 0, resizing.rawValue()));                            \
    }
#define STYLEKIT_RESIZING_FRACTION(Name)                                                                   \
    void StyleKit::draw##Name##WithFrame(const gfx::Rect& frame, ResizingBehavior resizing, double fraction) { \
        STYLEKIT_INDEX("draw" #Name "WithFrame:resizing:fraction:");                                       \
        invoke(index, callWith(frame, 0, resizing.rawValue(), fraction));                                  \
    }
#include "style/StyleKitRoutines.def"
#undef STYLEKIT_FRAME
#undef STYLEKIT_FLAG
#undef STYLEKIT_ALIAS
#undef STYLEKIT_RESIZING
#undef STYLEKIT_RESIZING_FRACTION

// ---- Image renderers --------------------------------------------------------------

#define STYLEKIT_FRAME(Name)                                              \
    gfx::ImageRef StyleKit::imageOf##Name##WithImageSize(gfx::Size size) { \
        STYLEKIT_INDEX("draw" #Name "WithFrame:");                        \
        return render(index, size, 0);                                    \
    }
#define STYLEKIT_FLAG(Name, param)                                                    \
    gfx::ImageRef StyleKit::imageOf##Name##WithImageSize(gfx::Size size, Flag param) { \
        STYLEKIT_INDEX("draw" #Name "WithFrame:" #param ":");                         \
        return render(index, size, param & 1);                                        \
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
    STYLEKIT_INDEX("drawSpinnerCircleAnimatableWithFrame:resizing:fraction:");
    return render(index, {30, 30}, 0, ResizingBehavior::aspectFit, fraction);
}

gfx::ImageRef StyleKit::imageOfSpinnerCircleAnimatableSmallWithFraction(double fraction) {
    STYLEKIT_INDEX("drawSpinnerCircleAnimatableSmallWithFrame:resizing:fraction:");
    return render(index, {18, 18}, 0, ResizingBehavior::aspectFit, fraction);
}

// The image is made inside the guard of its static: made once, never
// replaced, never released while someone holds it.
gfx::ImageRef StyleKit::imageOfIconPremiumPrompt1() {
    static const gfx::ImageRef image = render(drawIndex("drawIconPremiumPrompt1WithFrame:resizing:"), {44, 44}, 0,
                                              ResizingBehavior::aspectFit, 0, {21, 22});
    return image;
}

gfx::ImageRef StyleKit::imageOfPinField() {
    static const gfx::ImageRef image =
        render(drawIndex("drawPinFieldWithFrame:resizing:"), {284, 64}, 0, ResizingBehavior::aspectFit);
    return image;
}

gfx::ImageRef StyleKit::imageOfMapAnnotation() {
    static const gfx::ImageRef image =
        render(drawIndex("drawMapAnnotationWithFrame:resizing:"), {38, 38}, 0, ResizingBehavior::aspectFit);
    return image;
}
#undef STYLEKIT_INDEX

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
