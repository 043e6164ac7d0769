// Device glyphs: a flat pictogram on the white disc with its thin grey rim
// (IconFrame). Every point is a fraction of the device-glyph group; holes
// (screens, slots, eyes) run against the outline around them.

#include "style/StyleKit.h"
#include "style/artwork/Fill.h"
#include "style/artwork/Glyph.h"
#include "style/artwork/IconFrame.h"

namespace style {

using namespace artwork;

void StyleKit::drawDeviceLaptopWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Screen window (hole).
    glyph.move(0.75269, 0.63486)
        .line(0.2457, 0.63486)
        .line(0.2457, 0.32864)
        .line(0.75269, 0.32864)
        .line(0.75269, 0.63486)
        .close();
    // Screen frame and base.
    glyph.move(0.83567, 0.65338)
        .line(0.79829, 0.65338)
        .line(0.79829, 0.30922)
        .curve(0.772, 0.28261, 0.79829, 0.29452, 0.78652, 0.28261)
        .line(0.22639, 0.28261)
        .curve(0.19992, 0.30922, 0.21177, 0.28261, 0.19992, 0.29452)
        .line(0.19992, 0.65338)
        .line(0.16416, 0.65338)
        .curve(0.15217, 0.66525, 0.15754, 0.65338, 0.15217, 0.65869)
        .line(0.15217, 0.66525)
        .curve(0.20403, 0.71739, 0.15217, 0.69405, 0.17539, 0.71739)
        .line(0.79614, 0.71739)
        .curve(0.84783, 0.66525, 0.82469, 0.71739, 0.84783, 0.69405)
        .curve(0.83567, 0.65338, 0.84783, 0.65869, 0.84239, 0.65338)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey2());
}

// The monitor stands behind the tower, so its bezel has no left side.
void StyleKit::drawDeviceDesktopWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Tower.
    glyph.move(0.3587, 0.27681)
        .line(0.23641, 0.27681)
        .curve(0.19565, 0.31739, 0.2139, 0.27681, 0.19565, 0.29498)
        .line(0.19565, 0.76377)
        .curve(0.23641, 0.80435, 0.19565, 0.78618, 0.2139, 0.80435)
        .line(0.3587, 0.80435)
        .curve(0.39946, 0.76377, 0.38121, 0.80435, 0.39946, 0.78618)
        .line(0.39946, 0.31739)
        .curve(0.3587, 0.27681, 0.39946, 0.29498, 0.38121, 0.27681)
        .close();
    // Button (hole).
    glyph.move(0.2568, 0.68261)
        .curve(0.23641, 0.66231, 0.24554, 0.68261, 0.23642, 0.67353)
        .curve(0.2568, 0.64203, 0.23642, 0.65111, 0.24554, 0.64203)
        .curve(0.27717, 0.66231, 0.26806, 0.64203, 0.27718, 0.65111)
        .curve(0.2568, 0.68261, 0.27718, 0.67353, 0.26806, 0.68261)
        .close();
    // Lower slot (hole).
    glyph.move(0.3587, 0.43913)
        .line(0.23641, 0.43913)
        .line(0.23641, 0.39855)
        .line(0.3587, 0.39855)
        .line(0.3587, 0.43913)
        .line(0.3587, 0.43913)
        .close();
    // Upper slot (hole).
    glyph.move(0.3587, 0.35797)
        .line(0.23641, 0.35797)
        .line(0.23641, 0.31739)
        .line(0.3587, 0.31739)
        .line(0.3587, 0.35797)
        .line(0.3587, 0.35797)
        .close();
    // Monitor stand.
    glyph.move(0.62365, 0.72319)
        .line(0.62365, 0.68261)
        .line(0.50136, 0.68261)
        .line(0.50136, 0.72319)
        .curve(0.4606, 0.76377, 0.50136, 0.74457, 0.48125, 0.75824)
        .line(0.6644, 0.76377)
        .curve(0.62365, 0.72319, 0.64375, 0.75824, 0.62365, 0.74457)
        .close();
    // Monitor bezel, open at the left where the tower stands.
    glyph.move(0.80707, 0.19565)
        .line(0.31793, 0.19565)
        .curve(0.27717, 0.23623, 0.29542, 0.19565, 0.27717, 0.21382)
        .line(0.27717, 0.23623)
        .line(0.80707, 0.23623)
        .line(0.80707, 0.56087)
        .line(0.44022, 0.56087)
        .line(0.44022, 0.64203)
        .line(0.80707, 0.64203)
        .curve(0.84783, 0.60145, 0.82958, 0.64203, 0.84783, 0.62386)
        .line(0.84783, 0.60145)
        .line(0.84783, 0.23623)
        .curve(0.80707, 0.19565, 0.84783, 0.21382, 0.82958, 0.19565)
        .close();
    // Dot on the bezel (hole).
    glyph.move(0.5625, 0.62174)
        .curve(0.54212, 0.60144, 0.55124, 0.62174, 0.54212, 0.61266)
        .curve(0.5625, 0.58116, 0.54212, 0.59024, 0.55124, 0.58116)
        .curve(0.58288, 0.60144, 0.57376, 0.58116, 0.58288, 0.59024)
        .curve(0.5625, 0.62174, 0.58288, 0.61266, 0.57376, 0.62174)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey2());
}

