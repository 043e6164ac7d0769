#include "graphics/Geometry.h"

namespace gfx {

Rect Rect::standardized() const {
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

Rect Rect::insetBy(double dx, double dy) const {
    Rect s = standardized();
    return {s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy};
}

bool operator==(const Rect& a, const Rect& b) {
    Rect sa = a.standardized(), sb = b.standardized();
    return sa.origin == sb.origin && sa.size == sb.size;
}

Transform Transform::concat(const Transform& first) const {
    // (this o first)(p) = this(first(p))
    return {a * first.a + c * first.b,   b * first.a + d * first.b,
            a * first.c + c * first.d,   b * first.c + d * first.d,
            a * first.tx + c * first.ty + tx, b * first.tx + d * first.ty + ty};
}

Span snappedSpan(double min, double extent, double a, double b) {
    double start = snap(extent * a);
    return {min + start, snap(extent * b) - start};
}

Span halfPixelSpan(double min, double extent, double a, double b) {
    double start = std::floor(extent * a);
    return {min + start + 0.5, std::floor(extent * b) - start};
}

Rect groupRect(const Rect& r, double left, double top, double right, double bottom) {
    return rectFromSpans(snappedSpan(r.minX(), r.width(), left, right),
                         snappedSpan(r.minY(), r.height(), top, bottom));
}

Rect halfPixelGroupRect(const Rect& r, double left, double top, double right, double bottom) {
    return rectFromSpans(halfPixelSpan(r.minX(), r.width(), left, right),
                         halfPixelSpan(r.minY(), r.height(), top, bottom));
}

Point groupPoint(const Rect& r, double fx, double fy) {
    return {r.minX() + r.width() * fx, r.minY() + r.height() * fy};
}

}  // namespace gfx
