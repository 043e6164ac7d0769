#pragma once
// The context that rasterises with Cairo into an ARGB32 surface.

#include "graphics/Context.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace gfx {

class CairoContext : public Context {
public:
    // Draws into `surface` (an extra reference is taken); `base` maps points
    // to the surface's pixels (e.g. Transform::scaling(2, 2)).
    CairoContext(cairo_surface_t* surface, const Transform& base);
    ~CairoContext() override;

    cairo_surface_t* surface() const { return surface_; }

    // The underlying cairo context with the current transform loaded, for
    // text (Pango) and other drawing this layer does not offer. Colours and
    // shadows of the state are not applied; clip is. Wrap such drawing in
    // cairo_save/cairo_restore.
    cairo_t* cairo();

protected:
    void onSave() override;
    void onRestore() override;
    void doFill(const BezierPath& path) override;
    void doStroke(const BezierPath& path) override;
    void doClip(const BezierPath& path) override;
    void doGradient(const Gradient& g, Point start, Point end, unsigned options) override;
    void doDrawImage(const Image& image, const Rect& r) override;
    void doBeginLayer() override;
    void doEndLayer(const GraphicsState& layerState) override;

private:
    template <class Paint>
    void drawWithShadow(Paint&& paint);
    void drawPath(const BezierPath& path, bool stroke);

    cairo_surface_t* surface_;
    cairo_t* cr_;
};

}  // namespace gfx
