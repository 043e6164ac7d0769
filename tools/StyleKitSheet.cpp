// Renders every drawing routine of the kit that has a body, with each value
// of its flag (or a few animation fractions), into one labelled contact
// sheet and one PNG per routine, so a person can look over the whole kit.
//
//   stylekit-sheet OUTPUT_DIR [--cell POINTS] [--scale S]

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

void label(gfx::CairoContext& context, double x, double y, const std::string& text, double size) {
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    cairo_select_font_face(cr, "Lato", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
}

// A light grey behind each picture so white artwork stays visible.
void backdrop(const gfx::Rect& r) {
    gfx::Color::rgba(0.85, 0.87, 0.9, 1)->setFill();
    gfx::BezierPath::rect(r).fill();
}

// Draws the variants of one routine in a row of cells starting at (x, y).
void drawRow(const StyleKit::Routine& r, double x, double y, double cell) {
    for (const Variant& v : variantsOf(r)) {
        gfx::Context* context = gfx::currentContext();
        gfx::Rect frame{x, y, cell, cell};
        backdrop(frame);
        context->saveGState();
        context->clipToRect(frame);
        StyleKit::perform(r.message, frame, v.flag, StyleKit::ResizingBehavior::aspectFit, v.fraction);
        context->restoreGState();
        if (!v.label.empty()) label(static_cast<gfx::CairoContext&>(*context), x + 4, y + cell + 12, v.label, 10);
        x += cell + 8;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [--cell POINTS] [--scale S]\n", argv[0]);
        return 2;
    }
    std::filesystem::path out = argv[1];
    double cell = 120;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string flag = argv[i];
        if (flag == "--cell") cell = std::atof(argv[i + 1]);
        if (flag == "--scale") gfx::setScreenScale(std::atof(argv[i + 1]));
    }
    std::filesystem::create_directories(out);

    std::vector<const StyleKit::Routine*> present;
    for (const StyleKit::Routine& r : StyleKit::routines())
        if (r.present()) present.push_back(&r);

    const double rowHeight = cell + 40, margin = 16, titleWidth = 3 * (cell + 8);
    const int columns = 3;
    int rows = (static_cast<int>(present.size()) + columns - 1) / columns;
    gfx::Size sheetSize{margin * 2 + columns * (titleWidth + margin), margin * 2 + 30 + rows * rowHeight};

    gfx::beginImageContext(sheetSize, true, 0);
    auto& sheet = static_cast<gfx::CairoContext&>(*gfx::currentContext());
    gfx::Color::whiteColor()->setFill();
    gfx::BezierPath::rect({0, 0, sheetSize.width, sheetSize.height}).fill();
    label(sheet, margin, margin + 14,
          std::to_string(present.size()) + " of " + std::to_string(StyleKit::routines().size()) +
              " routines present",
          16);
    for (std::size_t i = 0; i < present.size(); ++i) {
        double x = margin + double(i % columns) * (titleWidth + margin);
        double y = margin + 30 + double(i / columns) * rowHeight;
        label(sheet, x, y + 10, std::to_string(present[i]->number) + " " + std::string(present[i]->message), 11);
        drawRow(*present[i], x, y + 16, cell);
    }
    bool ok = gfx::imageFromCurrentImageContext()->writePNG((out / "contact-sheet.png").string());
    gfx::endImageContext();

    for (const StyleKit::Routine* r : present) {
        std::size_t count = variantsOf(*r).size();
        gfx::ImageContextScope scope({double(count) * (cell + 8), cell + 20});
        drawRow(*r, 0, 0, cell);
        ok &= scope.image()->writePNG((out / (std::string(r->name) + ".png")).string());
    }
    std::printf("%zu routines drawn into %s; missing %zu\n", present.size(), out.c_str(),
                StyleKit::missingRoutines().size());
    return ok ? 0 : 1;
}
