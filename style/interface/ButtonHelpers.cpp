#include "style/interface/ButtonHelpers.h"

#include "style/interface/StyleDefinitions.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cfloat>

namespace style {

std::string uppercased(const std::string& text) {
    std::string result;
    icu::UnicodeString::fromUTF8(text).toUpper(icu::Locale::getRoot()).toUTF8String(result);
    return result;
}

void setUppercaseTitle(ui::Button& button, const std::string& text) {
    button.setTitle(uppercased(text), ui::stateNormal);
}

void styleFilledButton(ui::Button& button, bool destructive) {
    button.setBackgroundColor(gfx::Color::clearColor());
    button.layer().cornerRadius = 10;
    button.setClipsToBounds(true);
    if (auto label = button.titleLabel()) label->setFont(ui::Font::named("Lato-Regular", 17));
    button.setTitleColor(gfx::Color::whiteColor(), ui::stateNormal);
    button.setTitleColor(StyleDefinitions::colorGrey2(), ui::stateHighlighted);
    gfx::ColorRef base = destructive ? StyleDefinitions::colorRed() : StyleDefinitions::colorBlue();
    gfx::ColorRef dark = destructive ? StyleDefinitions::colorRedDark() : StyleDefinitions::colorBlueDark();
    button.setBackgroundImage(imageFromColor(base, {1, 1}), ui::stateNormal);
    button.setBackgroundImage(imageFromColor(base->withAlpha(0.3), {1, 1}), ui::stateDisabled);
    button.setBackgroundImage(imageFromColor(dark, {1, 1}), ui::stateHighlighted);
}

void styleTextButton(ui::Button& button, bool blue, bool destructive) {
    button.setBackgroundColor(gfx::Color::clearColor());
    if (auto label = button.titleLabel()) label->setFont(ui::Font::named("Lato-Regular", 16));
    gfx::ColorRef normal = gfx::Color::whiteColor();
    gfx::ColorRef highlighted = StyleDefinitions::colorGrey2();
    if (destructive) {
        normal = StyleDefinitions::colorRed();
        highlighted = StyleDefinitions::colorRedDark();
    } else if (blue) {
        normal = StyleDefinitions::colorBlue();
        highlighted = StyleDefinitions::colorBlueDark();
    }
    button.setTitleColor(normal, ui::stateNormal);
    button.setTitleColor(highlighted, ui::stateHighlighted);
    button.setTitleColor(StyleDefinitions::colorGrey2Alt(), ui::stateDisabled);
}

void setKindBackground(ui::Button& button, ImageKind kind) {
    button.setBackgroundImage(kind.image(button.frame().size), ui::stateNormal);
    button.setBackgroundColor(gfx::Color::clearColor());
}

std::shared_ptr<ui::View> sectionHeaderView(const ui::View& receiver, const std::string& title) {
    double width = receiver.frame().size.width;
    auto header = std::make_shared<ui::View>(gfx::Rect{0, 0, width, 36});
    header->setBackgroundColor(gfx::Color::whiteColor());
    auto label = std::make_shared<ui::Label>(gfx::Rect{16, 0, width, 36});
    label->setText(uppercased(title));
    label->setTextColor(StyleDefinitions::colorGrey3Alt());
    label->setFont(StyleDefinitions::fontLight());
    letterSpacing(*label, 2.5);
    header->addSubview(label);
    return header;
}

void centerSeparatorInset(ui::TableView& table) {
    double side = (table.frame().size.width - 560) / 2;
    table.setSeparatorInset({0, side, 0, side});
}

std::shared_ptr<ui::ViewController> firstViewController(const ui::NavigationController& navigation) {
    const auto& controllers = navigation.viewControllers();
    return controllers.empty() ? nullptr : controllers.front();
}

double textHeight(const std::string& text, const ui::Font* font, double width) {
    return ui::measureText(text, font, width, 0).height;
}

gfx::ImageRef imageFromColor(gfx::ColorRef color, gfx::Size size) {
    gfx::ImageContextScope scope(size);
    if (color) color->setFill();
    gfx::BezierPath::rect({{0, 0}, size}).fill();
    auto image = scope.image();
    if (!image || image->isEmpty()) return nullptr;
    return image;
}

}  // namespace style