void StyleKit::drawDeviceMediaWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Upper part.
    glyph.move(0.75631, 0.36968)
        .line(0.51776, 0.36968)
        .line(0.27917, 0.36968)
        .curve(0.15216, 0.40413, 0.20902, 0.36968, 0.15216, 0.3851)
        .line(0.15216, 0.4608)
        .line(0.15216, 0.51743)
        .curve(0.27917, 0.55191, 0.15216, 0.53647, 0.20902, 0.55191)
        .line(0.51776, 0.55191)
        .line(0.75631, 0.55191)
        .curve(0.88329, 0.51743, 0.82644, 0.55191, 0.88329, 0.53647)
        .line(0.88329, 0.4608)
        .line(0.88329, 0.40413)
        .curve(0.75631, 0.36968, 0.88329, 0.3851, 0.82644, 0.36968)
        .close();
    // Lower part, under a gap that follows the upper part's edge.
    glyph.move(0.75631, 0.56423)
        .line(0.51776, 0.56423)
        .line(0.27917, 0.56423)
        .curve(0.15216, 0.52975, 0.20902, 0.56423, 0.15216, 0.54879)
        .line(0.15216, 0.57896)
        .line(0.15216, 0.63562)
        .curve(0.27917, 0.67011, 0.15216, 0.65467, 0.20902, 0.67011)
        .line(0.51776, 0.67011)
        .line(0.75631, 0.67011)
        .curve(0.88329, 0.63562, 0.82644, 0.67011, 0.88329, 0.65467)
        .line(0.88329, 0.57896)
        .line(0.88329, 0.52975)
        .curve(0.75631, 0.56423, 0.88329, 0.54879, 0.82644, 0.56423)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey2());
}

void StyleKit::drawDeviceGamingWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Base bar.
    glyph.move(0.15217, 0.67391)
        .line(0.8913, 0.67391)
        .line(0.8913, 0.62676)
        .line(0.15217, 0.62676)
        .line(0.15217, 0.67391)
        .close();
    // Round opening (hole).
    glyph.move(0.26827, 0.44654)
        .curve(0.22123, 0.4892, 0.24441, 0.44653, 0.22427, 0.4648)
        .curve(0.22085, 0.49542, 0.22098, 0.49126, 0.22085, 0.49334)
        .curve(0.26827, 0.54431, 0.22085, 0.52242, 0.24208, 0.54431)
        .curve(0.3157, 0.49542, 0.29446, 0.54431, 0.3157, 0.52242)
        .curve(0.26827, 0.44654, 0.3157, 0.46842, 0.29446, 0.44653)
        .close();
    // Console body.
    glyph.move(0.8913, 0.40403)
        .line(0.8913, 0.58684)
        .line(0.15217, 0.58684)
        .line(0.15217, 0.404)
        .line(0.8913, 0.404)
        .line(0.8913, 0.40403)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey2());
}

