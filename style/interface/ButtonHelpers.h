#pragma once
// The app's two button styles, kit images as button backgrounds, section headers,
// separator insets, text measuring and single-colour images.

#include "style/ImageKind.h"
#include "ui/Controls.h"
#include "ui/ViewController.h"

#include <memory>
#include <string>

namespace style {

void setUppercaseTitle(ui::Button& button, const std::string& text);
void styleFilledButton(ui::Button& button, bool destructive);
void styleTextButton(ui::Button& button, bool blue, bool destructive);
void setKindBackground(ui::Button& button, ImageKind kind);

// A white 36-point header as wide as `receiver`, with the title spread in capitals.
std::shared_ptr<ui::View> sectionHeaderView(const ui::View& receiver, const std::string& title);
void centerSeparatorInset(ui::TableView& table);
std::shared_ptr<ui::ViewController> firstViewController(const ui::NavigationController& navigation);

// Height of the text with the font in a box of `width`, unrounded.
double textHeight(const std::string& text, const ui::Font* font, double width);
// A `size` image filled with the colour; null when no image could be made.
gfx::ImageRef imageFromColor(gfx::ColorRef color, gfx::Size size);

std::string uppercased(const std::string& text);

}  // namespace style
