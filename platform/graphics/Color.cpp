#include "graphics/Color.h"

#include <algorithm>
#include <cmath>

#include "graphics/Context.h"

namespace gfx {

ColorRef Color::rgba(double red, double green, double blue, double alpha) {
    return std::make_shared<const Color>(MadeByFactory{}, RGBA{red, green, blue, alpha});
}

ColorRef Color::hsba(double hue, double saturation, double brightness, double alpha) {
    double h = hue - std::floor(hue);  // 1 wraps to 0
    double sector = h * 6;
    int i = static_cast<int>(sector) % 6;
    double f = sector - std::floor(sector);
    double v = brightness;
    double p = v * (1 - saturation), q = v * (1 - saturation * f), t = v * (1 - saturation * (1 - f));
    double r = v, g = t, b = p;
    switch (i) {
        case 0: r = v; g = t; b = p; break;
        case 1: r = q; g = v; b = p; break;
        case 2: r = p; g = v; b = t; break;
        case 3: r = p; g = q; b = v; break;
        case 4: r = t; g = p; b = v; break;
        default: r = v; g = p; b = q; break;
    }
    return rgba(r, g, b, alpha);
}

HSBA Color::hsba() const {
    double r = rgba_.red, g = rgba_.green, b = rgba_.blue;
    double maxC = std::max({r, g, b}), minC = std::min({r, g, b});
    double delta = maxC - minC;
    HSBA out{0, maxC == 0 ? 0 : delta / maxC, maxC, rgba_.alpha};
    if (delta > 0) {
        double h;
        if (maxC == r)
            h = (g - b) / delta;
        else if (maxC == g)
            h = 2 + (b - r) / delta;
        else
            h = 4 + (r - g) / delta;
        h /= 6;
        out.hue = h < 0 ? h + 1 : h;
    }
    return out;
}

ColorRef Color::withAlpha(double alpha) const {
    return rgba(rgba_.red, rgba_.green, rgba_.blue, alpha);
}

ColorRef Color::whiteColor() {
    static const ColorRef c = rgba(1, 1, 1, 1);
    return c;
}

ColorRef Color::blackColor() {
    static const ColorRef c = rgba(0, 0, 0, 1);
    return c;
}

ColorRef Color::clearColor() {
    static const ColorRef c = rgba(0, 0, 0, 0);
    return c;
}

void Color::setFill() const {
    if (Context* c = currentContext()) c->setFillColor(shared_from_this());
}

void Color::setStroke() const {
    if (Context* c = currentContext()) c->setStrokeColor(shared_from_this());
}

}  // namespace gfx
