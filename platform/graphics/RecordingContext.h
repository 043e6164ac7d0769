#pragma once
// A context that draws nothing and logs every operation, so tests can check
// geometry, colours and state changes exactly. Paths are logged both as given
// (user space) and mapped through the CTM (device space).

#include <string>
#include <vector>

#include "graphics/Context.h"

namespace gfx {

struct RecordedOp {
    enum class Kind {
        save, restore, transform,
        setFillColor, setStrokeColor, setShadow, setAlpha,
        fill, stroke, clip, gradient, image, beginLayer, endLayer,
    };
    Kind kind;
    // fill/stroke/clip: the path as given and mapped to device space.
    BezierPath path;
    std::vector<PathElement> devicePath;
    // State at the moment of the operation (after it, for state changes).
    GraphicsState state;
    // transform: the transform applied (translate, scale or concat).
    Transform applied;
    // gradient: start and end points.
    Point start, end;
    // image: the destination rectangle and the image's size.
    Rect imageRect;
    Size imageSize;
    // gradient only.
    std::vector<ColorRef> gradientColors;
    std::vector<double> gradientLocations;
    unsigned gradientOptions = 0;
};

const char* kindName(RecordedOp::Kind k);

class RecordingContext : public Context {
public:
    explicit RecordingContext(const Transform& base = {});

    const std::vector<RecordedOp>& ops() const { return ops_; }
    // The ops of one kind, in order.
    std::vector<RecordedOp> opsOf(RecordedOp::Kind k) const;
    void clear() { ops_.clear(); }
    // One line per op, for failure messages and debugging.
    std::string dump() const;

protected:
    void onSave() override;
    void onRestore() override;
    void onStateChange(Change change, const Transform& applied) override;
    void doFill(const BezierPath& path) override;
    void doStroke(const BezierPath& path) override;
    void doClip(const BezierPath& path) override;
    void doGradient(const Gradient& g, Point start, Point end, unsigned options) override;
    void doDrawImage(const Image& image, const Rect& r) override;
    void doBeginLayer() override;
    void doEndLayer(const GraphicsState& layerState) override;

private:
    RecordedOp& log(RecordedOp::Kind k);
    std::vector<RecordedOp> ops_;
};

}  // namespace gfx
