#pragma once

#include "render/RenderState.h"

#include <cstddef>
#include <string>
#include <vector>

// The states of a render's shares added up into the state of the whole render: the counters add
// as one render's would, each orbit's state is taken from the file that holds it. Throws
// ERenderState naming the file that belongs to another render (its set, settings, size, steps
// or orbits differ), orbits held twice, and orbits no file holds. Only two states are in memory
// at a time.
TRenderState MergeRenderStates(const std::vector<std::string>& fileNames, std::size_t maxHitBytes);
