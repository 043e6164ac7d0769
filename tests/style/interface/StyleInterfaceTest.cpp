// The interface side of the style kit: text styles, label spacing and line counts,
// text by character, view geometry helpers and button styles.

#include "style/StyleKit.h"
#include "style/interface/ButtonHelpers.h"
#include "style/interface/StyleDefinitions.h"
#include "style/interface/TextOffsets.h"
#include "style/interface/ViewHelpers.h"

#include "dispatch/Dispatch.h"

#include <gtest/gtest.h>

namespace {

using namespace style;
using namespace std::chrono_literals;

TEST(TextStyles, SizesAndWeights) {
    EXPECT_EQ(LabelStyle::megaHeading(false).fontName(), std::string("Lato-Regular"));
    EXPECT_EQ(LabelStyle::megaHeading(true).fontName(), std::string("Lato-Bold"));
    EXPECT_EQ(LabelStyle::megaHeading(true).size(), 22);
    EXPECT_EQ(LabelStyle::mainHeading(true).size(), LabelStyle::mainHeading(false).size());
    for (auto style : {LabelStyle::epicHeading(), LabelStyle::tertiaryHeading(), LabelStyle::body(), LabelStyle::small()}) {
        EXPECT_FALSE(style.isBold());
        EXPECT_EQ(style.fontName(), std::string("Lato-Regular"));
    }
    EXPECT_EQ(LabelStyle::small().size(), 9);

    ui::Label label;
    applyStyle(label, LabelStyle::secondaryHeading(true));
    ASSERT_TRUE(label.font());
    EXPECT_EQ(label.font()->name(), "Lato-Bold");
    EXPECT_EQ(label.font()->pointSize(), 15);

    EXPECT_EQ(StyleDefinitions::colorGrey2(), StyleDefinitions::colorGrey2Alt());
    EXPECT_EQ(StyleDefinitions::colorGrey3Alt(), StyleKit::grey3());
    ASSERT_TRUE(StyleDefinitions::fontLight());
    EXPECT_EQ(StyleDefinitions::fontLight()->name(), "Lato-Light");
}

TEST(LabelOperations, LetterSpacingLeavesTheLastCharacterAlone) {
    ui::Label label;
    letterSpacing(label, 2);
    EXPECT_FALSE(label.attributedText()) << "no text: untouched";
    label.setText(std::string());
    letterSpacing(label, 2);
    EXPECT_FALSE(label.attributedText());

    label.setText(std::string("A"));
    letterSpacing(label, 2);
    ASSERT_TRUE(label.attributedText());
    EXPECT_EQ(label.attributedText()->kernLength, 0u);

    label.setText(std::string("D\xC3\xA9vices \xF0\x9F\x98\x80"));  // é is one unit, the emoji two
    letterSpacing(label, 2.5);
    EXPECT_EQ(label.attributedText()->kernLocation, 0u);
    EXPECT_EQ(label.attributedText()->kernLength, 9u);
    EXPECT_EQ(label.attributedText()->kern, 2.5);

    // Spacing really widens the text.
    ui::Label plain;
    plain.setText(std::string("DEVICES"));
    plain.setFont(ui::Font::named("Lato-Light", 14));
    ui::Label spread;
    spread.setText(std::string("DEVICES"));
    spread.setFont(ui::Font::named("Lato-Light", 14));
    letterSpacing(spread, 2.5);
    EXPECT_NEAR(spread.sizeThatFits({}).width - plain.sizeThatFits({}).width, 6 * 2.5, 2);
}

TEST(LabelOperations, NumberOfTextLines) {
    ui::Label label(gfx::Rect{0, 0, 300, 20});
    label.setText(std::string("One line"));
    EXPECT_EQ(numberOfTextLines(label), 0) << "without a font there is nothing to divide by";
    label.setFont(ui::Font::named("Lato-Regular", 15));
    EXPECT_EQ(numberOfTextLines(label), 1);
    label.setNumberOfLines(0);
    label.setText(std::string("A much longer text that has to wrap over several lines in a narrow label"));
    label.setFrame({0, 0, 120, 20});
    EXPECT_GE(numberOfTextLines(label), 4);
    label.setFont(ui::Font::named("Lato-Regular", 0.4));
    EXPECT_EQ(numberOfTextLines(label), 0) << "a point size that rounds to 0";
}

TEST(TextByCharacter, OffsetsCountWhatTheUserSees) {
    EXPECT_EQ(substringBetween("abcdef", 2, 99), "cdef");
    EXPECT_EQ(substringBetween("abcdef", 4, 2), "") << "a reversed range is empty";
    EXPECT_EQ(substringBetween("abcdef", -3, 2), "ab");
    EXPECT_EQ(characterAt("abcdef", 6), "");
    EXPECT_EQ(characterAt("abcdef", -1), "");
    EXPECT_EQ(substringFromOffset("abc", -3), "abc");
    EXPECT_EQ(substringFromOffset("abc", 3), "");
    EXPECT_EQ(firstCharacters("abc", 7), "abc");
    EXPECT_EQ(substringToOffset("abc", -1), "");

    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";  // one cluster
    const std::string text = "e\xCC\x81" + family + "x";  // e + combining accent, family, x
    EXPECT_EQ(characterCount(text), 3);
    EXPECT_EQ(characterAt(text, 1), family);
    EXPECT_EQ(substringFromOffset(text, 2), "x");
    EXPECT_EQ(firstCharacters(text, 1), "e\xCC\x81");
}

TEST(TextByCharacter, CapitalsAndDigits) {
    EXPECT_EQ(capitalizingFirstLetter("hello world"), "Hello world");
    EXPECT_EQ(capitalizingFirstLetter(""), "");
    EXPECT_EQ(capitalizingFirstLetter("\xC3\xA9t\xC3\xA9"), "\xC3\x89t\xC3\xA9");  // été
    std::string text = "abc";
    capitalizeFirstLetter(text);
    EXPECT_EQ(text, "Abc");

    EXPECT_TRUE(isDigitsOnly("0123"));
    EXPECT_TRUE(isDigitsOnly(""));
    EXPECT_TRUE(isDigitsOnly("\xD9\xA3"));  // Arabic-Indic three
    EXPECT_FALSE(isDigitsOnly("12a"));
    EXPECT_FALSE(isDigitsOnly("1 2"));
}

TEST(ViewGeometry, EdgesResizeAndWidthsClamp) {
    ui::View view(gfx::Rect{5, 10, 100, 30});
    setBottom(view, 50);
    EXPECT_EQ(view.frame(), (gfx::Rect{5, 10, 100, 40}));
    setRight(view, 25);
    EXPECT_EQ(view.frame(), (gfx::Rect{5, 10, 20, 40}));

    for (auto [from, to] : {std::pair{320.0, 320.0}, {800.0, 600.0}, {-5.0, 0.0}, {600.0, 600.0}}) {
        setWidth(view, from);
        clampWidth(view, 600, 0);
        EXPECT_EQ(width(view), to) << from;
    }

    auto parent = std::make_shared<ui::View>(gfx::Rect{0, 0, 1000, 500});
    auto wide = std::make_shared<ui::View>(gfx::Rect{0, 0, 700, 100});
    auto inner = std::make_shared<ui::View>(gfx::Rect{0, 0, 560, 10});
    auto narrow = std::make_shared<ui::View>(gfx::Rect{0, 0, 500, 10});
    parent->addSubview(wide);
    wide->addSubview(inner);
    wide->addSubview(narrow);
    limitWidth(*wide, {inner.get(), narrow.get()}, true);
    EXPECT_EQ(wide->frame(), (gfx::Rect{200, 0, 600, 100}));
    EXPECT_EQ(inner->frame(), (gfx::Rect{40, 0, 520, 10}));
    EXPECT_EQ(narrow->frame(), (gfx::Rect{50, 0, 500, 10}));
    EXPECT_EQ(wide->autoresizingMask(), 5u);
}

TEST(ViewHelpers, BordersInsetsAndChildren) {
    ui::View view(gfx::Rect{0, 0, 100, 50});
    addBorder(view, {}, StyleKit::red(), 1);
    EXPECT_TRUE(view.layer().sublayers.empty());
    addBorder(view, {ViewSide::bottom, ViewSide::bottom}, StyleKit::red(), 2);
    ASSERT_EQ(view.layer().sublayers.size(), 2u);
    EXPECT_EQ(view.layer().sublayers[0].frame, (gfx::Rect{0, 50, 100, 2}));

    for (auto [w, side] : {std::pair{768.0, 104.0}, {320.0, -120.0}}) {
        ui::TableView table(gfx::Rect{0, 0, w, 400});
        centerSeparatorInset(table);
        EXPECT_EQ(table.separatorInset(), (ui::EdgeInsets{0, side, 0, side}));
    }

    ui::ViewController parent;
    auto first = std::make_shared<ui::ViewController>();
    auto second = std::make_shared<ui::ViewController>();
    parent.addChild(first);
    parent.view()->addSubview(first->view());
    replaceChild(parent, second, false);
    dispatch::runMainFor(10ms);  // the completion runs even without animation
    ASSERT_EQ(parent.children().size(), 1u);
    EXPECT_EQ(parent.children()[0], second);
    EXPECT_EQ(first->view()->superview(), nullptr);
    EXPECT_EQ(second->view()->alpha(), 1);
}

TEST(ViewHelpers, OrientationsOfTheDelegatesWindow) {
    struct WindowKeeper : ui::ApplicationDelegate {
        bool respondsToWindow() const override { return true; }
    };
    auto& app = ui::Application::shared();
    app.setDelegate(nullptr);
    app.setSupportedInterfaceOrientations(ui::orientationPortrait | ui::orientationLandscapeLeft);
    EXPECT_FALSE(supportsMultipleOrientations()) << "no delegate";
    app.setDelegate(std::make_shared<WindowKeeper>());
    EXPECT_TRUE(supportsMultipleOrientations());
    app.setSupportedInterfaceOrientations(ui::orientationPortrait);
    EXPECT_FALSE(supportsMultipleOrientations());
    EXPECT_EQ(topInset(), ui::EdgeInsets{}) << "a delegate without a window has no insets";
    app.setDelegate(nullptr);
    EXPECT_EQ(topInset().top, app.statusBarFrame().size.height);
}

TEST(ViewHelpers, AttachedValuesGoWithTheirObject) {
    // Each view made here lies at the same address.
    alignas(ui::View) unsigned char place[sizeof(ui::View)];
    auto makeView = [&place] {
        return std::shared_ptr<ui::View>(new (place) ui::View, [](ui::View* view) { view->~View(); });
    };
    auto kept = std::make_shared<int>(1);
    auto owned = std::make_shared<int>(2);
    const std::weak_ptr<int> ownedSeen = owned;
    auto first = makeView();
    setAssociatedValue(first, kept);
    setRetainedAssociatedValue(first, std::move(owned));
    EXPECT_EQ(associatedValue(first), kept);
    EXPECT_EQ(retainedAssociatedValue(first), ownedSeen.lock());
    first.reset();

    // A new object where the old one was starts without values, and the old one's
    // owned value is let go.
    auto second = makeView();
    EXPECT_FALSE(associatedValue(second));
    EXPECT_FALSE(retainedAssociatedValue(second));
    EXPECT_TRUE(ownedSeen.expired());

    // The value that is not owned reads empty once it is gone; an empty value removes.
    setAssociatedValue(second, kept);
    kept.reset();
    EXPECT_FALSE(associatedValue(second));
    setRetainedAssociatedValue(second, std::make_shared<int>(3));
    setRetainedAssociatedValue(second, nullptr);
    EXPECT_FALSE(retainedAssociatedValue(second));

    // A value whose release asks the store again.
    auto third = std::make_shared<ui::View>();
    bool released = false;
    setRetainedAssociatedValue(third, std::shared_ptr<int>(new int(4), [&](int* value) {
        delete value;
        released = !associatedValue(second);
    }));
    third.reset();
    EXPECT_FALSE(retainedAssociatedValue(second));
    EXPECT_TRUE(released);
}

TEST(ButtonStyles, FilledAndTextButtons) {
    ui::Button button(gfx::Rect{0, 0, 200, 44});
    styleFilledButton(button, true);
    auto expectPixel = [&](ui::ControlState state, gfx::Pixel want) {
        gfx::Pixel got = button.backgroundImage(state)->pixel(0, 0);
        EXPECT_NEAR(got.r, want.r, 3);  // premultiplied storage rounds
        EXPECT_NEAR(got.g, want.g, 3);
        EXPECT_NEAR(got.b, want.b, 3);
        EXPECT_NEAR(got.a, want.a, 3);
    };
    expectPixel(ui::stateNormal, {255, 19, 0, 255});
    expectPixel(ui::stateDisabled, {255, 19, 0, 77});
    expectPixel(ui::stateHighlighted, {179, 13, 0, 255});
    EXPECT_EQ(button.layer().cornerRadius, 10);
    EXPECT_EQ(button.titleLabel()->font()->pointSize(), 17);

    styleTextButton(button, true, true);
    EXPECT_EQ(button.titleColor(ui::stateNormal), StyleDefinitions::colorRed()) << "destructive wins";
    EXPECT_EQ(button.titleColor(ui::stateDisabled), StyleDefinitions::colorGrey2Alt());
    styleTextButton(button, false, false);
    EXPECT_EQ(button.titleColor(ui::stateNormal), gfx::Color::whiteColor());

    setUppercaseTitle(button, "Stra\xC3\x9F" "e");
    EXPECT_EQ(button.title(ui::stateNormal), "STRASSE");

    auto header = sectionHeaderView(ui::View(gfx::Rect{0, 0, 320, 500}), "Devices");
    EXPECT_EQ(header->frame(), (gfx::Rect{0, 0, 320, 36}));
    auto label = std::dynamic_pointer_cast<ui::Label>(header->subviews().at(0));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "DEVICES");
    EXPECT_EQ(label->frame().origin.x, 16);
    EXPECT_EQ(label->attributedText()->kern, 2.5);

    EXPECT_EQ(imageFromColor(StyleKit::red(), {0, 0}), nullptr);
}

}  // namespace
