// The dispatcher's answers, opcode by opcode, as a host sees them.

#include "tests/host/HostTestSupport.h"

#include <climits>
#include <cstring>
#include <string>

using namespace vst2;

namespace {

// Opcodes that create or close windows or the object itself; tested on their own.
bool needsOwnTest(VstInt32 opcode) {
    return opcode == effClose || opcode == effEditOpen || opcode == effEditClose ||
           opcode == effEditGetRect || opcode == effEditIdle;
}

} // namespace

TEST(Dispatcher, IdentityTexts) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    const auto name = p.GetText(effGetEffectName);
    EXPECT_EQ(name.result, 1);
    EXPECT_EQ(name.text, "VorelanEn2");
    EXPECT_LE(name.writtenBytes, 32u) << "effect name stays within 32 bytes";
    const auto product = p.GetText(effGetProductString);
    EXPECT_EQ(product.result, 1);
    EXPECT_EQ(product.text, name.text) << "the product string is the effect name";
    const auto vendor = p.GetText(effGetVendorString);
    EXPECT_EQ(vendor.result, 1);
    EXPECT_EQ(vendor.text, "Qarno Audio");
    EXPECT_EQ(p.Dispatch(effGetVendorVersion), 2003);
    EXPECT_EQ(p.Dispatch(effGetVstVersion), 2300);
    EXPECT_EQ(p.Dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(p.Dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(p.Dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(p.GetText(effGetErrorText).result, 0);
}

TEST(Dispatcher, PinProperties) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    const struct {
        VstInt32 opcode;
        const char* prefix;
    } kinds[] = {{effGetInputProperties, "Input #"}, {effGetOutputProperties, "Output #"}};
    for (const auto& kind : kinds) {
        for (VstInt32 index = -2; index < 4; ++index) {
            VstPinProperties pin;
            std::memset(&pin, 0x5A, sizeof pin);
            const VstIntPtr answer = p.Dispatch(kind.opcode, index, 0, &pin);
            if (index == 0 || index == 1) {
                EXPECT_EQ(answer, 1) << kind.prefix << index + 1;
                EXPECT_EQ(std::string(pin.label), std::string(kind.prefix) + std::to_string(index + 1));
                EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
                EXPECT_EQ(pin.arrangementType, 0x5A5A5A5A) << "other fields stay as the host gave them";
                EXPECT_EQ(pin.shortLabel[0], 0x5A);
            } else {
                EXPECT_EQ(answer, 0) << kind.prefix << " index " << index;
                EXPECT_EQ(pin.flags, 0x5A5A5A5A) << "an unknown pin is left untouched";
            }
        }
    }
}

TEST(Dispatcher, CapabilityStrings) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    const char* yes[] = {"sendVstEvents", "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"};
    const char* no[] = {"sendVstMidiEvent",
                        "sendVstTimeInfo",
                        "offline",
                        "plugAsChannelInsert",
                        "plugAsSend",
                        "mixDryWet",
                        "noRealTime",
                        "multipass",
                        "metapass",
                        "1in1out",
                        "1in2out",
                        "2in1out",
                        "2in2out",
                        "2in4out",
                        "4in2out",
                        "4in4out",
                        "4in8out",
                        "8in4out",
                        "8in8out",
                        "midiProgramNames",
                        "conformsToWindowRules",
                        "bypass"};
    const char* unknown[] = {"ReceiveVstEvents", "", "receiveVstEvents ", "sizeWindow",
                             "hasCockosExtensions"};
    for (const char* s : yes)
        EXPECT_EQ(p.CanDo(s), 1) << s;
    for (const char* s : no)
        EXPECT_EQ(p.CanDo(s), 0) << s;
    for (const char* s : unknown)
        EXPECT_EQ(p.CanDo(s), -1) << "'" << s << "'";
    EXPECT_EQ(p.Dispatch(effCanDo, 0, 0, nullptr), -1) << "no text";
}

