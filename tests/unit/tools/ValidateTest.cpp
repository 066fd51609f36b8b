// The validator against a small effect of its own with planted faults: the steps are the same for a
// seed, every planted fault is found as what it is, a correct effect gives no finding, and a failure
// hidden in a long list shrinks to the steps that cause it.

#include "tools/validate/Session.h"
#include "tools/validate/Shrinker.h"
#include "tools/validate/StepGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <xmmintrin.h>

using namespace validate;
using namespace vst2;

namespace {

enum class Fault {
    None,
    WriteAfterBlock,
    SkipFrame,
    ChangeRounding,
    LongProgramName,
    ChangeRecord,
    ChangeInput
};
Fault planted = Fault::None;

// A stereo effect with four parameters that halves its input, written the way a careful plug-in is:
// exceptions masked inside every call, non-finite input taken as silence and huge input clipped, texts
// within their limits.
struct FakeEffect {
    AEffect record{};
    float parameters[4] = {};
};

struct MaskedCall {
    unsigned saved = _mm_getcsr();
    MaskedCall() { _mm_setcsr(0x1F80u); }
    ~MaskedCall() { _mm_setcsr(saved); }
};

FakeEffect& fake(AEffect* e) {
    return *static_cast<FakeEffect*>(e->object);
}

float sample(float x) {
    return std::isfinite(x) ? 0.5f * std::fmax(-1e15f, std::fmin(x, 1e15f)) : 0.0f;
}

VstIntPtr fakeDispatcher(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    MaskedCall masked;
    switch (opcode) {
    case effClose:
        delete &fake(e);
        return 1;
    case effGetProgramName:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr),
                        planted == Fault::LongProgramName ? "A name far too long for it" : "Init");
        return 0;
    case effMainsChanged:
        if (planted == Fault::ChangeRecord)
            e->flags |= effFlagsNoSoundInStop;
        return 0;
    default:
        return 0;
    }
}

void fakeSetParameter(AEffect* e, VstInt32 index, float value) {
    MaskedCall masked;
    if (index >= 0 && index < 4)
        fake(e).parameters[index] = value > 1.0f ? 1.0f : value >= 0.0f ? value : 0.0f;
    if (planted == Fault::ChangeRounding)
        masked.saved |= 0x6000u;
}

float fakeGetParameter(AEffect* e, VstInt32 index) {
    MaskedCall masked;
    return index >= 0 && index < 4 ? fake(e).parameters[index] : 0.0f;
}

void fakeProcess(AEffect* e, float** in, float** out, VstInt32 frames) {
    MaskedCall masked;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i)
            out[c][i] += sample(in[c][i]);
    if (planted == Fault::WriteAfterBlock && fake(e).parameters[2] > 0.5f && frames == 37)
        out[0][frames] = 0.0f;
    if (planted == Fault::ChangeInput && fake(e).parameters[1] > 0.5f && frames > 0)
        in[1][0] = 0.0f;
}

void fakeProcessReplacing(AEffect* e, float** in, float** out, VstInt32 frames) {
    MaskedCall masked;
    const bool skip = planted == Fault::SkipFrame && fake(e).parameters[3] > 0.5f;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames - (skip ? 1 : 0); ++i)
            out[c][i] = sample(in[c][i]);
}

AEffect* fakeEntry(audioMasterCallback host) {
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    auto* effect = new FakeEffect;
    AEffect& r = effect->record;
    r.magic = kEffectMagic;
    r.dispatcher = fakeDispatcher;
    r.process = fakeProcess;
    r.processReplacing = fakeProcessReplacing;
    r.setParameter = fakeSetParameter;
    r.getParameter = fakeGetParameter;
    r.numPrograms = 1;
    r.numParams = 4;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = effFlagsCanReplacing;
    r.object = effect;
    r.version = 1;
    return &r;
}

// Runs a step list on a fresh fake effect: the first finding and its step index.
std::optional<std::pair<Finding, std::size_t>> run(const std::vector<Step>& steps) {
    Session session(&fakeEntry, SessionOptions{});
    if (auto f = session.Start())
        return std::make_pair(*f, std::size_t{0});
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (auto f = session.Execute(steps[i]))
            return std::make_pair(*f, i);
    return std::nullopt;
}

