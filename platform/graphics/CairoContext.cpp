#include "graphics/CairoContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/Image.h"

namespace gfx {

namespace {

cairo_matrix_t toCairo(const Transform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

void loadPath(cairo_t* cr, const BezierPath& path) {
    cairo_new_path(cr);
    for (const PathElement& e : path.elements()) {
        switch (e.kind) {
            case PathElement::Kind::move: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
            case PathElement::Kind::line: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
            case PathElement::Kind::curve:
                cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y,
                               e.points[2].x, e.points[2].y);
                break;
            case PathElement::Kind::close: cairo_close_path(cr); break;
        }
    }
    cairo_set_fill_rule(cr, path.usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
}

void setStrokeStyle(cairo_t* cr, const BezierPath& path) {
    cairo_set_line_width(cr, path.lineWidth);
    cairo_set_line_join(cr, path.lineJoin == LineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                            : path.lineJoin == LineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                               : CAIRO_LINE_JOIN_MITER);
    cairo_set_line_cap(cr, path.lineCap == LineCap::round    ? CAIRO_LINE_CAP_ROUND
                           : path.lineCap == LineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                             : CAIRO_LINE_CAP_BUTT);
    cairo_set_miter_limit(cr, path.miterLimit);
}

void setSource(cairo_t* cr, const ColorRef& color, double alpha) {
    RGBA c = color->rgba();
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha * alpha);
}

// Box blur of one line of `length` values spaced `step` apart: each value
// becomes the mean of the window [i - before, i + after], outside counting as 0.
void boxBlurLine(unsigned char* data, int length, std::ptrdiff_t step, int before, int after,
                 std::vector<unsigned char>& line) {
    for (int i = 0; i < length; ++i) line[i] = data[i * step];
    int window = before + after + 1, sum = 0;
    for (int j = 0; j <= std::min(after, length - 1); ++j) sum += line[j];
    for (int i = 0; i < length; ++i) {
        data[i * step] = static_cast<unsigned char>((sum + window / 2) / window);
        if (i + after + 1 < length) sum += line[i + after + 1];
        if (i - before >= 0) sum -= line[i - before];
    }
}

// Gaussian blur of an A8 surface in place, as three box blurs per axis (the
// usual approximation for shadows); edges treated as transparent.
void gaussianBlur(cairo_surface_t* mask, double sigma) {
    int d = static_cast<int>(std::floor(sigma * 3 * std::sqrt(2 * M_PI) / 4 + 0.5));
    if (d < 1) return;
    // Odd d: three centred boxes of d; even d: two off-centre boxes of d and one of d + 1.
    int half = d / 2;
    bool odd = d % 2 != 0;
    const int windows[3][2] = {{half, odd ? half : half - 1}, {odd ? half : half - 1, half}, {half, half}};
    cairo_surface_flush(mask);
    int w = cairo_image_surface_get_width(mask), h = cairo_image_surface_get_height(mask);
    int stride = cairo_image_surface_get_stride(mask);
    unsigned char* data = cairo_image_surface_get_data(mask);
    std::vector<unsigned char> line(std::max(w, h));
    for (const auto& window : windows) {
        for (int y = 0; y < h; ++y) boxBlurLine(data + y * stride, w, 1, window[0], window[1], line);
        for (int x = 0; x < w; ++x) boxBlurLine(data + x, h, stride, window[0], window[1], line);
    }
    cairo_surface_mark_dirty(mask);
}

}  // namespace

CairoContext::CairoContext(cairo_surface_t* surface, const Transform& base)
    : Context(base), surface_(cairo_surface_reference(surface)), cr_(cairo_create(surface)) {}

CairoContext::~CairoContext() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

cairo_t* CairoContext::cairo() {
    if (ctm().isInvertible()) {
        cairo_matrix_t m = toCairo(ctm());
        cairo_set_matrix(cr_, &m);
    }
    return cr_;
}

void CairoContext::onSave() { cairo_save(cr_); }

void CairoContext::onRestore() { cairo_restore(cr_); }

// Device-space rectangle, for measuring what a paint covers.
struct DeviceBounds {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

namespace {

// The CTM followed by a device-space shift.
cairo_matrix_t shiftedMatrix(const Transform& ctm, double dx, double dy) {
    cairo_matrix_t m = toCairo(ctm);
    m.x0 += dx;
    m.y0 += dy;
    return m;
}

// Device bounds of user-space extents under matrix m.
DeviceBounds toDevice(const cairo_matrix_t& m, double x1, double y1, double x2, double y2) {
    DeviceBounds b{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (double x : {x1, x2})
        for (double y : {y1, y2}) {
            double dx = x, dy = y;
            cairo_matrix_transform_point(&m, &dx, &dy);
            b.x1 = std::min(b.x1, dx);
            b.y1 = std::min(b.y1, dy);
            b.x2 = std::max(b.x2, dx);
            b.y2 = std::max(b.y2, dy);
        }
    return b;
}

}  // namespace

// Draws `paint` under the state's shadow and composites it with the global
// alpha. paint(cr, dx, dy, measure) renders at full alpha, shifted by (dx, dy)
// device pixels, or, when `measure` is given, only fills in its device bounds.
template <class Paint>
void CairoContext::drawWithShadow(Paint&& paint) {
    const GraphicsState& st = state();
    const Shadow& shadow = st.shadow;
    bool hasShadow = shadow.color && shadow.color->rgba().alpha > 0 && st.alpha > 0;

    if (hasShadow) {
        // Offset and blur live in base space: only the base transform applies.
        Size offset = baseTransform().applyToSize(shadow.offset);
        double baseScale = std::sqrt(std::fabs(baseTransform().determinant()));
        // Blurs wider than a screen fade to nothing anyway; the cap bounds the mask.
        double sigma = std::min(shadow.blurRadius * baseScale / 2, 170.0);
        int margin = static_cast<int>(std::ceil(sigma * 3)) + 2;

        // The content's device bounds, limited to what can throw a shadow onto the surface.
        DeviceBounds b;
        paint(cr_, 0.0, 0.0, &b);
        int sw = cairo_image_surface_get_width(surface_), sh = cairo_image_surface_get_height(surface_);
        double left = std::max(std::floor(b.x1) - margin, -offset.width - margin);
        double top = std::max(std::floor(b.y1) - margin, -offset.height - margin);
        double right = std::min(std::ceil(b.x2) + margin, sw - offset.width + margin);
        double bottom = std::min(std::ceil(b.y2) + margin, sh - offset.height + margin);
        if (right > left && bottom > top && std::isfinite(right - left) && std::isfinite(bottom - top)) {
            cairo_surface_t* mask = cairo_image_surface_create(
                CAIRO_FORMAT_A8, static_cast<int>(right - left), static_cast<int>(bottom - top));
            if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS) {
                cairo_t* mcr = cairo_create(mask);
                paint(mcr, -left, -top, nullptr);
                cairo_destroy(mcr);
                gaussianBlur(mask, sigma);

                cairo_save(cr_);
                cairo_identity_matrix(cr_);
                setSource(cr_, shadow.color, st.alpha);
                cairo_mask_surface(cr_, mask, left + offset.width, top + offset.height);
                cairo_restore(cr_);
            }
            cairo_surface_destroy(mask);
        }
    }

