#pragma once
// Bitmap images with a size in points and a scale (pixels per point), image
// contexts that make them, and PNG export.

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace gfx {

class Image;
using ImageRef = std::shared_ptr<const Image>;

struct Pixel {  // unpremultiplied, 0...255
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

class Image {
public:
    // Takes one reference of `surface` (ARGB32, premultiplied); null for an empty image.
    Image(cairo_surface_t* surface, Size pointSize, double scale);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    Size size() const { return size_; }  // points
    double scale() const { return scale_; }
    int pixelWidth() const;
    int pixelHeight() const;
    bool isEmpty() const { return surface_ == nullptr; }

    // Pixel at device coordinates; transparent outside the image.
    Pixel pixel(int px, int py) const;
    // Pixel under a point (in points) of the image.
    Pixel pixelAtPoint(double x, double y) const {
        return pixel(static_cast<int>(std::floor(x * scale_)), static_cast<int>(std::floor(y * scale_)));
    }

    bool writePNG(const std::string& path) const;
    // Draw scaled into a rectangle of the current context (no-op without one).
    void drawInRect(const Rect& r) const;

    cairo_surface_t* cairoSurface() const { return surface_; }

private:
    cairo_surface_t* surface_;
    Size size_;
    double scale_;
};

// Something that shows an image (image views, buttons).
class ImageTarget {
public:
    virtual ~ImageTarget() = default;
    virtual void setImage(ImageRef image) = 0;
};

// Scale that image contexts use when asked for scale 0 (process-wide; 2 by default).
double screenScale();
void setScreenScale(double scale);

// Opens a bitmap context of `size` points and makes it current on this thread.
// Not opaque: pixels stay transparent where nothing is drawn. Scale 0 means
// screenScale(). A size with a side <= 0, not finite or beyond 32767 pixels
// opens a context that draws nothing and yields an empty image of that size.
void beginImageContext(Size size, bool opaque, double scale);
// Image of the current image context so far, or null when the current context
// is not an image context.
ImageRef imageFromCurrentImageContext();
// Closes the current image context (no-op when the current context is not one).
void endImageContext();

// Scoped form of the three calls above.
class ImageContextScope {
public:
    ImageContextScope(Size size, bool opaque = false, double scale = 0) { beginImageContext(size, opaque, scale); }
    ~ImageContextScope() { endImageContext(); }
    ImageContextScope(const ImageContextScope&) = delete;
    ImageContextScope& operator=(const ImageContextScope&) = delete;
    ImageRef image() const { return imageFromCurrentImageContext(); }
};

}  // namespace gfx