const PluginShape kShape{4, true};

} // namespace

TEST(Validate, StepsFollowFromTheSeedAndReadBackFromTheirText) {
    // A VST 2 host's steps, and an LV2 host's (instances, activations, connections, messages, states).
    for (const PluginShape& shape : {kShape, PluginShape{181, true, true}}) {
        const std::vector<Step> steps = GenerateSteps(42, shape, 3000);
        const std::string text = ToText(steps);
        EXPECT_EQ(ToText(GenerateSteps(42, shape, 3000)), text) << "the same seed gives the same steps";
        EXPECT_EQ(ToText(GenerateSteps(42, shape, 700)),
                  ToText(std::vector<Step>(steps.begin(), steps.begin() + 700)))
            << "the first steps of a seed do not depend on how many follow";
        EXPECT_NE(ToText(GenerateSteps(43, shape, 3000)), text) << "another seed gives other steps";

        std::vector<Step> read;
        std::string error;
        ASSERT_TRUE(ParseSteps("# a comment\n\n" + text, read, error)) << error;
        EXPECT_EQ(ToText(read), text)
            << "printed steps read back as the same steps (NaN and infinities included)";
        for (const char* wrong : {"process sideways frames=3", "set 3", "dispatch effOpen colour=red", "jump",
                                  "instantiate map=maybe", "message shout seed=1", "state lost"})
            EXPECT_FALSE(ParseStep(wrong, read.front(), error)) << wrong;
    }
    EXPECT_NE(ToText(GenerateSteps(42, PluginShape{181, true, true}, 3000)).find("state "), std::string::npos)
        << "an LV2 plug-in gets an LV2 host's steps";
}

TEST(Validate, EachPlantedFaultIsFoundAsWhatItIs) {
    planted = Fault::None;
    EXPECT_FALSE(run(GenerateSteps(5, kShape, 20000))) << "a correct effect gives no finding";
    const struct {
        Fault fault;
        FindingKind kind;
    } cases[] = {
        {Fault::WriteAfterBlock, FindingKind::WriteOutside},
        {Fault::SkipFrame, FindingKind::FrameNotWritten},
        {Fault::ChangeRounding, FindingKind::FloatState},
        {Fault::LongProgramName, FindingKind::WriteOutside},
        {Fault::ChangeRecord, FindingKind::RecordChanged},
        {Fault::ChangeInput, FindingKind::InputChanged},
    };
    for (const auto& c : cases) {
        planted = c.fault;
        const auto found = run(GenerateSteps(5, kShape, 20000));
        ASSERT_TRUE(found) << "planted fault " << static_cast<int>(c.fault);
        EXPECT_EQ(found->first.kind, c.kind) << found->first.message;
    }
    planted = Fault::None;
}

TEST(Validate, AFailureShrinksToTheStepsThatCauseIt) {
    planted = Fault::WriteAfterBlock;
    // Generated steps that cannot trigger the fault, with the two that do planted among them.
    std::vector<Step> steps;
    for (const Step& s : GenerateSteps(9, kShape, 400))
        if (!(s.kind == StepKind::Process && s.frames == 37) &&
            !(s.kind == StepKind::SetParameter && s.index == 2) && s.kind != StepKind::Reopen)
            steps.push_back(s);
    std::string error;
    Step set, block;
    ASSERT_TRUE(ParseStep("set 2 0.75", set, error) &&
                ParseStep("process accumulating frames=37 signal=noise seed=1", block, error));
    steps.insert(steps.begin() + 120, set);
    steps.insert(steps.begin() + 300, block);
    const auto found = run(steps);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->second, 300u) << found->first.message;
    EXPECT_NE(found->first.message.find("at frame 37"), std::string::npos) << found->first.message;

    const std::vector<Step> minimal =
        Shrink(steps, [](const std::vector<Step>& candidate) -> std::optional<std::size_t> {
            const auto f = run(candidate);
            if (f && f->first.kind == FindingKind::WriteOutside)
                return f->second;
            return std::nullopt;
        });
    EXPECT_EQ(ToText(minimal), ToText(std::vector<Step>{set, block}));
    planted = Fault::None;
}
