#include "tests/unit/host/TestEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

using namespace vst2;
using hosttest::Log;
using hosttest::TestEffect;

// Heap allocations made so far by the calling thread (AllocationCounter.cpp).
int AllocationCount();

namespace {

std::string parameterText(host::TVstTemplate& effect, VstInt32 opcode, VstInt32 index) {
    char text[256] = {};
    effect.dispatcher(opcode, index, 0, text, 0.0f);
    return text;
}

} // namespace

TEST(TVstTemplate, FreshTemplateNamesAndValues) {
    host::TVstIdentity identity = TestEffect::DefaultIdentity();
    TestEffect effect(identity, 4, nullptr, &hosttest::TestCallback, 3);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(parameterText(effect, effGetParamName, i), "Parameter " + std::to_string(i));
        EXPECT_EQ(parameterText(effect, effGetParamLabel, i), "");
        EXPECT_EQ(parameterText(effect, effGetParamDisplay, i), "0.00");
        EXPECT_EQ(effect.getParameter(i), 0.0f);
    }
    for (int p = 0; p < 3; ++p) {
        char name[64] = {};
        EXPECT_EQ(effect.dispatcher(effGetProgramNameIndexed, p, 0, name, 0.0f), 1);
        EXPECT_STREQ(name, "Init");
    }
    EXPECT_EQ(parameterText(effect, effGetParamName, 4), "undefined");
    EXPECT_EQ(parameterText(effect, effGetParamName, -1), "undefined");
}

TEST(TVstTemplate, IdentityBecomesTheRecord) {
    host::TVstIdentity identity;
    identity.UniqueID = "AB";
    identity.InputCount = 1;
    identity.OutputCount = 4;
    identity.InitialDelay = 64;
    identity.Options = host::kOptionReplacing | host::kOptionNoTail;
    TestEffect padded(identity, 2);
    EXPECT_EQ(padded.getAeffect()->uniqueID, FourCharCode('A', 'B', ' ', ' '))
        << "short IDs are padded with spaces";
    EXPECT_EQ(padded.getAeffect()->numInputs, 1);
    EXPECT_EQ(padded.getAeffect()->numOutputs, 4);
    EXPECT_EQ(padded.getAeffect()->initialDelay, 64);
    EXPECT_EQ(padded.getAeffect()->flags, effFlagsCanReplacing | effFlagsNoSoundInStop);
    identity.UniqueID = "WXYZ-long";
    identity.Options = 0;
    TestEffect cut(identity, 2);
    EXPECT_EQ(cut.getAeffect()->uniqueID, FourCharCode('W', 'X', 'Y', 'Z')) << "only four characters count";
    EXPECT_EQ(cut.getAeffect()->flags, 0);
    identity.UniqueID = "";
    TestEffect empty(identity, 2);
    EXPECT_EQ(empty.getAeffect()->uniqueID, 0x20202020);

    // Identity setters after construction report the change to the host.
    Log() = {};
    cut.SetOutputCount(2);
    EXPECT_EQ(cut.getAeffect()->numOutputs, 2);
    EXPECT_EQ(Log().count(audioMasterIOChanged), 1);
}

TEST(TVstTemplate, ClampingAndTheChangeHandler) {
    TestEffect effect;
    effect.AttachHandlers();
    const struct {
        float in, stored;
    } cases[] = {{1.5f, 1.0f},
                 {-0.2f, 0.0f},
                 {std::numeric_limits<float>::quiet_NaN(), 0.0f},
                 {-std::numeric_limits<float>::quiet_NaN(), 0.0f},
                 {std::numeric_limits<float>::infinity(), 1.0f},
                 {0.3f, 0.3f},
                 {-0.0f, 0.0f}};
    for (const auto& c : cases) {
        effect.setParameter(10, c.in);
        EXPECT_EQ(effect.getParameter(10), c.stored) << "set " << c.in;
    }
    EXPECT_EQ(effect.changed.size(), std::size(cases)) << "one handler call per stored value";
    effect.changed.clear();
    effect.setParameter(181, 0.5f);
    effect.setParameter(-1, 0.5f);
    EXPECT_TRUE(effect.changed.empty()) << "out-of-range indexes reach no handler";
    EXPECT_EQ(effect.getParameter(181), 0.0f);
}

