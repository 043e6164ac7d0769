// Renders every drawing routine of the kit, with each value
// of its flag (or a few animation fractions), into one labelled contact
// sheet and one PNG per routine, so a person can look over the whole kit.
//
//   stylekit-sheet OUTPUT_DIR [--cell POINTS] [--scale S]

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
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

const char* const usage =
    "usage: stylekit-sheet OUTPUT_DIR [--cell POINTS] [--scale S]\n"
    "Draws every routine of the style kit, with each value of its flag, into\n"
    "OUTPUT_DIR/contact-sheet.png and one PNG per routine. --cell is a picture's\n"
    "side in points (default 120), --scale the pixels per point (default 1).\n";

constexpr double titleSize = 11, variantSize = 10;

void selectFont(cairo_t* cr, double size) {
    cairo_select_font_face(cr, "Lato", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

void label(gfx::CairoContext& context, double x, double y, const std::string& text, double size) {
    cairo_t* cr = context.cairo();
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

std::string titleOf(const StyleKit::Routine& r) { return std::to_string(r.number) + " " + std::string(r.message); }

// A light grey behind each picture so white artwork stays visible.
void backdrop(const gfx::Rect& r) {
    gfx::Color::rgba(0.85, 0.87, 0.9, 1)->setFill();
    gfx::BezierPath::rect(r).fill();
}

// Draws the variants of one routine in a row of slots starting at (x, y).
void drawRow(const StyleKit::Routine& r, double x, double y, double cell, double slot) {
    for (const Variant& v : variantsOf(r)) {
        gfx::Context* context = gfx::currentContext();
        gfx::Rect frame{x, y, cell, cell};
        backdrop(frame);
        context->saveGState();
        context->clipToRect(frame);
        StyleKit::perform(r.message, frame, v.flag, StyleKit::ResizingBehavior::aspectFit, v.fraction);
        context->restoreGState();
        if (!v.label.empty())
            label(static_cast<gfx::CairoContext&>(*context), x + 2, y + cell + 12, v.label, variantSize);
        x += slot;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path out;
    double cell = 120;
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
            if (arg == "--cell") cell = value;
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
    std::filesystem::create_directories(out);

    const std::span<const StyleKit::Routine> routines = StyleKit::routines();

    // Slots and columns as wide as their widest label, so no label runs into the next.
    double slot = cell, columnWidth = 0;
    for (const StyleKit::Routine& r : routines) {
        for (const Variant& v : variantsOf(r)) slot = std::max(slot, textWidth(v.label, variantSize) + 4);
        columnWidth = std::max(columnWidth, textWidth(titleOf(r), titleSize));
    }
    slot += 8;
    columnWidth = std::max(columnWidth, 3 * slot);
    const double rowHeight = cell + 40, margin = 16;
    const int columns = 3;
    int rows = (static_cast<int>(routines.size()) + columns - 1) / columns;
    gfx::Size sheetSize{margin * 2 + columns * (columnWidth + margin), margin * 2 + 30 + rows * rowHeight};

    gfx::beginImageContext(sheetSize, true, 0);
    auto& sheet = static_cast<gfx::CairoContext&>(*gfx::currentContext());
    gfx::Color::whiteColor()->setFill();
    gfx::BezierPath::rect({0, 0, sheetSize.width, sheetSize.height}).fill();
    label(sheet, margin, margin + 14, std::to_string(routines.size()) + " routines", 16);
    for (std::size_t i = 0; i < routines.size(); ++i) {
        double x = margin + double(i % columns) * (columnWidth + margin);
        double y = margin + 30 + double(i / columns) * rowHeight;
        label(sheet, x, y + 10, titleOf(routines[i]), titleSize);
        drawRow(routines[i], x, y + 16, cell, slot);
    }
    bool ok = gfx::imageFromCurrentImageContext()->writePNG((out / "contact-sheet.png").string());
    gfx::endImageContext();

    for (const StyleKit::Routine& r : routines) {
        std::size_t count = variantsOf(r).size();
        gfx::ImageContextScope scope({double(count) * slot, cell + 20});
        drawRow(r, 0, 0, cell, slot);
        ok &= scope.image()->writePNG((out / (std::string(r.name) + ".png")).string());
    }
    std::printf("%zu routines drawn into %s\n", routines.size(), out.c_str());
    // The labels' fonts stay in cairo's and fontconfig's caches: let go of them, as a
    // program that checks for leaks at exit must.
    cairo_debug_reset_static_data();
    FcFini();
    return ok ? 0 : 1;
}
