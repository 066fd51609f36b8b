#include "engine/fast/FastEngine.h"

#include "engine/reference/ReferenceEngine.h"

namespace engine {

std::unique_ptr<AudioEngine> CreateFastEngine() {
    return std::make_unique<ReferenceEngine>();
}

} // namespace engine
