#include "host/AEffEditor.h"
#include "tests/unit/host/TestEffect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using namespace vst2;
using hosttest::Log;
using hosttest::TestEffect;

namespace {

// The base class alone: what the record holds before any template sets it up.
class BareEffect : public host::AudioEffectX {
public:
    explicit BareEffect(audioMasterCallback callback) : AudioEffectX(callback, 3, 5) {}
    void process(float**, float**, VstInt32) override {}
};

} // namespace

TEST(AudioEffect, FreshRecord) {
    BareEffect effect(&hosttest::TestCallback);
    const AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->magic, FourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 3);
    EXPECT_EQ(e->numParams, 5);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0);
    EXPECT_EQ(e->uniqueID, 0x4E6F4566) << "NoEf";
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->object, &effect);
    std::int32_t ratio;
    std::memcpy(&ratio, &e->ioRatio, 4);
    EXPECT_EQ(ratio, 1);
    EXPECT_FLOAT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(AudioEffect, HostQueriesAndTheirFallbacks) {
    BareEffect withoutHost(nullptr);
    EXPECT_EQ(withoutHost.getMasterVersion(), 1) << "no callback: version 1";
    EXPECT_TRUE(withoutHost.isInputConnected(0));
    EXPECT_TRUE(withoutHost.isOutputConnected(0));
    EXPECT_EQ(withoutHost.getCurrentUniqueId(), 0);
    EXPECT_TRUE(withoutHost.getTimeInfo(0x600) == nullptr);
    EXPECT_FALSE(withoutHost.ioChanged());
    EXPECT_EQ(withoutHost.updateSampleRate(), 44100.0);

    BareEffect effect(&hosttest::TestCallback);
    Log() = {};
    Log().versionAnswer = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1) << "a host answering 0 counts as version 1";
    Log().versionAnswer = 2400;
    EXPECT_EQ(effect.getMasterVersion(), 2400);
    Log().defaultAnswer = 0;
    EXPECT_TRUE(effect.isInputConnected(1)) << "answer 0 means connected";
    Log().defaultAnswer = 1;
    EXPECT_FALSE(effect.isOutputConnected(1));
    ASSERT_FALSE(Log().calls.empty());
    EXPECT_EQ(Log().calls.back().opcode, audioMasterPinConnected);
    EXPECT_EQ(Log().calls.back().index, 1);
    EXPECT_EQ(Log().calls.back().value, 1) << "outputs are asked with value 1";
    Log().defaultAnswer = 48000;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.updateBlockSize(), 48000);
    Log().defaultAnswer = 0;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0) << "a 0 answer keeps the stored rate";
}

TEST(AudioEffect, SetParameterAutomatedReportsTheUnclampedValue) {
    TestEffect effect;
    effect.AttachHandlers();
    Log() = {};
    effect.setParameterAutomated(3, 1.5f);
    EXPECT_EQ(effect.getParameter(3), 1.0f) << "stored clamped";
    ASSERT_EQ(Log().count(audioMasterAutomate), 1);
    EXPECT_EQ(Log().calls[0].index, 3);
    EXPECT_EQ(Log().calls[0].opt, 1.5f) << "the host hears the value as given";
    EXPECT_EQ(Log().calls[0].effect, effect.getAeffect());
    effect.setParameterAutomated(500, 0.5f);
    EXPECT_EQ(Log().count(audioMasterAutomate), 2) << "reported even for an index that is ignored";
    EXPECT_EQ(effect.changed, (std::vector<VstInt32>{3})) << "no handler call for the ignored index";
}

TEST(AudioEffect, FlagOperations) {
    BareEffect effect(nullptr);
    effect.hasClip(true);
    effect.hasVu(true);
    effect.canMono(true);
    effect.canProcessReplacing(true);
    effect.programsAreChunks(true);
    effect.isSynth(true);
    effect.noTail(true);
    effect.wantAsyncOperation(true);
    effect.hasExternalBuffer(true);
    EXPECT_EQ(effect.getAeffect()->flags, 2 | 4 | 8 | 16 | 32 | 256 | 512 | 1024 | 2048);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategSynth);
    effect.canMono(false);
    effect.isSynth(false);
    EXPECT_EQ(effect.getAeffect()->flags, 2 | 4 | 16 | 32 | 512 | 1024 | 2048);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategUnknown);
    effect.setEditor(std::make_unique<host::AEffEditor>(&effect));
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
}

