// The status screen's layout, built in code for the screen's size: the school part
// at the top, the disclaimer card, the configuration card with the copy button
// (faded in and out with the status), and the "Powered by" button at the bottom.

#include "MainViewController.h"

#include "style/StyleKit.h"
#include "ui/Application.h"

namespace app {
namespace {

template <class T>
std::shared_ptr<T> add(ui::View& parent, gfx::Rect frame, std::weak_ptr<T>* outlet = nullptr) {
    auto view = std::make_shared<T>(frame);
    parent.addSubview(view);
    if (outlet) *outlet = view;
    return view;
}

std::shared_ptr<ui::Label> addLabel(ui::View& parent, gfx::Rect frame, std::weak_ptr<ui::Label>* outlet,
                                    ui::TextAlignment alignment, int lines = 1) {
    auto label = add<ui::Label>(parent, frame, outlet);
    label->setTextAlignment(alignment);
    label->setNumberOfLines(lines);
    label->setTextColor(style::StyleKit::grey5());
    return label;
}

}  // namespace

std::shared_ptr<ui::View> buildStatusScreen(MainViewController& c) {
    gfx::Size screen = ui::Application::shared().screenSize();
    double w = screen.width;
    double column = std::min(w, 500.0);  // content column, centred on wide screens
    double left = (w - column) / 2;
    auto root = std::make_shared<ui::View>(gfx::Rect{{0, 0}, screen});

    // The logo keeps its drawing's 3:2 shape; the routine stretches it to any frame.
    add<ui::ImageView>(*root, {(w - 78) / 2, 56, 78, 52}, &c.bvLogo)
        ->setImage(style::StyleKit::performImage("imageOfLogoBrimvaleWithImageSize:colored:", {78, 52}, 1));

    auto school = add<ui::View>(*root, {left, 110, column, 100}, &c.schoolContainer);
    addLabel(*school, {20, 14, column - 40, 22}, &c.protectedByLabel, ui::TextAlignment::center);
    addLabel(*school, {20, 42, column - 40, 34}, &c.protectedByName, ui::TextAlignment::center);

    // Each card's shadow-box image carries a 10-point margin for its shadow.
    auto disclaimer = add<ui::View>(*root, {left, 214, column, 180}, &c.disclaimerContainer);
    add<ui::ImageView>(*disclaimer, {10, 0, column - 20, 180}, &c.disclaimerBackground);
    addLabel(*disclaimer, {40, 28, column - 80, 48}, &c.disclaimerLabel, ui::TextAlignment::center, 2);
    addLabel(*disclaimer, {40, 84, column - 80, 64}, &c.disclaimerContent, ui::TextAlignment::center, 3);

    auto data = add<ui::View>(*root, {left, 394, column, 240}, &c.dataContainer);
    add<ui::ImageView>(*data, {10, 0, column - 20, 160}, &c.configBackground);
    addLabel(*data, {40, 30, 60, 22}, &c.usernameLabel, ui::TextAlignment::left);
    addLabel(*data, {110, 30, column - 150, 18}, &c.username, ui::TextAlignment::left);
    addLabel(*data, {40, 62, 60, 22}, &c.deviceIdLabel, ui::TextAlignment::left);
    addLabel(*data, {110, 62, column - 150, 18}, &c.deviceId, ui::TextAlignment::left);
    addLabel(*data, {40, 104, column - 80, 22}, &c.versionLabel, ui::TextAlignment::left);
    auto copy = add<ui::Button>(*data, {30, 176, column - 60, 44}, &c.copyButton);
    copy->setTitle(std::string("Copy Configuration"), ui::stateNormal);
    copy->setTitleColor(gfx::Color::whiteColor(), ui::stateNormal);
    copy->setBackgroundColor(style::StyleKit::bvBlue());
    copy->layer().cornerRadius = 10;
    copy->titleLabel()->setFont(ui::Font::named("Lato-Bold", 15));
    copy->addAction([&c] { c.copyButtonClick(); });

    add<ui::Button>(*root, {left + 40, screen.height - 76, column - 80, 32}, &c.poweredBy)
        ->addAction([&c] { c.poweredByClick(); });
    return root;
}

}  // namespace app
