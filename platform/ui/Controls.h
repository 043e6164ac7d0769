#pragma once
// Fonts, labels, buttons and image views. Text is laid out with Pango and counted
// in user-visible characters; fonts come by PostScript name from the app bundle.

#include "graphics/Image.h"
#include "ui/View.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _PangoFontDescription PangoFontDescription;

namespace ui {

class Font {
public:
    // The font with this PostScript name ("Lato-Bold") among the registered font
    // files, at `pointSize`; null when no registered file has that name.
    static std::shared_ptr<const Font> named(const std::string& name, double pointSize);
    // Registers every font file in `folder` (the app bundle's "Fonts" folder).
    static void registerFonts(const std::filesystem::path& folder);

    Font(std::string name, std::string family, int weight, double pointSize);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& name() const { return name_; }
    double pointSize() const { return pointSize_; }
    const PangoFontDescription* description() const { return description_; }

private:
    std::string name_;
    double pointSize_;
    PangoFontDescription* description_;
};
using FontRef = std::shared_ptr<const Font>;

enum class TextAlignment { left, center, right };

// Text with extra space after each character of a UTF-16 range.
struct AttributedText {
    std::string text;
    double kern = 0;
    std::size_t kernLocation = 0;  // UTF-16 units
    std::size_t kernLength = 0;
};

// Size of text laid out with the font in `width` (0: unbounded), in points, unrounded.
Size measureText(const std::string& text, const Font* font, double width, int lines);

class Label : public View {
public:
    using View::View;

    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text);
    const std::optional<AttributedText>& attributedText() const { return attributed_; }
    void setAttributedText(AttributedText text);

    FontRef font() const { return font_; }
    void setFont(FontRef font);
    ColorRef textColor() const { return textColor_; }
    void setTextColor(ColorRef color);
    int numberOfLines() const { return numberOfLines_; }  // 0: as many as needed
    void setNumberOfLines(int lines);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);

    Size sizeThatFits(Size size) const override;

protected:
    void drawContent(gfx::Context& context) const override;

private:
    std::optional<std::string> text_;
    std::optional<AttributedText> attributed_;
    FontRef font_;
    ColorRef textColor_;
    int numberOfLines_ = 1;
    TextAlignment alignment_ = TextAlignment::left;
};

enum ControlState : unsigned { stateNormal = 0, stateHighlighted = 1, stateDisabled = 2, stateSelected = 4 };

class Button : public View, public gfx::ImageTarget {
public:
    explicit Button(Rect frame = {});

    void setTitle(std::optional<std::string> title, ControlState state);
    std::optional<std::string> title(ControlState state) const;
    void setTitleColor(ColorRef color, ControlState state);
    ColorRef titleColor(ControlState state) const;
    void setBackgroundImage(gfx::ImageRef image, ControlState state);
    gfx::ImageRef backgroundImage(ControlState state) const;
    // The label whose font the title is drawn with.
    std::shared_ptr<Label> titleLabel() const { return titleLabel_; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    ControlState state() const;

    // Actions run on a completed tap (touch up inside).
    void addAction(std::function<void()> action) { actions_.push_back(std::move(action)); }
    void sendActions();

    // As an image target, a button shows the image as its normal background.
    void setImage(gfx::ImageRef image) override { setBackgroundImage(std::move(image), stateNormal); }

protected:
    void drawContent(gfx::Context& context) const override;

private:
    template <class T>
    static T forState(const std::map<unsigned, T>& values, ControlState state);

    std::map<unsigned, std::optional<std::string>> titles_;
    std::map<unsigned, ColorRef> titleColors_;
    std::map<unsigned, gfx::ImageRef> backgrounds_;
    std::shared_ptr<Label> titleLabel_;
    bool enabled_ = true;
    bool highlighted_ = false;
    std::vector<std::function<void()>> actions_;
};

// A table row with a title and, for the detailed styles, a detail text.
class TableViewCell : public View {
public:
    explicit TableViewCell(bool withDetail = false);
    std::shared_ptr<Label> textLabel() const { return textLabel_; }
    std::shared_ptr<Label> detailTextLabel() const { return detailTextLabel_; }

private:
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailTextLabel_;
};

class TableView : public View {
public:
    using View::View;
    EdgeInsets separatorInset() const { return separatorInset_; }
    void setSeparatorInset(EdgeInsets insets) { separatorInset_ = insets; }

private:
    EdgeInsets separatorInset_{0, 15, 0, 0};
};

class ImageView : public View, public gfx::ImageTarget {
public:
    using View::View;
    gfx::ImageRef image() const { return image_; }
    void setImage(gfx::ImageRef image) override;

protected:
    void drawContent(gfx::Context& context) const override;

private:
    gfx::ImageRef image_;
};

}  // namespace ui
