#pragma once
// The graphics layer in one include.
#include "graphics/BezierPath.h"
#include "graphics/CairoContext.h"
#include "graphics/Color.h"
#include "graphics/Context.h"
#include "graphics/Geometry.h"
#include "graphics/Image.h"
#include "graphics/RecordingContext.h"
