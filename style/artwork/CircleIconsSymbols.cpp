// Circled symbols: a plus, an italic information sign, a refresh arrow and
// the mark of an unselected item (a white bar on a grey circle).

#include "style/StyleKit.h"
#include "style/artwork/CircleIconFrame.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"

namespace style {

using namespace artwork;

void StyleKit::drawCircleIconPlusWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // One outline from the right arm's upper edge round all four arms. Each
    // arm end is two curves meeting on a short flat tip; the doubled inner
    // corners are empty lines kept in the outline.
    Glyph glyph(g);
    glyph.move(0.72844, 0.45935)
        .line(0.53607, 0.45935)
        .line(0.53607, 0.45935)
        .line(0.53608, 0.26771)
        .curve(0.50043, 0.23994, 0.53280, 0.25089, 0.51760, 0.23905)
        .line(0.50031, 0.23994)
        .curve(0.46471, 0.26765, 0.48314, 0.23905, 0.46799, 0.25083)
        .line(0.46466, 0.45934)
        .line(0.46466, 0.45934)
        .line(0.27253, 0.45934)
        .curve(0.24468, 0.49488, 0.25571, 0.46262, 0.24379, 0.47771)
        .line(0.24468, 0.49501)
        .curve(0.27244, 0.53051, 0.24379, 0.51218, 0.25562, 0.52723)
        .line(0.46466, 0.53056)
        .line(0.46466, 0.53056)
        .line(0.46469, 0.72218)
        .curve(0.50034, 0.74995, 0.46797, 0.73900, 0.48317, 0.75084)
        .line(0.50050, 0.74995)
        .curve(0.53615, 0.72227, 0.51767, 0.75084, 0.53287, 0.73909)
        .line(0.53613, 0.53051)
        .line(0.53613, 0.53051)
        .line(0.72835, 0.53051)
        .curve(0.75620, 0.49498, 0.74517, 0.52723, 0.75709, 0.51215)
        .line(0.75620, 0.49488)
        .curve(0.72844, 0.45935, 0.75709, 0.47771, 0.74526, 0.46263)
        .line(0.72844, 0.45935)
        .close();

    fillPath(*context, glyph.path(), StyleKit::white());
}

void StyleKit::drawCircleIconInfoItalicWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    Glyph glyph(g);
    // Slanted stem with an entry serif at the upper left and a tail curling
    // up at the lower right, from the tail's end under the foot, up the left,
    // round the serif, over the top and down the right.
    glyph.move(0.62894, 0.75994)
        .line(0.61991, 0.79819)
        .curve(0.55502, 0.82350, 0.59828, 0.80663, 0.57737, 0.81722)
        .curve(0.49874, 0.83221, 0.53674, 0.82863, 0.51772, 0.83221)
        .curve(0.42219, 0.80735, 0.47191, 0.83221, 0.44266, 0.82470)
        .curve(0.39488, 0.74419, 0.40469, 0.79252, 0.39488, 0.76713)
        .curve(0.39691, 0.71379, 0.39488, 0.73403, 0.39558, 0.72386)
        .curve(0.40351, 0.67871, 0.39846, 0.70199, 0.40038, 0.69019)
        .line(0.43739, 0.55453)
        .curve(0.44502, 0.52072, 0.44043, 0.54338, 0.44308, 0.53211)
        .curve(0.44810, 0.49162, 0.44666, 0.51110, 0.44810, 0.50137)
        .curve(0.43862, 0.45843, 0.44810, 0.48011, 0.44704, 0.46627)
        .curve(0.40238, 0.44906, 0.42949, 0.44993, 0.41486, 0.44906)
        .curve(0.37545, 0.45332, 0.39329, 0.44906, 0.38428, 0.45117)
        .curve(0.35174, 0.46140, 0.36734, 0.45530, 0.35964, 0.45871)
        .line(0.36080, 0.42312)
        .curve(0.42450, 0.39910, 0.38203, 0.41511, 0.40265, 0.40523)
        .curve(0.48211, 0.38909, 0.44327, 0.39384, 0.46262, 0.38909)
        .curve(0.55751, 0.41356, 0.50853, 0.38909, 0.53752, 0.39628)
        .curve(0.58400, 0.47713, 0.57488, 0.42857, 0.58400, 0.45417)
        .curve(0.58218, 0.50562, 0.58400, 0.48665, 0.58341, 0.49618)
        .curve(0.57539, 0.54307, 0.58054, 0.51820, 0.57873, 0.53083)
        .line(0.54165, 0.66675)
        .curve(0.53424, 0.70082, 0.53859, 0.67796, 0.53619, 0.68936)
        .curve(0.53094, 0.72972, 0.53261, 0.71038, 0.53094, 0.72002)
        .curve(0.54157, 0.76331, 0.53094, 0.74146, 0.53282, 0.75548)
        .curve(0.57848, 0.77224, 0.55101, 0.77175, 0.56582, 0.77224)
        .curve(0.60638, 0.76777, 0.58790, 0.77224, 0.59723, 0.77000)
        .curve(0.62894, 0.75994, 0.61411, 0.76588, 0.62142, 0.76255)
        .close();
    // Dot, clear of the stem.
    glyph.move(0.63750, 0.24071)
        .curve(0.61390, 0.29579, 0.63750, 0.26226, 0.62966, 0.28066)
        .curve(0.55707, 0.31858, 0.59818, 0.31098, 0.57923, 0.31858)
        .curve(0.49995, 0.29579, 0.53484, 0.31858, 0.51585, 0.31098)
        .curve(0.47613, 0.24071, 0.48408, 0.28065, 0.47613, 0.26226)
        .curve(0.49995, 0.18545, 0.47613, 0.21920, 0.48408, 0.20077)
        .curve(0.55707, 0.16250, 0.51583, 0.17015, 0.53485, 0.16250)
        .curve(0.61390, 0.18545, 0.57923, 0.16250, 0.59818, 0.17016)
        .curve(0.63750, 0.24071, 0.62967, 0.20077, 0.63750, 0.21921)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconRefreshWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::bvBlue());

    // A ring arc turning counter-clockwise: outer edge from the bottom round
    // the right to the top, the arrowhead pointing left, the inner edge back
    // round to the rounded free end at the left, and the outer edge home.
    Glyph glyph(g);
    glyph.move(0.52586, 0.79250)
        .curve(0.75717, 0.56468, 0.64662, 0.77915, 0.74339, 0.68387)
        .curve(0.49869, 0.27448, 0.77524, 0.40884, 0.65252, 0.27618)
        .line(0.49869, 0.20457)
        .curve(0.49045, 0.20105, 0.49869, 0.20069, 0.49377, 0.19862)
        .line(0.34461, 0.30677)
        .curve(0.34461, 0.31393, 0.34215, 0.30859, 0.34215, 0.31211)
        .line(0.49045, 0.41964)
        .curve(0.49869, 0.41612, 0.49377, 0.42207, 0.49869, 0.41988)
        .line(0.49869, 0.34633)
        .curve(0.68597, 0.54733, 0.60678, 0.34803, 0.69335, 0.43882)
        .curve(0.50803, 0.72234, 0.67970, 0.64066, 0.60259, 0.71640)
        .curve(0.30735, 0.56456, 0.40781, 0.72866, 0.32259, 0.65802)
        .curve(0.27144, 0.53458, 0.30452, 0.54720, 0.28915, 0.53458)
        .curve(0.23565, 0.57536, 0.24943, 0.53458, 0.23221, 0.55388)
        .curve(0.52586, 0.79250, 0.25705, 0.70851, 0.38162, 0.80840)
        .close();
    fillPath(*context, glyph.path(), gfx::Color::whiteColor());
}

void StyleKit::drawCircleIconUnselectedWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = circleGroup(frame);
    fillCircle(*context, g, StyleKit::grey3());
    fillPath(*context, gfx::BezierPath::rect(gfx::groupRect(g, 0.2375, 0.425, 0.775, 0.5625)),
             gfx::Color::whiteColor());
}

}  // namespace style
