// Renders every drawing routine of the kit, with each value of its flag (or a
// few animation fractions), into one labelled contact sheet and one PNG per
// routine, so a person can look over the whole kit. Each routine is drawn into
// a frame of its own design size, as a caller at that size sees it, and the
// whole sheet is then enlarged for viewing.
//
//   stylekit-sheet OUTPUT_DIR [--cell ZOOM] [--scale S]

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Graphics.h"
#include "style/StyleKit.h"

namespace {

using style::StyleKit;

struct Variant {
    std::string label;
    StyleKit::Flag flag = 0;
    double fraction = 0;
};

std::vector<Variant> variantsOf(const StyleKit::Routine& r) {
    switch (r.kind) {
        case StyleKit::ParamKind::flag:
            return {{std::string(r.flagName) + " 0", 0, 0}, {std::string(r.flagName) + " 1", 1, 0}};
        case StyleKit::ParamKind::resizingFraction:
            return {{"fraction 0", 0, 0}, {"fraction 0.5", 0, 0.5}, {"fraction 1", 0, 1}};
        default: return {{"", 0, 0}};
    }
}

// The frame each routine is drawn for. The routines with a resizing behaviour
// get their design rectangle; the fixed-size ones the size they draw at; those
// that scale with their frame the size and aspect their pictures are laid out
// for, or where none is given, a size of their family.
struct Design {
    std::string_view name;  // a routine's name, or the start of a family's names
    gfx::Size size;
    gfx::Point origin{};  // where the context's origin is moved before drawing
};

// The first entry whose name starts the routine's name is its design.
constexpr Design designs[] = {
    {"IconWarningTriangle", {80, 68}},  // fixed size, against the frame's right edge
    // As its cached image draws it: the picture lies about the fitted
    // rectangle's origin, and the image moves it into view.
    {"IconPremiumPrompt1", {44, 44}, {21, 22}},
    {"Icon", {44, 44}},  // the store badges' square and the dashboard are fixed at 44
    {"CircleIcon", {40, 40}},
    {"Device", {48, 48}},
    {"SelectParent", {80, 80}},  // fixed size, from the frame's origin
    {"SelectChild", {80, 80}},
    {"TabIcon", {30, 30}},
    {"LogoBrimvale", {150, 100}},  // 3:2
    {"LogoReverse", {200, 100}},   // 2:1
    {"BrimvaleChildAppIcon", {60, 60}},
    {"BrimvaleParentAppIcon", {60, 60}},
    {"KeyHeaderView", {320, 220}},
    {"BannerHeaderView", {320, 200}},
    {"ShadowBox", {300, 150}},
    {"ShadowCircle", {50, 50}},
    {"SpeechBubble", {100, 60}},
    {"PinField", {284, 64}},
    {"MapAnnotation", {38, 38}},
    {"SpinnerCircleAnimatableSmall", {18, 18}},
    {"SpinnerCircle", {30, 30}},
    {"DarkGradient", {100, 40}},
    {"BetaBadge", {200, 100}},
    {"SelectionCircle", {60, 60}},
    {"BorderedButton", {240, 45}},
};

const Design* designOf(const StyleKit::Routine& r) {
    for (const Design& d : designs)
        if (r.name.starts_with(d.name)) return &d;
    return nullptr;
}

const char* const usage =
    "usage: stylekit-sheet OUTPUT_DIR [--cell ZOOM] [--scale S]\n"
    "Draws every routine of the style kit at its design size, with each value of\n"
    "its flag, into OUTPUT_DIR/contact-sheet.png and one PNG per routine, named\n"
    "after it. --cell enlarges every picture for viewing (default 2), --scale sets\n"
    "the pixels per point (default 2).\n";

constexpr double titleSize = 11, variantSize = 10, gap = 8, labelHeight = 18;

void selectFont(cairo_t* cr, double size) {
    cairo_select_font_face(cr, "Lato", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

void label(double x, double y, const std::string& text, double size) {
    cairo_t* cr = static_cast<gfx::CairoContext&>(*gfx::currentContext()).cairo();
    cairo_save(cr);
    selectFont(cr, size);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

// Width of `text` in points at `size`, measured on a scratch surface.
double textWidth(const std::string& text, double size) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    selectFont(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return extents.x_advance;
}

std::string titleOf(const StyleKit::Routine& r) { return std::to_string(r.number) + " " + std::string(r.name); }

// One routine's pictures side by side, each in a slot as wide as its cell or its label.
struct Row {
    const StyleKit::Routine& routine;
    const Design& design;
    double zoom;

    gfx::Size cell() const { return {design.size.width * zoom, design.size.height * zoom}; }
    double slot(const Variant& v) const { return std::max(cell().width, textWidth(v.label, variantSize)) + gap; }
    gfx::Size size() const {
        double width = 0;
        for (const Variant& v : variantsOf(routine)) width += slot(v);
        return {width, cell().height + labelHeight};
    }

    // Draws the row with its top left at (x, y).
    void draw(double x, double y) const {
        for (const Variant& v : variantsOf(routine)) {
            gfx::Context* context = gfx::currentContext();
            const gfx::Rect frame{{x, y}, cell()};
            // A light grey behind each picture so white artwork stays visible.
            gfx::Color::rgba(0.85, 0.87, 0.9, 1)->setFill();
            gfx::BezierPath::rect(frame).fill();
            context->saveGState();
            context->clipToRect(frame);
            context->translate(x, y);
            context->scale(zoom, zoom);
            context->translate(design.origin.x, design.origin.y);
            StyleKit::perform(routine.message, {{0, 0}, design.size}, v.flag, StyleKit::ResizingBehavior::aspectFit,
                              v.fraction);
            context->restoreGState();
            if (!v.label.empty()) label(x + 2, y + cell().height + 12, v.label, variantSize);
            x += slot(v);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path out;
    double zoom = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if ((arg == "--cell" || arg == "--scale") && i + 1 < argc) {
            const double value = std::atof(argv[++i]);
            if (!(value > 0)) {
                std::fprintf(stderr, "stylekit-sheet: %s needs a positive number\n%s", arg.c_str(), usage);
                return 2;
            }
            if (arg == "--cell") zoom = value;
            else gfx::setScreenScale(value);
        } else if (arg.starts_with("-") || !out.empty()) {
            std::fprintf(stderr, "stylekit-sheet: unexpected argument %s\n%s", arg.c_str(), usage);
            return 2;
        } else {
            out = arg;
        }
    }
    if (out.empty()) {
        std::fputs(usage, stderr);
        return 2;
    }

    std::vector<Row> rows;
    for (const StyleKit::Routine& r : StyleKit::routines()) {
        const Design* design = designOf(r);
        if (!design) {
            std::fprintf(stderr, "stylekit-sheet: no design size for %s\n", std::string(r.name).c_str());
            return 1;
        }
        rows.push_back({r, *design, zoom});
    }
    std::filesystem::create_directories(out);

    // Rows flow left to right in routine order and wrap at the sheet's width.
    const double margin = 16, top = margin + 30, titleHeight = 16;
    double width = 1000;
    for (const Row& row : rows) width = std::max({width, row.size().width, textWidth(titleOf(row.routine), titleSize)});
    std::vector<gfx::Point> places;
    double x = 0, y = top, lineHeight = 0;
    for (const Row& row : rows) {
        const double w = std::max(row.size().width, textWidth(titleOf(row.routine), titleSize) + gap);
        if (x > 0 && x + w > width) {
            x = 0;
            y += lineHeight;
            lineHeight = 0;
        }
        places.push_back({margin + x, y});
        x += w + margin;
        lineHeight = std::max(lineHeight, titleHeight + row.size().height + margin);
    }
    const gfx::Size sheetSize{width + 2 * margin, y + lineHeight + margin};

    // An image side is at most 32767 pixels, and a sheet of more than 10^8 pixels
    // takes gigabytes: a sheet too large for the scale is drawn at a smaller one.
    // The per-routine PNGs keep the scale asked for.
    const double sheetScale = std::min({gfx::screenScale(), 32767 / std::max(sheetSize.width, sheetSize.height),
                                        std::sqrt(1e8 / (sheetSize.width * sheetSize.height))});
    gfx::beginImageContext(sheetSize, true, sheetScale);
    gfx::Color::whiteColor()->setFill();
    gfx::BezierPath::rect({{0, 0}, sheetSize}).fill();
    label(margin, margin + 14, std::to_string(rows.size()) + " routines, each at its design size", 16);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        label(places[i].x, places[i].y + 10, titleOf(rows[i].routine), titleSize);
        rows[i].draw(places[i].x, places[i].y + titleHeight);
    }
    bool ok = gfx::imageFromCurrentImageContext()->writePNG((out / "contact-sheet.png").string());
    gfx::endImageContext();

    for (const Row& row : rows) {
        gfx::ImageContextScope scope(row.size());
        row.draw(0, 0);
        ok &= scope.image()->writePNG((out / (std::string(row.routine.name) + ".png")).string());
    }
    std::printf("%zu routines drawn into %s\n", rows.size(), out.c_str());
    // The labels' fonts stay in cairo's and fontconfig's caches: let go of them, as a
    // program that checks for leaks at exit must.
    cairo_debug_reset_static_data();
    FcFini();
    return ok ? 0 : 1;
}
