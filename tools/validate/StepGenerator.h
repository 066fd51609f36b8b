#pragma once

#include "tools/validate/Random.h"
#include "tools/validate/Step.h"

#include <deque>

namespace validate {

// What the generated steps depend on besides the seed: the plug-in's parameter count and whether it
// declares replacing processing. The same seed and shape give the same steps on every platform.
struct PluginShape {
    int numParams = 0;
    bool canReplacing = false;
};

// An endless, deterministic stream of host actions: mostly cheap calls and short blocks, with the
// hostile values a careless or exotic host sends, and now and then a sequence a real host makes
// (start-up, a sample-rate change, a run of blocks, an editor session, a parameter sweep, a reload), and
// stretches of sound through objects that live as long as the run.
// The first n steps of a seed never depend on how many follow.
class StepGenerator {
public:
    StepGenerator(std::uint64_t seed, const PluginShape& shape);
    Step Next();

private:
    Step single();
    void queueSequence();
    Step dispatch(vst2::VstInt32 opcode);
    Step process(ProcessCall call, vst2::VstInt32 frames);
    Step sound();
    Step setParameter();
    Step time(TimeMode mode, double sampleRate);
    vst2::VstInt32 frames();
    vst2::VstInt32 parameterIndex();
    float parameterValue();
    std::int64_t hostileInteger();
    float hostileFloat();
    double sampleRate(bool hostile);
    ProcessCall anyCall();
    std::uint32_t seed();

    Random random_;
    PluginShape shape_;
    std::deque<Step> pending_;
};

std::vector<Step> GenerateSteps(std::uint64_t seed, const PluginShape& shape, std::size_t count);

} // namespace validate
