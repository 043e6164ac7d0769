#include "graphics/RecordingContext.h"

#include <sstream>

#include "graphics/Image.h"

namespace gfx {

const char* kindName(RecordedOp::Kind k) {
    switch (k) {
        case RecordedOp::Kind::save: return "save";
        case RecordedOp::Kind::restore: return "restore";
        case RecordedOp::Kind::transform: return "transform";
        case RecordedOp::Kind::setFillColor: return "setFillColor";
        case RecordedOp::Kind::setStrokeColor: return "setStrokeColor";
        case RecordedOp::Kind::setShadow: return "setShadow";
        case RecordedOp::Kind::setAlpha: return "setAlpha";
        case RecordedOp::Kind::fill: return "fill";
        case RecordedOp::Kind::stroke: return "stroke";
        case RecordedOp::Kind::clip: return "clip";
        case RecordedOp::Kind::gradient: return "gradient";
        case RecordedOp::Kind::image: return "image";
        case RecordedOp::Kind::beginLayer: return "beginLayer";
        case RecordedOp::Kind::endLayer: return "endLayer";
    }
    return "?";
}

RecordingContext::RecordingContext(const Transform& base) : Context(base) {}

RecordedOp& RecordingContext::log(RecordedOp::Kind k) {
    RecordedOp op{};
    op.kind = k;
    op.state = state();
    ops_.push_back(std::move(op));
    return ops_.back();
}

std::vector<RecordedOp> RecordingContext::opsOf(RecordedOp::Kind k) const {
    std::vector<RecordedOp> out;
    for (const RecordedOp& op : ops_)
        if (op.kind == k) out.push_back(op);
    return out;
}

namespace {

std::vector<PathElement> toDevice(const BezierPath& path, const Transform& ctm) {
    std::vector<PathElement> out = path.elements();
    for (PathElement& e : out)
        for (Point& p : e.points) p = ctm.apply(p);
    return out;
}

void recordPath(RecordedOp& op, const BezierPath& path) {
    op.path = path;
    op.devicePath = toDevice(path, op.state.ctm);
}

}  // namespace

void RecordingContext::onSave() { log(RecordedOp::Kind::save); }

void RecordingContext::onRestore() { log(RecordedOp::Kind::restore); }

void RecordingContext::onStateChange(Change change, const Transform& applied) {
    switch (change) {
        case Change::transform: log(RecordedOp::Kind::transform).applied = applied; break;
        case Change::fillColor: log(RecordedOp::Kind::setFillColor); break;
        case Change::strokeColor: log(RecordedOp::Kind::setStrokeColor); break;
        case Change::shadow: log(RecordedOp::Kind::setShadow); break;
        case Change::alpha: log(RecordedOp::Kind::setAlpha); break;
    }
}

void RecordingContext::doFill(const BezierPath& path) { recordPath(log(RecordedOp::Kind::fill), path); }

void RecordingContext::doStroke(const BezierPath& path) { recordPath(log(RecordedOp::Kind::stroke), path); }

void RecordingContext::doClip(const BezierPath& path) { recordPath(log(RecordedOp::Kind::clip), path); }

void RecordingContext::doGradient(const Gradient& g, Point start, Point end, unsigned options) {
    RecordedOp& op = log(RecordedOp::Kind::gradient);
    op.start = start;
    op.end = end;
    op.gradientColors = g.colors();
    op.gradientLocations = g.locations();
    op.gradientOptions = options;
}

void RecordingContext::doDrawImage(const Image& image, const Rect& r) {
    RecordedOp& op = log(RecordedOp::Kind::image);
    op.imageRect = r;
    op.imageSize = image.size();
}

void RecordingContext::doBeginLayer() { log(RecordedOp::Kind::beginLayer); }

void RecordingContext::doEndLayer(const GraphicsState&) { log(RecordedOp::Kind::endLayer); }

std::string RecordingContext::dump() const {
    std::ostringstream out;
    for (const RecordedOp& op : ops_) {
        out << kindName(op.kind);
        const GraphicsState& s = op.state;
        switch (op.kind) {
            case RecordedOp::Kind::fill:
            case RecordedOp::Kind::stroke:
            case RecordedOp::Kind::clip: {
                for (const PathElement& e : op.path.elements()) {
                    static const char* names[] = {" M", " L", " C", " Z"};
                    out << names[static_cast<int>(e.kind)];
                    int n = e.kind == PathElement::Kind::curve ? 3 : e.kind == PathElement::Kind::close ? 0 : 1;
                    for (int i = 0; i < n; ++i) out << ' ' << e.points[i].x << ',' << e.points[i].y;
                }
                const RGBA c = (op.kind == RecordedOp::Kind::stroke ? s.strokeColor : s.fillColor)->rgba();
                out << " | colour " << c.red << ',' << c.green << ',' << c.blue << ',' << c.alpha;
                if (s.shadow.color)
                    out << " | shadow " << s.shadow.offset.width << ',' << s.shadow.offset.height << " blur "
                        << s.shadow.blurRadius << " alpha " << s.shadow.color->rgba().alpha;
                if (s.alpha != 1) out << " | alpha " << s.alpha;
                break;
            }
            case RecordedOp::Kind::transform:
                out << ' ' << op.applied.a << ' ' << op.applied.b << ' ' << op.applied.c << ' ' << op.applied.d
                    << ' ' << op.applied.tx << ' ' << op.applied.ty;
                break;
            case RecordedOp::Kind::gradient:
                out << ' ' << op.start.x << ',' << op.start.y << " -> " << op.end.x << ',' << op.end.y;
                break;
            default: break;
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace gfx