    if (st.alpha >= 1) {
        paint(cr_, 0.0, 0.0, nullptr);
    } else if (st.alpha > 0) {
        // Groups are pushed and popped under the identity so their pattern maps pixel to pixel.
        cairo_identity_matrix(cr_);
        cairo_push_group(cr_);
        paint(cr_, 0.0, 0.0, nullptr);
        cairo_pop_group_to_source(cr_);
        cairo_identity_matrix(cr_);
        cairo_paint_with_alpha(cr_, st.alpha);
    }
}

void CairoContext::drawPath(const BezierPath& path, bool stroke) {
    ColorRef color = stroke ? state().strokeColor : state().fillColor;
    Transform t = ctm();
    drawWithShadow([&](cairo_t* cr, double dx, double dy, DeviceBounds* measure) {
        cairo_matrix_t m = shiftedMatrix(t, dx, dy);
        cairo_set_matrix(cr, &m);
        loadPath(cr, path);
        if (stroke) setStrokeStyle(cr, path);
        if (measure) {
            double x1, y1, x2, y2;
            (stroke ? cairo_stroke_extents : cairo_fill_extents)(cr, &x1, &y1, &x2, &y2);
            cairo_new_path(cr);
            *measure = toDevice(m, x1, y1, x2, y2);
            return;
        }
        setSource(cr, color, 1);
        (stroke ? cairo_stroke : cairo_fill)(cr);
    });
}

void CairoContext::doFill(const BezierPath& path) { drawPath(path, false); }

void CairoContext::doStroke(const BezierPath& path) { drawPath(path, true); }

void CairoContext::doClip(const BezierPath& path) {
    // A singular matrix would put cairo into a permanent error state; the
    // empty path that comes with one clips everything away in any space.
    if (ctm().isInvertible()) {
        cairo_matrix_t m = toCairo(ctm());
        cairo_set_matrix(cr_, &m);
    } else {
        cairo_identity_matrix(cr_);
    }
    loadPath(cr_, path);
    cairo_clip(cr_);
}

void CairoContext::doGradient(const Gradient& g, Point start, Point end, unsigned options) {
    if (start == end) return;
    cairo_matrix_t m = toCairo(ctm());
    cairo_save(cr_);
    cairo_set_matrix(cr_, &m);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    for (std::size_t i = 0; i < g.colors().size(); ++i) {
        RGBA c = g.colors()[i]->rgba();
        cairo_pattern_add_color_stop_rgba(pattern, g.locations()[i], c.red, c.green, c.blue, c.alpha);
    }
    bool before = options & gradientDrawsBeforeStart, after = options & gradientDrawsAfterEnd;
    cairo_pattern_set_extend(pattern, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    if (before != after) {
        // Padding on one side only: keep the half-plane that ends at the
        // unpadded end point.
        double dx = end.x - start.x, dy = end.y - start.y, len = std::hypot(dx, dy);
        dx /= len;
        dy /= len;
        Point edge = before ? end : start;
        double sign = before ? -1 : 1;  // from the edge into the kept side
        const double far = 1e5;  // well inside cairo's fixed-point range
        cairo_move_to(cr_, edge.x - dy * far, edge.y + dx * far);
        cairo_line_to(cr_, edge.x + dy * far, edge.y - dx * far);
        cairo_line_to(cr_, edge.x + dy * far + sign * dx * far, edge.y - dx * far + sign * dy * far);
        cairo_line_to(cr_, edge.x - dy * far + sign * dx * far, edge.y + dx * far + sign * dy * far);
        cairo_close_path(cr_);
        cairo_clip(cr_);
    }
    cairo_set_source(cr_, pattern);
    cairo_paint_with_alpha(cr_, state().alpha);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr_);
}

void CairoContext::doDrawImage(const Image& image, const Rect& r) {
    Rect s = r.standardized();
    Transform t = ctm();
    drawWithShadow([&](cairo_t* cr, double dx, double dy, DeviceBounds* measure) {
        cairo_matrix_t m = shiftedMatrix(t, dx, dy);
        if (measure) {
            *measure = toDevice(m, s.minX(), s.minY(), s.maxX(), s.maxY());
            return;
        }
        cairo_save(cr);
        cairo_set_matrix(cr, &m);
        cairo_rectangle(cr, s.minX(), s.minY(), s.width(), s.height());
        cairo_clip(cr);
        cairo_translate(cr, s.minX(), s.minY());
        cairo_scale(cr, s.width() / image.pixelWidth(), s.height() / image.pixelHeight());
        cairo_set_source_surface(cr, image.cairoSurface(), 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    });
}

void CairoContext::doBeginLayer() {
    cairo_identity_matrix(cr_);
    cairo_push_group(cr_);
}

void CairoContext::doEndLayer(const GraphicsState&) {
    cairo_pattern_t* layer = cairo_pop_group(cr_);
    // The finished layer is one piece of content under the shadow and alpha
    // that were current when it began.
    drawWithShadow([&](cairo_t* cr, double dx, double dy, DeviceBounds* measure) {
        if (measure) {
            cairo_save(cr_);
            cairo_identity_matrix(cr_);
            cairo_clip_extents(cr_, &measure->x1, &measure->y1, &measure->x2, &measure->y2);
            cairo_restore(cr_);
            return;
        }
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_translate(cr, dx, dy);
        cairo_set_source(cr, layer);
        cairo_paint(cr);
        cairo_restore(cr);
    });
    cairo_pattern_destroy(layer);
}

}  // namespace gfx
