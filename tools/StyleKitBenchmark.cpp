// Cost of the kit's pictures: the shadow box image that the status screen
// makes on every layout pass, and a palette read that every body makes.

#include <benchmark/benchmark.h>

#include "graphics/Graphics.h"
#include "style/StyleKit.h"

namespace {

void ShadowBoxImage(benchmark::State& state) {
    gfx::setScreenScale(static_cast<double>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(style::StyleKit::imageOfShadowBoxWithImageSize({343, 180}));
}
BENCHMARK(ShadowBoxImage)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void ShadowBoxRecorded(benchmark::State& state) {
    gfx::RecordingContext context;
    gfx::pushContext(context);
    for (auto _ : state) {
        style::StyleKit::drawShadowBoxWithFrame({0, 0, 343, 180});
        context.clear();
    }
    gfx::popContext();
}
BENCHMARK(ShadowBoxRecorded);

void PaletteRead(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(style::StyleKit::bvBlueDark());
}
BENCHMARK(PaletteRead);

}  // namespace