TEST(Dispatcher, EveryOpcodeAnswersAsDocumented) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
#ifdef VORELAN_EXPECT_EDITOR
    const VstIntPtr keyAnswer = -1;
#else
    const VstIntPtr keyAnswer = p.Effect()->flags & effFlagsHasEditor ? -1 : 0;
#endif
    // Expected answers with value 0 and a zeroed scratch buffer as ptr; -999 marks "checked elsewhere".
    const VstIntPtr unset = -999;
    VstIntPtr expected[78];
    for (auto& e : expected)
        e = 0;
    expected[effGetProgram] = 0;
    expected[effIdentify] = 0x4E764566;
    expected[effProcessEvents] = 1;
    expected[effCanBeAutomated] = 1;
    expected[effGetNumProgramCategories] = 1;
    expected[effGetProgramNameIndexed] = 1;
    expected[effConnectInput] = 1;
    expected[effConnectOutput] = 1;
    expected[effGetInputProperties] = 1;
    expected[effGetOutputProperties] = 1;
    expected[effSetBlockSizeAndSampleRate] = 1;
    expected[effGetEffectName] = 1;
    expected[effGetVendorString] = 1;
    expected[effGetProductString] = 1;
    expected[effGetVendorVersion] = 2003;
    expected[effCanDo] = -1; // the empty text
    expected[effKeysRequired] = 1;
    expected[effGetVstVersion] = 2300;
    expected[effEditKeyDown] = keyAnswer;
    expected[effEditKeyUp] = keyAnswer;
    expected[effGetCurrentMidiProgram] = -1;
    expected[effSetProgram] = unset;
    for (VstInt32 opcode = 0; opcode <= 77; ++opcode) {
        if (needsOwnTest(opcode) || expected[opcode] == unset)
            continue;
        alignas(16) char scratch[1024] = {};
        EXPECT_EQ(p.Dispatch(opcode, 0, 0, scratch, 0.0f), expected[opcode]) << "opcode " << opcode;
    }
    for (VstInt32 opcode = 78; opcode < 300; ++opcode) {
        alignas(16) char scratch[1024] = {};
        EXPECT_EQ(p.Dispatch(opcode, 1, 1, scratch, 1.0f), 0) << "opcode " << opcode;
    }
    EXPECT_EQ(p.Dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(p.Dispatch(effGetVu), 0);
}

TEST(Dispatcher, NullPointersAndHostilIndexesAreHarmless) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    const VstInt32 indexes[] = {INT_MIN, -1, 181, 182, INT_MAX};
    for (VstInt32 opcode = 0; opcode <= 77; ++opcode) {
        if (needsOwnTest(opcode))
            continue;
        for (VstInt32 index : indexes)
            p.Dispatch(opcode, index, index, nullptr, 1.0e30f);
    }
    EXPECT_EQ(p.Dispatch(effGetEffectName, 0, 0, nullptr), 0) << "no buffer: nothing written, answer 0";
    EXPECT_EQ(p.GetParameter(0), p.GetParameter(0)) << "still alive";
}

TEST(Dispatcher, ChunksAndSpeakerArrangementsTouchNothing) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    void* chunk = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(p.Dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, reinterpret_cast<void*>(0x1234)) << "effGetChunk leaves the pointer at ptr";
    EXPECT_EQ(p.Dispatch(effSetChunk, 0, 4, &chunk), 0);

    VstSpeakerArrangement input, output;
    std::memset(&input, 0x5A, sizeof input);
    std::memset(&output, 0x5A, sizeof output);
    EXPECT_EQ(p.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(p.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&output);
    bool untouched = true;
    for (std::size_t i = 0; i < sizeof output; ++i)
        untouched =
            untouched && bytes[i] == 0x5A && reinterpret_cast<const unsigned char*>(&input)[i] == 0x5A;
    EXPECT_TRUE(untouched) << "speaker arrangements are neither read into nor written";
    EXPECT_EQ(p.Dispatch(effSetBypass, 0, 1), 0);
}

