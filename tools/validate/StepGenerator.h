#pragma once

#include "tools/validate/Random.h"
#include "tools/validate/Step.h"

#include <deque>

namespace validate {

// What the generated steps depend on besides the seed: the plug-in's parameter count, whether it
// declares replacing processing, and its format. The same seed and shape give the same steps on every
// platform.
struct PluginShape {
    int numParams = 0;
    bool canReplacing = false;
    bool lv2 = false; // an LV2 plug-in: an LV2 host's steps (its ports are those of lv2/Lv2Contract.h)
};

// An endless, deterministic stream of host actions: mostly cheap calls and short blocks, with the
// hostile values a careless or exotic host sends, and now and then a sequence a real host makes
// (start-up, a sample-rate change, a run of blocks, an editor session, a parameter sweep, a reload), and
// stretches of sound through objects that live as long as the run. For an LV2 plug-in the same, as an
// LV2 host does it: instances made with and without block-length options and features, port writes, time
// positions and the interface's messages delivered inside runs, activations, ports connected elsewhere,
// states saved and restored.
// The first n steps of a seed never depend on how many follow.
class StepGenerator {
public:
    StepGenerator(std::uint64_t seed, const PluginShape& shape);
    Step Next();

private:
    Step single();
    void queueSequence();
    Step singleLv2();
    void queueLv2Sequence();
    // The floating-point state a host leaves for the calls that follow, at random.
    Step floatMode();
    // A few single calls under the floating-point state of a hostile host, then the default state.
    void queueUnderHostileFloatMode();
    Step instantiate();
    Step lv2Step(StepKind kind, std::int64_t value = 0);
    Step message();
    Step connect();
    Step state();
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
