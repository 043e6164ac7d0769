#include "style/ImageKind.h"

namespace style {

gfx::ImageRef ImageKind::image(gfx::Size size) const {
    switch (case_) {
        case Case::circleTick: return StyleKit::imageOfCircleIconTickWithImageSize(size, colored_);
        case Case::circleCross: return StyleKit::imageOfCircleIconCrossRedWithImageSize(size);
        case Case::circleExclamationWhite: return StyleKit::imageOfCircleIconExclamationWhiteWithImageSize(size);
        case Case::circleFilter: return StyleKit::imageOfCircleIconFilterWithImageSize(size);
        case Case::circleGears: return StyleKit::imageOfCircleIconGearsWithImageSize(size);
        case Case::circleInfoItalic: return StyleKit::imageOfCircleIconInfoItalicWithImageSize(size);
        case Case::circleLocationPin: return StyleKit::imageOfCircleIconLocationPinWithImageSize(size);
        case Case::circleUser: return StyleKit::imageOfCircleIconUserWithImageSize(size);
        case Case::circleWifi: return StyleKit::imageOfCircleIconWifiWithImageSize(size);
        case Case::keyHeader: return StyleKit::imageOfKeyHeaderViewWithImageSize(size);
        case Case::settings: return StyleKit::imageOfIconSettingsWithImageSize(size);
        case Case::shadowBox: return StyleKit::imageOfShadowBoxWithImageSize(size);
        case Case::shadowCircle: return StyleKit::imageOfShadowCircleWithImageSize(size);
    }
    return nullptr;
}

}  // namespace style