TEST(Dispatcher, ProgramsAndTheirNames) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    EXPECT_EQ(p.GetText(effGetProgramName).text, "8 Voices Chorus");
    const auto indexed = p.GetText(effGetProgramNameIndexed, 0);
    EXPECT_EQ(indexed.result, 1);
    EXPECT_EQ(indexed.text, "8 Voices Chorus");
    EXPECT_EQ(p.GetText(effGetProgramNameIndexed, 1).result, 0);
    const auto outOfRange = p.GetText(effGetProgramNameIndexed, -1);
    EXPECT_EQ(outOfRange.result, 0);
    EXPECT_EQ(outOfRange.writtenBytes, 0u) << "an unknown program leaves the buffer untouched";

    // Program changes: 1 and -1 are ignored, 0 re-applies the stored values.
    p.SetParameter(7, 0.3f);
    EXPECT_EQ(p.Dispatch(effSetProgram, 0, 1), 0);
    EXPECT_EQ(p.Dispatch(effSetProgram, 0, -1), 0);
    EXPECT_EQ(p.Dispatch(effGetProgram), 0);
    EXPECT_EQ(p.Dispatch(effSetProgram, 0, 0), 0);
    EXPECT_EQ(p.GetParameter(7), 0.3f) << "the program holds the parameter values";

    // A long name is kept to 48 characters; the host's buffer gets 23 and the NUL, the 24 bytes the
    // interface gives it.
    std::string longName(200, 'x');
    for (std::size_t i = 0; i < longName.size(); ++i)
        longName[i] = static_cast<char>('a' + i % 26);
    p.Dispatch(effSetProgramName, 0, 0, longName.data());
    for (VstInt32 opcode : {effGetProgramName, effGetProgramNameIndexed}) {
        const auto stored = p.GetText(opcode);
        EXPECT_EQ(stored.text, longName.substr(0, 23)) << "opcode " << opcode;
        EXPECT_EQ(stored.writtenBytes, 24u) << "opcode " << opcode;
    }
    char shortName[] = "Wide";
    p.Dispatch(effSetProgramName, 0, 0, shortName);
    EXPECT_EQ(p.GetText(effGetProgramName).text, "Wide");
    EXPECT_EQ(p.GetText(effGetProgramNameIndexed, 0).text, "Wide");
}

TEST(Dispatcher, MainsChangedAsksForEventsOnResumeOnly) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::Host& host = *started.host;
    host.ClearLogs();
    started.plugin->Dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(host.CountCalls(audioMasterWantMidi), 0u) << "suspend asks nothing";
    started.plugin->Dispatch(effMainsChanged, 0, 1);
    ASSERT_EQ(host.CountCalls(audioMasterWantMidi), 1u) << "resume asks for events once";
    for (const auto& call : host.Calls)
        if (call.opcode == audioMasterWantMidi) {
            EXPECT_EQ(call.value, 1);
            EXPECT_EQ(call.effect, started.plugin->Effect());
        }
    EXPECT_EQ(started.plugin->Dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 96000.0f), 1);
}

TEST(Dispatcher, EditorBeforeOpening) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    if ((p.Effect()->flags & effFlagsHasEditor) == 0) {
#ifdef VORELAN_EXPECT_EDITOR
        ADD_FAILURE() << "the effect declares no editor";
#endif
        GTEST_SKIP() << "built without an editor";
    }
    ERect* rect = nullptr;
    EXPECT_EQ(p.Dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_TRUE(rect != nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 0) << "0 x 0 until the editor has been opened";
    EXPECT_EQ(rect->right, 0);
    EXPECT_EQ(p.Dispatch(effEditIdle), 0) << "idle while closed does nothing";
    EXPECT_EQ(p.Dispatch(effEditClose), 0) << "close without open does nothing";
    EXPECT_EQ(p.Dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(p.Dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(p.Dispatch(effSetEditKnobMode, 0, 2), 0);
}
