#include "ui/Controls.h"

#include "graphics/CairoContext.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace ui {
namespace {

struct FontFace {
    std::string family;
    int weight;  // OpenType scale, as Pango counts
};

// Pango's objects are not safe to share between threads, and its default font map is
// one per thread: all text goes through one font map, used by one thread at a time
// under this lock, which also guards the registered faces.
std::mutex textMutex;
std::map<std::string, FontFace> registeredFaces;  // by PostScript name

// Call with textMutex held.
PangoFontMap* fontMap() {
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

// Points map 1:1 to user-space units, and metrics do not follow the pixel grid,
// so measuring and drawing agree at every scale.
void prepareContext(PangoContext* context) {
    pango_cairo_context_set_resolution(context, 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
}

// Byte offset of a UTF-16 offset in a UTF-8 text.
std::size_t byteOffsetOfUtf16(const std::string& text, std::size_t units) {
    std::size_t i = 0;
    while (i < text.size() && units > 0) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        units -= std::min<std::size_t>(units, length == 4 ? 2 : 1);
        i += length;
    }
    return std::min(i, text.size());
}

struct TextSpec {
    std::string text;
    const Font* font = nullptr;
    double width = 0;  // 0: unbounded
    int lines = 1;     // 0: unlimited
    double kern = 0;
    std::size_t kernStart = 0, kernEnd = 0;  // bytes
    TextAlignment alignment = TextAlignment::left;
};

PangoLayout* makeLayout(PangoContext* context, const TextSpec& textSpec) {
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_text(layout, textSpec.text.c_str(), static_cast<int>(textSpec.text.size()));
    PangoFontDescription* fallback = nullptr;
    if (textSpec.font) {
        pango_layout_set_font_description(layout, textSpec.font->description());
    } else {
        fallback = pango_font_description_from_string("Sans");
        pango_font_description_set_absolute_size(fallback, 17 * PANGO_SCALE);
        pango_layout_set_font_description(layout, fallback);
        pango_font_description_free(fallback);
    }
    if (textSpec.width > 0) {
        pango_layout_set_width(layout, static_cast<int>(textSpec.width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (textSpec.lines > 0) {
            pango_layout_set_height(layout, -textSpec.lines);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
    }
    pango_layout_set_alignment(layout, textSpec.alignment == TextAlignment::center  ? PANGO_ALIGN_CENTER
                                       : textSpec.alignment == TextAlignment::right ? PANGO_ALIGN_RIGHT
                                                                                : PANGO_ALIGN_LEFT);
    if (textSpec.kern != 0 && textSpec.kernEnd > textSpec.kernStart) {
        PangoAttrList* attributes = pango_attr_list_new();
        PangoAttribute* spacing = pango_attr_letter_spacing_new(static_cast<int>(textSpec.kern * PANGO_SCALE));
        spacing->start_index = static_cast<guint>(textSpec.kernStart);
        spacing->end_index = static_cast<guint>(textSpec.kernEnd);
        pango_attr_list_insert(attributes, spacing);
        pango_layout_set_attributes(layout, attributes);
        pango_attr_list_unref(attributes);
    }
    return layout;
}

Size measure(const TextSpec& textSpec) {
    std::lock_guard lock(textMutex);
    static PangoContext* context = [] {
        PangoContext* c = pango_font_map_create_context(fontMap());
        prepareContext(c);
        return c;
    }();
    PangoLayout* layout = makeLayout(context, textSpec);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return {logical.width / double(PANGO_SCALE), logical.height / double(PANGO_SCALE)};
}

// Draws the text centred vertically in `box`, as labels and button titles show it.
void drawText(gfx::Context& context, const TextSpec& textSpec, Rect box, const ColorRef& color) {
    auto* cairoContext = dynamic_cast<gfx::CairoContext*>(&context);
    if (!cairoContext || textSpec.text.empty()) return;
    cairo_t* cr = cairoContext->cairo();
    std::lock_guard lock(textMutex);
    cairo_save(cr);
    PangoContext* pangoContext = pango_font_map_create_context(fontMap());
    pango_cairo_update_context(cr, pangoContext);
    prepareContext(pangoContext);
    PangoLayout* layout = makeLayout(pangoContext, textSpec);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    double height = logical.height / double(PANGO_SCALE);
    gfx::RGBA c = color ? color->rgba() : gfx::RGBA{0, 0, 0, 1};
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
    cairo_move_to(cr, box.origin.x, box.origin.y + (box.size.height - height) / 2);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    g_object_unref(pangoContext);
    cairo_restore(cr);
}

}  // namespace

// ---- Font ----------------------------------------------------------------------

void Font::registerFonts(const std::filesystem::path& folder) {
    std::lock_guard lock(textMutex);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        auto extension = entry.path().extension().string();
        if (extension != ".ttf" && extension != ".otf") continue;
        const auto* file = reinterpret_cast<const FcChar8*>(entry.path().c_str());
        int count = 0;
        FcPattern* pattern = FcFreeTypeQuery(file, 0, nullptr, &count);
        if (!pattern) continue;
        FcChar8* postscript = nullptr;
        FcChar8* family = nullptr;
        double weight = FC_WEIGHT_REGULAR;
        if (FcPatternGetString(pattern, FC_POSTSCRIPT_NAME, 0, &postscript) == FcResultMatch &&
            FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch) {
            FcPatternGetDouble(pattern, FC_WEIGHT, 0, &weight);
            FcConfigAppFontAddFile(FcConfigGetCurrent(), file);
            registeredFaces[reinterpret_cast<const char*>(postscript)] = {
                reinterpret_cast<const char*>(family), static_cast<int>(FcWeightToOpenTypeDouble(weight))};
        }
        FcPatternDestroy(pattern);
    }
    pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(fontMap()));
}

std::shared_ptr<const Font> Font::named(const std::string& name, double pointSize) {
    std::lock_guard lock(textMutex);
    auto face = registeredFaces.find(name);
    if (face == registeredFaces.end()) return nullptr;
    return std::make_shared<Font>(name, face->second.family, face->second.weight, pointSize);
}

Font::Font(std::string name, std::string family, int weight, double pointSize)
    : name_(std::move(name)), pointSize_(pointSize), description_(pango_font_description_new()) {
    pango_font_description_set_family(description_, family.c_str());
    pango_font_description_set_weight(description_, static_cast<PangoWeight>(weight));
    pango_font_description_set_absolute_size(description_, pointSize * PANGO_SCALE);
}

Font::~Font() { pango_font_description_free(description_); }

Size measureText(const std::string& text, const Font* font, double width, int lines) {
    return measure(TextSpec{text, font, width, lines});
}

// ---- Label ---------------------------------------------------------------------

void Label::setText(std::optional<std::string> text) {
    text_ = std::move(text);
    attributed_.reset();
    setNeedsLayout();
    setNeedsDisplay();
}

void Label::setAttributedText(AttributedText text) {
    text_ = text.text;
    attributed_ = std::move(text);
    setNeedsLayout();
    setNeedsDisplay();
}

void Label::setFont(FontRef font) {
    font_ = std::move(font);
    setNeedsDisplay();
}

void Label::setTextColor(ColorRef color) {
    textColor_ = std::move(color);
    setNeedsDisplay();
}

void Label::setNumberOfLines(int lines) {
    numberOfLines_ = std::max(0, lines);
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

namespace {
TextSpec labelSpec(const Label& label, double width) {
    TextSpec textSpec{label.text().value_or(""), label.font().get(), width, label.numberOfLines()};
    textSpec.alignment = label.textAlignment();
    if (const auto& attributed = label.attributedText()) {
        textSpec.kern = attributed->kern;
        textSpec.kernStart = byteOffsetOfUtf16(textSpec.text, attributed->kernLocation);
        textSpec.kernEnd = byteOffsetOfUtf16(textSpec.text, attributed->kernLocation + attributed->kernLength);
    }
    return textSpec;
}
}  // namespace

Size Label::sizeThatFits(Size size) const {
    if (!text_ || text_->empty()) return {0, 0};
    Size fitting = measure(labelSpec(*this, size.width > 0 ? size.width : 0));
    fitting = {std::ceil(fitting.width), std::ceil(fitting.height)};
    if (size.width > 0) fitting.width = std::min(fitting.width, size.width);
    return fitting;
}

void Label::drawContent(gfx::Context& context) const {
    drawText(context, labelSpec(*this, bounds().size.width), bounds(), textColor_);
}

// ---- Button --------------------------------------------------------------------

Button::Button(Rect frame) : View(frame), titleLabel_(std::make_shared<Label>()) {
    titleLabel_->setFont(Font::named("Lato-Regular", 15));
}

template <class T>
T Button::forState(const std::map<unsigned, T>& values, ControlState state) {
    if (auto it = values.find(state); it != values.end() && it->second) return it->second;
    if (auto it = values.find(stateNormal); it != values.end()) return it->second;
    return T{};
}

void Button::setTitle(std::optional<std::string> title, ControlState state) {
    titles_[state] = std::move(title);
    titleLabel_->setText(this->title(this->state()));
    setNeedsDisplay();
}

std::optional<std::string> Button::title(ControlState state) const { return forState(titles_, state); }

void Button::setTitleColor(ColorRef color, ControlState state) {
    titleColors_[state] = std::move(color);
    setNeedsDisplay();
}

ColorRef Button::titleColor(ControlState state) const { return forState(titleColors_, state); }

void Button::setBackgroundImage(gfx::ImageRef image, ControlState state) {
    backgrounds_[state] = std::move(image);
    setNeedsDisplay();
}

gfx::ImageRef Button::backgroundImage(ControlState state) const { return forState(backgrounds_, state); }

void Button::setEnabled(bool enabled) {
    enabled_ = enabled;
    setNeedsDisplay();
}

void Button::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

ControlState Button::state() const {
    if (!enabled_) return stateDisabled;
    return highlighted_ ? stateHighlighted : stateNormal;
}

void Button::sendActions() {
    if (!enabled_) return;
    auto keepAlive = weak_from_this().lock();  // an action may release the sender
    for (const auto& action : std::vector(actions_)) action();
}

void Button::drawContent(gfx::Context& context) const {
    if (auto image = backgroundImage(state())) image->drawInRect(bounds());
    ColorRef color = titleColor(state());
    if (!color) color = tintColor();
    TextSpec textSpec{title(state()).value_or(""), titleLabel_->font().get(), bounds().size.width, 1};
    textSpec.alignment = TextAlignment::center;
    drawText(context, textSpec, bounds(), color);
}

// ---- Table cells -----------------------------------------------------------------

TableViewCell::TableViewCell(bool withDetail) : View(Rect{0, 0, 320, 44}), textLabel_(std::make_shared<Label>()) {
    textLabel_->setFrame({16, 0, 200, 44});
    addSubview(textLabel_);
    if (withDetail) {
        detailTextLabel_ = std::make_shared<Label>();
        detailTextLabel_->setFrame({216, 0, 88, 44});
        detailTextLabel_->setTextAlignment(TextAlignment::right);
        addSubview(detailTextLabel_);
    }
}

// ---- ImageView -----------------------------------------------------------------

void ImageView::setImage(gfx::ImageRef image) {
    image_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::drawContent(gfx::Context&) const {
    if (image_) image_->drawInRect(bounds());
}

}  // namespace ui

// ---- Sanitizer builds ----------------------------------------------------------------
// What the sanitizers cannot see in the two libraries under the text code, kept here so
// that every program laying out text carries it (in sanitizer builds only).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRIMVALE_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define BRIMVALE_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(BRIMVALE_ASAN)
// Fontconfig keeps its configuration and the registered fonts for the life of the
// process (FcFini would free them) and links their parts by offsets from the owner
// (FcPattern elts_offset, FcCharSet leaves_offset) rather than by pointers, so the
// leak check finds no pointer to them and counts them as lost at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
#if defined(__SANITIZE_THREAD__) || defined(BRIMVALE_TSAN)
// Pango matches fonts on threads of its own ("[pango] FcInit", "[pango] FcFontSetMatch",
// "[pango] FcFontSetSort"), where fontconfig copies the matched patterns, and hands them
// to the caller under GLib's mutex and condition, which are inline atomics and futex
// calls in the uninstrumented GLib: the race detector misses that hand-over and reports
// the caller's first read of what fontconfig wrote. Races on our own memory stay reported.
extern "C" const char* __tsan_default_suppressions() { return "race:libfontconfig.so\n"; }
#endif