TEST(TVstTemplate, ProgramChangesReapplyEveryValueInOrder) {
    TestEffect effect;
    effect.setParameter(5, 0.75f); // before the handler is attached: stored only
    effect.AttachHandlers();
    effect.setProgram(0);
    ASSERT_EQ(effect.changed.size(), 181u);
    for (int i = 0; i < 181; ++i)
        EXPECT_EQ(effect.changed[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(effect.getParameter(5), 0.75f);
    effect.changed.clear();
    effect.setProgram(1);
    effect.setProgram(-1);
    effect.dispatcher(effSetProgram, 0, 1, nullptr, 0.0f);
    EXPECT_TRUE(effect.changed.empty()) << "unknown programs are ignored";
    EXPECT_EQ(effect.getProgram(), 0);
}

TEST(TVstTemplate, ProgramNamesAreCutToTheirFieldAndToTheHostsBuffer) {
    TestEffect effect;
    std::string longName(300, 'n');
    effect.setProgramName(longName.data());
    EXPECT_EQ(std::string(effect.CurrentProgram().Name), std::string(48, 'n')) << "the program keeps 48";
    char buffer[128];
    std::memset(buffer, 0x5A, sizeof buffer);
    effect.getProgramName(buffer);
    EXPECT_EQ(std::string(buffer), std::string(23, 'n')) << "the host gets 23 characters and the NUL";
    EXPECT_EQ(buffer[24], 0x5A) << "nothing written beyond the interface's 24 bytes";
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(effect.dispatcher(effGetProgramNameIndexed, 0, 0, buffer, 0.0f), 1);
    EXPECT_EQ(std::string(buffer), std::string(23, 'n'));
    EXPECT_EQ(buffer[24], 0x5A);
    char name[] = "Short";
    effect.dispatcher(effSetProgramName, 0, 0, name, 0.0f);
    effect.getProgramName(buffer);
    EXPECT_STREQ(buffer, "Short");
}

TEST(TVstTemplate, DisplayFollowsCurveAndSmoother) {
    TestEffect effect;
    host::TVstParameterProperty* property = effect.ParameterProperty(0);
    ASSERT_NE(property, nullptr);
    property->Min = -10.0f;
    property->Max = 10.0f;
    effect.setParameter(0, 0.75f);
    EXPECT_EQ(parameterText(effect, effGetParamDisplay, 0), "5.00");
    property->SmoothingCoefficient = 0.5f;
    property->SmoothingState1 = property->SmoothingState2 = 0.0f;
    // Two one-pole stages at 0.5: 5 -> state1 2.5, state2 1.25; then state1 3.75, state2 2.5.
    EXPECT_FLOAT_EQ(effect.GetRealParameter(0), 1.25f);
    EXPECT_FLOAT_EQ(effect.GetRealParameter(0), 2.5f);
    property->SmoothingCoefficient = 1.0f;
    property->SetLabel("semitones-long");
    EXPECT_EQ(parameterText(effect, effGetParamLabel, 0), "semitone") << "labels are cut to 8 characters";

    effect.AttachHandlers();
    Log() = {};
    effect.SetRealParameter(0, 0.0f);
    EXPECT_EQ(effect.getParameter(0), 0.5f);
    EXPECT_EQ(Log().count(audioMasterAutomate), 1);
}

TEST(TVstTemplate, ReplacingCopiesAndAccumulatingAdds) {
    TestEffect effect;
    const int n = 16;
    float inL[n], inR[n], outL[n], outR[n];
    for (int i = 0; i < n; ++i) {
        inL[i] = inR[i] = static_cast<float>(i);
        outL[i] = outR[i] = 9.0f;
    }
    float* in[] = {inL, inR};
    float* out[] = {outL, outR};
    effect.processReplacing(in, out, n);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(outL[i], 0.0f) << "nothing written by the effect reads as silence";
        EXPECT_EQ(inL[i], static_cast<float>(i)) << "the host's input is untouched";
    }
    ASSERT_EQ(effect.lastInputs.size(), 2u);
    EXPECT_NE(effect.lastInputs[0], inL) << "the effect sees the template's scratch, not the host's buffer";
    EXPECT_NE(effect.lastOutputs[0], outL);

    for (int i = 0; i < n; ++i)
        outL[i] = outR[i] = 9.0f;
    effect.process(in, out, n);
    EXPECT_EQ(outL[3], 9.0f) << "accumulating with a silent effect leaves the output as it was";
    effect.writeOutput = true;
    effect.outputValue = 0.5f;
    effect.process(in, out, n);
    EXPECT_EQ(outR[7], 9.5f) << "accumulating adds";
    effect.processReplacing(in, out, n);
    EXPECT_EQ(outR[7], 0.5f) << "replacing copies";
}

// The scratch is sized when the host announces its block size or resumes, never while processing: a
// longer block runs in pieces of the scratch, with each piece's frames in their place.
TEST(TVstTemplate, ScratchFollowsTheAnnouncedBlockSizeAndLongerBlocksRunInPieces) {
    TestEffect effect;
    effect.passInput = true;
    effect.outputValue = 0.5f;
    effect.blockSizes.reserve(4096);
    const int longest = 65536;
    std::vector<float> inL(longest), inR(longest), outL(longest), outR(longest);
    for (int i = 0; i < longest; ++i) {
        inL[i] = static_cast<float>(i);
        inR[i] = static_cast<float>(-i);
    }
    float* in[] = {inL.data(), inR.data()};
    float* out[] = {outL.data(), outR.data()};
    auto piecesOf = [&](VstInt32 frames, bool accumulate = false) {
        effect.blockSizes.clear();
        if (accumulate)
            effect.process(in, out, frames);
        else
            effect.processReplacing(in, out, frames);
        return effect.blockSizes;
    };

    EXPECT_EQ(effect.ScratchFrames(), 2048) << "construction allocates 2048 frames";
    EXPECT_EQ(piecesOf(0), (std::vector<VstInt32>{0})) << "an empty block still runs ProcessAudio once";
    EXPECT_EQ(piecesOf(-3), (std::vector<VstInt32>{0}));
    EXPECT_EQ(piecesOf(2048), (std::vector<VstInt32>{2048}));
    EXPECT_EQ(piecesOf(5000), (std::vector<VstInt32>{2048, 2048, 904}));
    bool inPlace = true;
    for (int i = 0; i < 5000; ++i)
        inPlace = inPlace && outL[i] == inL[i] + 0.5f && outR[i] == inR[i] + 0.5f;
    EXPECT_TRUE(inPlace) << "every piece lands at its own frames";
    std::fill(outL.begin(), outL.end(), 1.0f);
    EXPECT_EQ(piecesOf(4097, true), (std::vector<VstInt32>{2048, 2048, 1}));
    EXPECT_EQ(outL[4096], 4096.0f + 0.5f + 1.0f) << "accumulating adds piece by piece";
    EXPECT_EQ(outL[4097], 1.0f) << "nothing beyond the block";

    effect.dispatcher(effSetBlockSize, 0, 4096, nullptr, 0.0f);
    EXPECT_EQ(effect.getBlockSize(), 4096);
    EXPECT_EQ(effect.ScratchFrames(), 4096);
    EXPECT_EQ(piecesOf(5000), (std::vector<VstInt32>{4096, 904}));
    effect.dispatcher(effSetBlockSize, 0, 64, nullptr, 0.0f);
    EXPECT_EQ(effect.ScratchFrames(), 2048) << "never below the construction length";
    effect.dispatcher(effSetBlockSize, 0, 1 << 30, nullptr, 0.0f);
    EXPECT_EQ(effect.ScratchFrames(), host::TVstTemplate::kMaxScratchFrames) << "bounded";
    effect.dispatcher(effSetBlockSizeAndSampleRate, 0, 3000, nullptr, 48000.0f);
    effect.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(effect.ScratchFrames(), 3000) << "a block size given with the sample rate counts at resume";

    // Processing never allocates, whatever the block size.
    const int before = AllocationCount();
    for (VstInt32 frames : {1, 2, 3, 511, 2999, 3000, 3001, 8192, 10000, longest}) {
        effect.processReplacing(in, out, frames);
        effect.process(in, out, frames);
        effect.blockSizes.clear();
    }
    EXPECT_EQ(AllocationCount(), before) << "processing allocates nothing";
    EXPECT_EQ(piecesOf(longest).size(), 22u) << "65536 frames in 3000-frame pieces";
    EXPECT_EQ(outR[longest - 1], -(longest - 1) + 0.5f);
}

TEST(TVstTemplate, PendingEventsGoToTheHostAfterTheBlock) {
    TestEffect effect;
    float buffer[4] = {};
    float* channels[] = {buffer, buffer};
    Log() = {};
    effect.processReplacing(channels, channels, 4);
    EXPECT_EQ(Log().count(audioMasterProcessEvents), 0) << "nothing queued, nothing sent";
    effect.QueueEvents(3);
    effect.processReplacing(channels, channels, 4);
    ASSERT_EQ(Log().count(audioMasterProcessEvents), 1);
    // The list really holds numEvents pointers after the header.
    const auto* events = static_cast<const VstEvents*>(Log().calls.back().ptr);
    EXPECT_EQ(events->numEvents, 3);
    VstEvent* const* slots = events->events;
    EXPECT_EQ(slots[0]->type, kVstMidiType);
    EXPECT_EQ(slots[2]->byteSize, 24);
    effect.processReplacing(channels, channels, 4);
    EXPECT_EQ(Log().count(audioMasterProcessEvents), 1) << "the count is reset after sending";
}

TEST(TVstTemplate, IncomingEventsReachOnlyMidiHandling) {
    TestEffect effect;
    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    VstEvent sysex{};
    sysex.type = kVstSysExType;
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[4];
    } list{4, 0, {reinterpret_cast<VstEvent*>(&midi), &sysex, nullptr, reinterpret_cast<VstEvent*>(&midi)}};
    EXPECT_EQ(effect.dispatcher(effProcessEvents, 0, 0, &list, 0.0f), 1);
    EXPECT_EQ(effect.midiEvents, 2);
    EXPECT_EQ(effect.dispatcher(effProcessEvents, 0, 0, nullptr, 0.0f), 1);
}

TEST(TVstTemplate, CapabilitiesAndPins) {
    TestEffect effect;
    char yes[] = "receiveVstTimeInfo", no[] = "sendVstTimeInfo", unknown[] = "ReceiveVstEvents", empty[] = "";
    EXPECT_EQ(effect.canDo(yes), 1);
    EXPECT_EQ(effect.canDo(no), 0);
    EXPECT_EQ(effect.canDo(unknown), -1);
    EXPECT_EQ(effect.canDo(empty), -1);
    VstPinProperties pin{};
    EXPECT_TRUE(effect.getOutputProperties(1, &pin));
    EXPECT_STREQ(pin.label, "Output #2");
    EXPECT_EQ(pin.flags, 3);
    EXPECT_FALSE(effect.getInputProperties(2, &pin));
    EXPECT_FALSE(effect.getInputProperties(-1, &pin)) << "negative pin indexes are unknown pins";
    effect.resume();
}

TEST(TVstTemplate, ResumeAsksForEvents) {
    TestEffect effect;
    Log() = {};
    effect.dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(Log().count(audioMasterWantMidi), 0);
    effect.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    ASSERT_EQ(Log().count(audioMasterWantMidi), 1);
    EXPECT_EQ(Log().calls.back().value, 1);
}
