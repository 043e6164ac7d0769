// Circled icons of features that can be switched on or off: the locked
// school (a backpack with a padlock badge) and the muted bell. With
// `colored` set they are blue, with it clear grey; the glyphs stay white.

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"
#include "style/artwork/SchoolBackpack.h"

namespace style {

using namespace artwork;

void StyleKit::drawCircleIconSchoolLockedWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::ColorRef circleColor = isSet(colored) ? StyleKit::bvBlue() : StyleKit::grey3();
    const gfx::ColorRef badgeColor = isSet(colored) ? StyleKit::bvBlueDark() : StyleKit::grey4();
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, circleColor);
    fillPath(*context, schoolBackpack(g), StyleKit::white());

    // Badge in the top-right corner, partly outside the circle.
    fillPath(*context, gfx::BezierPath::oval(gfx::groupRect(g, 0.675, 0, 1, 0.325)), badgeColor);

    // Padlock on the badge, mirror-symmetric about x 0.8375.
    Glyph padlock(g);
    // Body and shackle as one outline, from the body's top-right corner over
    // the shackle and round the body.
    padlock.move(0.90885, 0.15803)
        .curve(0.90000, 0.15455, 0.90649, 0.15581, 0.90332, 0.15455)
        .line(0.89583, 0.15455)
        .line(0.89583, 0.13068)
        .curve(0.87864, 0.09141, 0.89583, 0.11591, 0.88968, 0.10175)
        .curve(0.83750, 0.07500, 0.86781, 0.08087, 0.85297, 0.07500)
        .curve(0.79635, 0.09141, 0.82203, 0.07500, 0.80719, 0.08087)
        .curve(0.77917, 0.13068, 0.78532, 0.10175, 0.77917, 0.11591)
        .line(0.77917, 0.15455)
        .line(0.77500, 0.15455)
        .curve(0.76615, 0.15803, 0.77168, 0.15455, 0.76851, 0.15581)
        .curve(0.76250, 0.16648, 0.76382, 0.16028, 0.76250, 0.16332)
        .line(0.76250, 0.23807)
        .curve(0.76615, 0.24652, 0.76250, 0.24123, 0.76382, 0.24427)
        .curve(0.77500, 0.25000, 0.76851, 0.24874, 0.77168, 0.25000)
        .line(0.90000, 0.25000)
        .curve(0.90885, 0.24652, 0.90332, 0.25000, 0.90649, 0.24874)
        .curve(0.91250, 0.23807, 0.91118, 0.24427, 0.91250, 0.24123)
        .line(0.91250, 0.16648)
        .curve(0.90885, 0.15803, 0.91250, 0.16332, 0.91118, 0.16028)
        .close();
    // Opening under the shackle.
    padlock.move(0.87083, 0.15455)
        .line(0.80417, 0.15455)
        .line(0.80417, 0.13068)
        .curve(0.81393, 0.10819, 0.80417, 0.12224, 0.80768, 0.11415)
        .curve(0.83750, 0.09886, 0.82018, 0.10221, 0.82866, 0.09886)
        .curve(0.86107, 0.10819, 0.84634, 0.09886, 0.85482, 0.10221)
        .curve(0.87083, 0.13068, 0.86732, 0.11415, 0.87083, 0.12224)
        .line(0.87083, 0.15455)
        .close();
    fillPath(*context, padlock.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconBellOffWithFrame(const gfx::Rect& frame, Flag colored) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, isSet(colored) ? StyleKit::bvBlue() : StyleKit::grey2());

    // A bell struck through by a bar at 45 degrees. The bell's axis is
    // x 0.48952; its right shoulder is the left one mirrored, cut by the gap
    // along the bar and by the bar itself. Each side flares out into the lip
    // and runs on straight down its outer edge, without a point; the piece
    // left of the bar ends level at the bottom where the gap cuts it.
    Glyph glyph(g);
    // Upper-left part of the bell with the knob, closed along the gap.
    glyph.move(0.60852, 0.32590)
        .curve(0.53152, 0.29093, 0.58091, 0.30243, 0.55177, 0.29093)
        .line(0.53152, 0.24197)
        .curve(0.48952, 0.20000, 0.53152, 0.21879, 0.51272, 0.20000)
        .curve(0.44752, 0.24197, 0.46632, 0.20000, 0.44752, 0.21879)
        .line(0.44752, 0.29093)
        .curve(0.29350, 0.47978, 0.40087, 0.29093, 0.30697, 0.35201)
        .line(0.27950, 0.61267)
        .curve(0.25150, 0.65463, 0.27688, 0.63753, 0.25150, 0.64263)
        .line(0.25150, 0.66164)
        .curve(0.25850, 0.68262, 0.25150, 0.67323, 0.25463, 0.68262)
        .line(0.60852, 0.32590)
        .close();
    // Bar with the lower-right part of the bell joined to it.
    glyph.move(0.69953, 0.61265)
        .line(0.68553, 0.47976)
        .curve(0.67153, 0.41682, 0.68309, 0.45664, 0.67802, 0.43570)
        .line(0.76250, 0.32589)
        .line(0.70656, 0.26295)
        .line(0.23750, 0.73160)
        .line(0.29344, 0.78750)
        .line(0.40544, 0.67560)
        .line(0.67853, 0.67560)
        .curve(0.72753, 0.66164, 0.70500, 0.67560, 0.72753, 0.67200)
        .line(0.72753, 0.65461)
        .curve(0.69953, 0.61265, 0.72753, 0.64261, 0.70215, 0.63751)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

}  // namespace style
