#include "style/interface/StyleDefinitions.h"

#include "style/StyleKit.h"

#include <cfloat>
#include <cmath>

namespace style {

#define STYLE_CONSTANT(type, name, value) \
    type StyleDefinitions::name() {      \
        static const type constant = value; \
        return constant;                 \
    }

STYLE_CONSTANT(gfx::ColorRef, colorBlue, StyleKit::bvBlue())
STYLE_CONSTANT(gfx::ColorRef, colorBlueDark, StyleKit::bvBlueDark())
STYLE_CONSTANT(gfx::ColorRef, colorGrey1, StyleKit::grey1())
STYLE_CONSTANT(gfx::ColorRef, colorGrey5, StyleKit::grey5())
STYLE_CONSTANT(gfx::ColorRef, colorGrey3, StyleKit::grey3())
STYLE_CONSTANT(gfx::ColorRef, colorRed, StyleKit::red())
STYLE_CONSTANT(gfx::ColorRef, colorRedDark, StyleKit::redDark())
STYLE_CONSTANT(gfx::ColorRef, colorGrey2, StyleKit::grey2())
STYLE_CONSTANT(gfx::ColorRef, colorGrey2Alt, StyleKit::grey2())
STYLE_CONSTANT(gfx::ColorRef, colorGrey3Alt, StyleKit::grey3())
STYLE_CONSTANT(ui::FontRef, fontLight, ui::Font::named("Lato-Light", 14))
STYLE_CONSTANT(ui::FontRef, fontRegular, ui::Font::named("Lato-Regular", 14))
#undef STYLE_CONSTANT

double LabelStyle::size() const {
    switch (case_) {
    case Case::megaHeading: return 22;
    case Case::mainHeading: return 17;
    case Case::secondaryHeading: return 15;
    case Case::epicHeading: return 30;
    case Case::tertiaryHeading: return 13;
    case Case::body: return 11;
    case Case::small: return 9;
    }
    return 0;
}

void applyStyle(ui::Label& label, const LabelStyle& style) { label.setFont(style.font()); }

void letterSpacing(ui::Label& label, double kern) {
    const auto& text = label.text();
    if (!text || text->empty()) return;
    std::size_t units = 0;  // UTF-16 length
    for (unsigned char c : *text) {
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    label.setAttributedText({*text, kern, 0, units - 1});
}

int numberOfTextLines(const ui::Label& label) {
    if (!label.font()) return 0;
    gfx::Size fitting = label.sizeThatFits({label.frame().size.width, FLT_MAX});
    float height = std::round(static_cast<float>(fitting.height));
    float pointSize = std::round(static_cast<float>(label.font()->pointSize()));
    if (pointSize == 0) return 0;
    return static_cast<int>(height / pointSize);
}

}  // namespace style
