#pragma once
// The app's fixed colours and fonts, text styles, and the label operations that use them.

#include "ui/Controls.h"

namespace style {

// Colours taken once from the palette and fonts from the app bundle; each value
// is made on first read and kept for the process.
class StyleDefinitions {
public:
    static gfx::ColorRef colorBlue();
    static gfx::ColorRef colorBlueDark();
    static gfx::ColorRef colorGrey1();
    static gfx::ColorRef colorGrey5();
    static gfx::ColorRef colorGrey3();
    static gfx::ColorRef colorRed();
    static gfx::ColorRef colorRedDark();
    static gfx::ColorRef colorGrey2();
    static gfx::ColorRef colorGrey2Alt();
    static gfx::ColorRef colorGrey3Alt();
    static ui::FontRef fontLight();    // "Lato-Light", 14
    static ui::FontRef fontRegular();  // "Lato-Regular", 14
};

// Holds nothing; kept as the home of the kit's helpers.
class StyleUtilities {};

class LabelStyle {
public:
    enum class Case { megaHeading, mainHeading, secondaryHeading, epicHeading, tertiaryHeading, body, small };

    static LabelStyle megaHeading(bool bold) { return {Case::megaHeading, bold}; }
    static LabelStyle mainHeading(bool bold) { return {Case::mainHeading, bold}; }
    static LabelStyle secondaryHeading(bool bold) { return {Case::secondaryHeading, bold}; }
    static LabelStyle epicHeading() { return {Case::epicHeading, false}; }
    static LabelStyle tertiaryHeading() { return {Case::tertiaryHeading, false}; }
    static LabelStyle body() { return {Case::body, false}; }
    static LabelStyle small() { return {Case::small, false}; }

    Case kind() const { return case_; }
    bool isBold() const { return bold_; }
    double size() const;
    const char* fontName() const { return bold_ ? "Lato-Bold" : "Lato-Regular"; }
    ui::FontRef font() const { return ui::Font::named(fontName(), size()); }

private:
    LabelStyle(Case c, bool bold) : case_(c), bold_(bold) {}
    Case case_;
    bool bold_;
};

void applyStyle(ui::Label& label, const LabelStyle& style);
// Spreads the text by `kern` points after every character but the last.
void letterSpacing(ui::Label& label, double kern);
// Lines the text takes at the label's width; 0 without a usable font.
int numberOfTextLines(const ui::Label& label);

}  // namespace style