void StyleKit::drawDeviceUnknownWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Dot.
    glyph.move(0.48522, 0.62223)
        .curve(0.41795, 0.68991, 0.44807, 0.62223, 0.41795, 0.65253)
        .curve(0.48522, 0.75756, 0.41795, 0.72727, 0.44807, 0.75756)
        .curve(0.55322, 0.68991, 0.52278, 0.75756, 0.55322, 0.72727)
        .curve(0.48522, 0.62223, 0.55322, 0.65253, 0.52278, 0.62223)
        .close();
    // Hook.
    glyph.move(0.49572, 0.23913)
        .curve(0.36957, 0.26959, 0.45112, 0.23913, 0.40374, 0.24092)
        .line(0.39528, 0.35069)
        .curve(0.47007, 0.32836, 0.41716, 0.33537, 0.44338, 0.32743)
        .curve(0.52529, 0.37299, 0.49758, 0.32932, 0.52529, 0.34546)
        .curve(0.48138, 0.45111, 0.52529, 0.4037, 0.50029, 0.42691)
        .curve(0.43683, 0.56715, 0.45537, 0.4844, 0.44125, 0.52513)
        .line(0.43757, 0.5865)
        .line(0.53804, 0.5865)
        .line(0.53804, 0.57311)
        .curve(0.5766, 0.48012, 0.5439, 0.5399, 0.56182, 0.51043)
        .curve(0.64157, 0.35514, 0.59745, 0.43737, 0.64157, 0.4027)
        .curve(0.49572, 0.23913, 0.64157, 0.28236, 0.5685, 0.23913)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey2());
}

// Three faces with thin gaps between them.
void StyleKit::drawDeviceBoxWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Left face.
    glyph.move(0.28261, 0.27203)
        .line(0.28261, 0.66985)
        .line(0.34122, 0.77157)
        .line(0.34122, 0.30464)
        .line(0.28261, 0.27203)
        .close();
    // Front face.
    glyph.move(0.35101, 0.3062)
        .line(0.35101, 0.78261)
        .line(0.76087, 0.62195)
        .line(0.76087, 0.25642)
        .line(0.35101, 0.3062)
        .close();
    // Top face.
    glyph.move(0.73465, 0.2497)
        .line(0.6824, 0.23913)
        .line(0.29455, 0.26739)
        .line(0.34712, 0.29665)
        .line(0.73465, 0.2497)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey2());
}

