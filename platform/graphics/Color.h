#pragma once
// Immutable colours in the RGB model (components 0...1), shared by reference.
// Each colour object has an identity: two separately made whites are two
// different objects even though they look the same.

#include <memory>

namespace gfx {

class Color;
using ColorRef = std::shared_ptr<const Color>;

struct RGBA {
    double red = 0, green = 0, blue = 0, alpha = 1;
};

struct HSBA {
    double hue = 0, saturation = 0, brightness = 0, alpha = 1;
};

class Color : public std::enable_shared_from_this<Color> {
public:
    static ColorRef rgba(double red, double green, double blue, double alpha);
    // Hue, saturation and brightness in 0...1 (hue 1 wraps to 0).
    static ColorRef hsba(double hue, double saturation, double brightness, double alpha);

    // The platform's own stock colours: one shared object each, distinct from
    // any palette colour that happens to look the same.
    static ColorRef whiteColor();
    static ColorRef blackColor();
    static ColorRef clearColor();  // black with alpha 0, as the platform's clear

    RGBA rgba() const { return rgba_; }
    HSBA hsba() const;
    // A new colour with the same red, green and blue and the given alpha.
    ColorRef withAlpha(double alpha) const;

    // Make this the fill or stroke colour of the current context (no-op without one).
    void setFill() const;
    void setStroke() const;

private:
    struct MadeByFactory {};  // colours live in shared pointers only (setFill shares them)

public:
    Color(MadeByFactory, RGBA c) : rgba_(c) {}

private:
    RGBA rgba_;
};

}  // namespace gfx
