#pragma once

#include "engine/AudioEngine.h"

#include <memory>

namespace engine {

// The frame engine the effect ships with.
std::unique_ptr<AudioEngine> CreateFastEngine();

} // namespace engine