void StyleKit::drawDeviceAndroidWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::ColorRef robotGreen = gfx::Color::rgba(0.522, 0.784, 0.031, 1);
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Head with both antennae. The dome is one smooth curve that runs on under
    // each antenna's root, so the antennae stand on it without a shoulder.
    glyph.move(0.62113, 0.11007)
        .curve(0.62172, 0.11478, 0.62236, 0.11135, 0.62271, 0.1133)
        .curve(0.58833, 0.16585, 0.61041, 0.13168, 0.59964, 0.14894)
        .curve(0.66838, 0.2342, 0.61098, 0.17583, 0.64496, 0.19568)
        .curve(0.6931, 0.32503, 0.67538, 0.24571, 0.6931, 0.27809)
        .line(0.28506, 0.32503)
        .curve(0.309, 0.2338, 0.28506, 0.27717, 0.30244, 0.24484)
        .curve(0.38939, 0.16522, 0.33129, 0.19623, 0.36412, 0.17607)
        .curve(0.35644, 0.11478, 0.37823, 0.14852, 0.3676, 0.13147)
        .curve(0.35968, 0.10871, 0.35471, 0.11219, 0.35656, 0.10871)
        .curve(0.36198, 0.10931, 0.36049, 0.10871, 0.36131, 0.10885)
        .curve(0.39789, 0.1616, 0.37395, 0.12674, 0.38592, 0.14417)
        .curve(0.48908, 0.14601, 0.40917, 0.15734, 0.44207, 0.14601)
        .curve(0.57985, 0.16218, 0.535, 0.14601, 0.56773, 0.15747)
        .curve(0.61616, 0.10931, 0.59195, 0.14456, 0.60406, 0.12693)
        .curve(0.61848, 0.10871, 0.61683, 0.10884, 0.61766, 0.10871)
        .curve(0.62113, 0.11007, 0.61951, 0.10871, 0.62041, 0.10932)
        .close();
    // Right eye (hole).
    glyph.move(0.57863, 0.20805)
        .curve(0.55405, 0.23342, 0.56505, 0.20805, 0.55405, 0.21941)
        .curve(0.57863, 0.25878, 0.55405, 0.24743, 0.56505, 0.25878)
        .curve(0.60322, 0.23342, 0.59221, 0.25878, 0.60322, 0.24743)
        .curve(0.57863, 0.20805, 0.60322, 0.21941, 0.59221, 0.20805)
        .close();
    // Left eye (hole).
    glyph.move(0.39947, 0.20805)
        .curve(0.38338, 0.21424, 0.39356, 0.20805, 0.38785, 0.21025)
        .curve(0.37489, 0.23342, 0.37798, 0.21906, 0.37488, 0.22606)
        .curve(0.39947, 0.25878, 0.37488, 0.24743, 0.38589, 0.25879)
        .curve(0.42406, 0.23342, 0.41305, 0.25879, 0.42406, 0.24743)
        .curve(0.39947, 0.20805, 0.42406, 0.21941, 0.41305, 0.20805)
        .close();
    // Left arm.
    glyph.move(0.26143, 0.38072)
        .line(0.26143, 0.5836)
        .curve(0.21767, 0.62874, 0.26143, 0.60853, 0.24184, 0.62874)
        .curve(0.17391, 0.5836, 0.1935, 0.62874, 0.17391, 0.60853)
        .line(0.17391, 0.38072)
        .curve(0.21767, 0.33558, 0.17391, 0.35579, 0.1935, 0.33558)
        .curve(0.26143, 0.38072, 0.24184, 0.33558, 0.26143, 0.35579)
        .close();
    // Right arm: the left arm mirrored, its ends carrying short flats. Each
    // straight side eases into its end, so the outline bends without a kink.
    glyph.move(0.80107, 0.36335)
        .curve(0.80435, 0.40389, 0.80435, 0.37183, 0.80435, 0.37908)
        .line(0.80435, 0.48231)
        .line(0.80435, 0.55915)
        .curve(0.79217, 0.61572, 0.80435, 0.58607, 0.80435, 0.6025)
        .curve(0.76275, 0.62894, 0.79021, 0.61784, 0.77959, 0.62894)
        .line(0.75837, 0.62894)
        .curve(0.72895, 0.61572, 0.74153, 0.62894, 0.73091, 0.61784)
        .curve(0.71677, 0.56072, 0.71677, 0.6025, 0.71677, 0.58607)
        .line(0.71677, 0.48231)
        .line(0.71677, 0.40389)
        .curve(0.71963, 0.36509, 0.71677, 0.38084, 0.71677, 0.37339)
        .curve(0.75837, 0.33567, 0.7255, 0.34806, 0.74057, 0.33567)
        .line(0.76275, 0.33567)
        .curve(0.80107, 0.36335, 0.77956, 0.33567, 0.79464, 0.34672)
        .close();
    // Body with both legs.
    glyph.move(0.69495, 0.34994)
        .line(0.69495, 0.52463)
        .line(0.69449, 0.69448)
        .curve(0.68313, 0.72189, 0.69449, 0.70476, 0.69041, 0.71462)
        .curve(0.65572, 0.73325, 0.67586, 0.72917, 0.666, 0.73325)
        .line(0.62528, 0.73325)
        .curve(0.61728, 0.74125, 0.62086, 0.73325, 0.61728, 0.73683)
        .curve(0.61728, 0.84616, 0.61728, 0.77622, 0.61728, 0.81119)
        .curve(0.5954, 0.88525, 0.61728, 0.86229, 0.60894, 0.87719)
        .curve(0.55164, 0.88525, 0.58186, 0.89332, 0.56518, 0.89332)
        .curve(0.52976, 0.84616, 0.5381, 0.87719, 0.52976, 0.86229)
        .curve(0.52976, 0.74125, 0.52976, 0.81119, 0.52976, 0.77622)
        .curve(0.52176, 0.73325, 0.52976, 0.73683, 0.52618, 0.73325)
        .line(0.45639, 0.73325)
        .curve(0.44839, 0.74125, 0.45197, 0.73325, 0.44839, 0.73683)
        .line(0.44839, 0.84616)
        .curve(0.42652, 0.88525, 0.4484, 0.86229, 0.44006, 0.87719)
        .curve(0.38276, 0.88525, 0.41298, 0.89332, 0.3963, 0.89332)
        .curve(0.36088, 0.84616, 0.36922, 0.87719, 0.36088, 0.86229)
        .line(0.36088, 0.74125)
        .curve(0.35288, 0.73325, 0.36088, 0.73683, 0.3573, 0.73325)
        .line(0.3227, 0.73325)
        .curve(0.29529, 0.72189, 0.31242, 0.73325, 0.30256, 0.72917)
        .curve(0.28393, 0.69448, 0.28801, 0.71462, 0.28393, 0.70476)
        .line(0.28393, 0.52463)
        .curve(0.28347, 0.34993, 0.28378, 0.4664, 0.28362, 0.40816)
        .line(0.69495, 0.34994)
        .close();
    fillPath(*context, glyph.path(), robotGreen);
}

