#include "graphics/Image.h"

#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <memory>
#include <vector>

#include "graphics/CairoContext.h"

namespace gfx {

Image::Image(cairo_surface_t* surface, Size pointSize, double scale)
    : surface_(surface), size_(pointSize), scale_(scale) {}

Image::~Image() {
    if (surface_) cairo_surface_destroy(surface_);
}

int Image::pixelWidth() const { return surface_ ? cairo_image_surface_get_width(surface_) : 0; }

int Image::pixelHeight() const { return surface_ ? cairo_image_surface_get_height(surface_) : 0; }

Pixel Image::pixel(int px, int py) const {
    if (!surface_ || px < 0 || py < 0 || px >= pixelWidth() || py >= pixelHeight()) return {};
    cairo_surface_flush(surface_);
    const unsigned char* row = cairo_image_surface_get_data(surface_) + py * cairo_image_surface_get_stride(surface_);
    std::uint32_t argb;
    std::memcpy(&argb, row + 4 * px, 4);
    bool opaqueFormat = cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_RGB24;
    std::uint8_t a = opaqueFormat ? 255 : argb >> 24;
    if (a == 0) return {};
    auto unpremultiply = [a](std::uint32_t c) {
        return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
    };
    return {unpremultiply((argb >> 16) & 0xff), unpremultiply((argb >> 8) & 0xff), unpremultiply(argb & 0xff), a};
}

bool Image::writePNG(const std::string& path) const {
    if (!surface_) {
        // An empty image is written as a single transparent pixel.
        cairo_surface_t* blank = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        bool ok = cairo_surface_write_to_png(blank, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(blank);
        return ok;
    }
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

void Image::drawInRect(const Rect& r) const {
    if (Context* c = currentContext()) c->drawImage(*this, r);
}

namespace {

std::atomic<double> screenScaleValue{2.0};

// A bitmap context opened by beginImageContext.
class ImageContext : public CairoContext {
public:
    static std::unique_ptr<ImageContext> make(Size size, bool opaque, double scale) {
        // Cairo's limit on a side; anything larger (or not positive) draws nothing.
        constexpr double maxPixels = 32767;
        bool drawable = size.width > 0 && size.height > 0 && scale > 0 && size.width * scale <= maxPixels &&
                        size.height * scale <= maxPixels;
        int pw = drawable ? std::max(1, static_cast<int>(std::ceil(size.width * scale))) : 1;
        int ph = drawable ? std::max(1, static_cast<int>(std::ceil(size.height * scale))) : 1;
        cairo_surface_t* surface =
            cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, pw, ph);
        auto context = std::unique_ptr<ImageContext>(new ImageContext(surface, size, scale, drawable));
        cairo_surface_destroy(surface);  // the context holds its own reference
        if (!drawable) context->clipToPath(BezierPath());  // draws nothing
        return context;
    }

    ImageRef snapshot() {
        if (!drawable_) return std::make_shared<const Image>(nullptr, size_, scale_);
        cairo_surface_t* src = surface();
        cairo_surface_flush(src);
        cairo_surface_t* copy = cairo_image_surface_create(cairo_image_surface_get_format(src),
                                                           cairo_image_surface_get_width(src),
                                                           cairo_image_surface_get_height(src));
        cairo_t* cr = cairo_create(copy);
        cairo_set_source_surface(cr, src, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        return std::make_shared<const Image>(copy, size_, scale_);
    }

private:
    ImageContext(cairo_surface_t* surface, Size size, double scale, bool drawable)
        : CairoContext(surface, Transform::scaling(scale, scale)), size_(size), scale_(scale), drawable_(drawable) {}

    Size size_;
    double scale_;
    bool drawable_;
};

thread_local std::vector<std::unique_ptr<ImageContext>> imageContexts;

ImageContext* currentImageContext() {
    Context* c = currentContext();
    if (!c || imageContexts.empty() || imageContexts.back().get() != c) return nullptr;
    return imageContexts.back().get();
}

}  // namespace

double screenScale() { return screenScaleValue.load(); }

void setScreenScale(double scale) {
    if (scale > 0 && std::isfinite(scale)) screenScaleValue.store(scale);
}

void beginImageContext(Size size, bool opaque, double scale) {
    imageContexts.push_back(ImageContext::make(size, opaque, scale == 0 ? screenScale() : scale));
    pushContext(*imageContexts.back());
}

ImageRef imageFromCurrentImageContext() {
    ImageContext* c = currentImageContext();
    return c ? c->snapshot() : nullptr;
}

void endImageContext() {
    if (!currentImageContext()) return;
    popContext();
    imageContexts.pop_back();
}

}  // namespace gfx
