#pragma once
// The kit pictures that the app's view code asks for as images.

#include "style/StyleKit.h"

namespace style {

class ImageKind {
public:
    enum class Case {
        circleTick, circleCross, circleExclamationWhite, circleFilter, circleGears,
        circleInfoItalic, circleLocationPin, circleUser, circleWifi, keyHeader,
        settings, shadowBox, shadowCircle,
    };

    constexpr ImageKind(Case c) : case_(c) {}
    static constexpr ImageKind circleTick(bool colored) { return ImageKind(Case::circleTick, colored); }

    Case kind() const { return case_; }
    bool colored() const { return colored_; }  // circleTick only

    // A new image of `size` from the matching image routine.
    gfx::ImageRef image(gfx::Size size) const;

private:
    constexpr ImageKind(Case c, bool colored) : case_(c), colored_(colored) {}
    Case case_;
    bool colored_ = false;
};

}  // namespace style
