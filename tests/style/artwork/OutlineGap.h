#pragma once
// Distances between drawn outlines, measured along their curves.

#include <vector>

#include "graphics/BezierPath.h"

namespace artwork_test {

// Each line and curve segment of `path` as points along it, `steps` steps a segment.
std::vector<std::vector<gfx::Point>> segmentSteps(const gfx::BezierPath& path, int steps = 32);

// The narrowest distance between the outlines of `a` and `b`.
double narrowestGap(const gfx::BezierPath& a, const gfx::BezierPath& b);

// How far a point of either outline lies from the other at most.
double farthestApart(const gfx::BezierPath& a, const gfx::BezierPath& b);

}  // namespace artwork_test