TEST(AudioEffect, CloseThroughTheRecordDestroysTheObject) {
    bool destroyed = false;
    auto* effect = new TestEffect;
    effect->destroyed = &destroyed;
    AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(destroyed);
}

TEST(AudioEffect, BaseEditorDefaults) {
    BareEffect effect(nullptr);
    host::AEffEditor editor(&effect);
    ERect* rect = reinterpret_cast<ERect*>(0x10);
    EXPECT_EQ(editor.getRect(&rect), 0);
    EXPECT_TRUE(rect == nullptr);
    EXPECT_EQ(editor.open(nullptr), 0);
    VstKeyCode key{};
    EXPECT_EQ(editor.onKeyDown(key), -1);
    EXPECT_EQ(editor.onKeyUp(key), -1);
    EXPECT_EQ(editor.setKnobMode(1), 0);
    EXPECT_FALSE(editor.onWheel(1.0f));
}

TEST(AudioEffect, SpeakerArrangementHelpers) {
    BareEffect effect(nullptr);
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 3));
    EXPECT_EQ(arrangement->numChannels, 3);
    EXPECT_EQ(arrangement->type, 0);
    arrangement->type = 5;
    std::strcpy(arrangement->speakers[2].name, "R");
    VstSpeakerArrangement* copy = nullptr;
    ASSERT_TRUE(effect.matchArrangement(&copy, arrangement));
    EXPECT_EQ(copy->type, 5);
    EXPECT_STREQ(copy->speakers[2].name, "R");
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_TRUE(arrangement == nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&copy));
    EXPECT_FALSE(effect.allocateArrangement(&arrangement, -1));
}

namespace {

// An effect with a settable meter and an editor that keeps the last key it was given.
class MeterEffect : public BareEffect {
public:
    MeterEffect() : BareEffect(nullptr) {}
    float getVu() override { return vu; }
    void setProgram(VstInt32 program) override {
        programs.push_back(program);
        BareEffect::setProgram(program);
    }
    float vu = 0.0f;
    std::vector<VstInt32> programs;
};

class KeyEditor : public host::AEffEditor {
public:
    using AEffEditor::AEffEditor;
    VstInt32 onKeyDown(VstKeyCode& key) override {
        last = key;
        return 1;
    }
    VstKeyCode last{};
};

} // namespace

TEST(AudioEffect, DispatcherRoundsHalvesToEvenAndNeverCutsAProgramNumber) {
    MeterEffect effect;
    const struct {
        float vu;
        VstIntPtr answer;
    } meters[] = {{0.0f, 0}, {0.5f, 16384}, {1.5f, 49150}, {-1.5f, -49150}, {1.0f, 32767}};
    for (const auto& m : meters) {
        effect.vu = m.vu;
        EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), m.answer) << "vu " << m.vu;
    }

    auto editor = std::make_unique<KeyEditor>(&effect);
    KeyEditor& keys = *editor;
    effect.setEditor(std::move(editor));
    const struct {
        float opt;
        unsigned char modifier;
    } modifiers[] = {{2.5f, 2}, {3.5f, 4}, {2.4f, 2}, {2.6f, 3}, {257.0f, 1}, {-1.0f, 0xFF}};
    for (const auto& m : modifiers) {
        EXPECT_EQ(effect.dispatcher(effEditKeyDown, 'q', 0x1234, nullptr, m.opt), 1);
        EXPECT_EQ(keys.last.character, 'q');
        EXPECT_EQ(keys.last.virt, 0x34) << "the low byte of value";
        EXPECT_EQ(keys.last.modifier, m.modifier) << "opt " << m.opt;
    }

    effect.dispatcher(effSetProgram, 0, 2, nullptr, 0.0f);
    effect.dispatcher(effSetProgram, 0, 3, nullptr, 0.0f);
    if constexpr (sizeof(VstIntPtr) == 8) {
        // A 64-bit host's value whose low 32 bits read as 0 is still a negative number, not program 0.
        effect.dispatcher(effSetProgram, 0, static_cast<VstIntPtr>(-(std::int64_t{1} << 32)), nullptr, 0.0f);
        ASSERT_EQ(effect.programs.size(), 2u);
        EXPECT_LT(effect.programs[1], 0);
    }
    EXPECT_EQ(effect.programs.front(), 2);
}