void StyleKit::drawDeviceIosWithFrame(const gfx::Rect& frame) {
    gfx::Context* context = gfx::currentContext();
    if (!context) return;
    const gfx::Rect g = deviceGlyphGroup(frame);
    drawDeviceDisc(*context, g);

    Glyph glyph(g);
    // Apple with the bite. Below the bite the side is one even bend that runs
    // straight into the lower lip, which turns into the bite as sharply as the
    // upper lip does.
    glyph.move(0.21967, 0.39192)
        .curve(0.2005, 0.45, 0.21242, 0.40977, 0.20534, 0.43192)
        .curve(0.1902, 0.52, 0.19298, 0.47811, 0.19044, 0.49904)
        .curve(0.205, 0.64, 0.18984, 0.55142, 0.19396, 0.5997)
        .curve(0.256, 0.742, 0.21894, 0.69092, 0.24354, 0.72615)
        .curve(0.37421, 0.80435, 0.29813, 0.79563, 0.34161, 0.80435)
        .curve(0.48909, 0.77802, 0.41386, 0.80435, 0.45233, 0.79287)
        .curve(0.60258, 0.8035, 0.52537, 0.79268, 0.56345, 0.8035)
        .curve(0.70311, 0.76803, 0.64813, 0.8035, 0.68031, 0.78884)
        .curve(0.74742, 0.69573, 0.72591, 0.74723, 0.73934, 0.72029)
        .curve(0.7596, 0.63776, 0.75549, 0.67118, 0.75821, 0.64901)
        .line(0.76057, 0.62982)
        .curve(0.75711, 0.6231, 0.76122, 0.62455, 0.76122, 0.62455)
        .curve(0.69305, 0.57477, 0.73127, 0.61401, 0.70889, 0.59712)
        .curve(0.6687, 0.49831, 0.67721, 0.55242, 0.66871, 0.5257)
        .curve(0.68782, 0.42977, 0.6687, 0.47415, 0.67531, 0.45045)
        .curve(0.73967, 0.38105, 0.70033, 0.4091, 0.71826, 0.39225)
        .line(0.74022, 0.38073)
        .curve(0.705, 0.329, 0.73461, 0.35978, 0.72383, 0.33977)
        .curve(0.61195, 0.30733, 0.67689, 0.31291, 0.64434, 0.30454)
        .curve(0.542, 0.316, 0.58838, 0.30936, 0.565, 0.31087)
        .curve(0.48003, 0.33673, 0.52068, 0.32075, 0.49983, 0.3275)
        .curve(0.418, 0.315, 0.46013, 0.32745, 0.4393, 0.32033)
        .curve(0.36843, 0.30881, 0.40179, 0.31094, 0.38514, 0.30881)
        .curve(0.278, 0.324, 0.35418, 0.30881, 0.30952, 0.31003)
        .curve(0.21967, 0.39192, 0.24752, 0.33751, 0.23144, 0.36294)
        .close();
    // Leaf: two even bends that meet in a point at either tip.
    glyph.move(0.612, 0.15218)
        .curve(0.50674, 0.20261, 0.57397, 0.15218, 0.53466, 0.17252)
        .curve(0.47594, 0.25114, 0.49343, 0.21696, 0.4827, 0.23352)
        .curve(0.46893, 0.30606, 0.46918, 0.26877, 0.46639, 0.28746)
        .curve(0.48156, 0.31095, 0.46961, 0.311, 0.46961, 0.311)
        .curve(0.58091, 0.26336, 0.51942, 0.31079, 0.55534, 0.29176)
        .curve(0.61792, 0.15694, 0.60708, 0.2343, 0.62242, 0.19543)
        .curve(0.612, 0.15218, 0.61736, 0.15218, 0.61736, 0.15218)
        .close();
    fillPath(*context, glyph.path(), StyleKit::grey3());
}

}  // namespace style
