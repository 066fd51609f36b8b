// VorelanEn2_dsp.so as LV2 hosts drive it, through the lilv test host: the same sound as the VST 2
// binary bit for bit, lv2apply's render, the messages of the interface, the EditorState notifications,
// the program name in the state and in presets, and hosts that give no map, no options or no atom ports.
#include "engine/ParameterTable.h"
#include "lv2/Lv2Contract.h"
#include "presets/FxpFile.h"
#include "tests/host/lib/Host.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"
#include "tests/lv2/lib/Lv2Instance.h"
#include "tests/support/FrozenClock.h"

#include <gtest/gtest.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/time/time.h>
#include <sndfile.h>

#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using testsupport::clockFrozen;

namespace {

namespace fs = std::filesystem;
using lv2host::Stereo;
using lv2host::TimePosition;

// A sine and noise, the same on every call.
Stereo TestInput(int frames) {
    Stereo input{std::vector<float>(static_cast<std::size_t>(frames)),
                 std::vector<float>(static_cast<std::size_t>(frames))};
    std::uint32_t noise = 12345;
    for (int i = 0; i < frames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const float n = static_cast<float>(noise >> 8) / 16777216.0f - 0.5f;
        input.left[static_cast<std::size_t>(i)] = 0.5f * std::sin(0.03f * static_cast<float>(i)) + 0.2f * n;
        input.right[static_cast<std::size_t>(i)] = 0.4f * n;
    }
    return input;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b, std::string& where) {
    if (a.size() != b.size()) {
        where = "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size());
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i])) {
            where =
                "frame " + std::to_string(i) + ": " + std::to_string(a[i]) + " and " + std::to_string(b[i]);
            return false;
        }
    return true;
}

class Lv2Processor : public ::testing::Test {
protected:
    lv2host::Lv2World world{VORELAN_DIST_DIR};

    std::unique_ptr<lv2host::Lv2Instance> Make(double rate, const lv2host::InstanceOptions& options = {}) {
        clockFrozen = true;
        auto instance = std::make_unique<lv2host::Lv2Instance>(world, lv2::kPluginUri, rate, options);
        clockFrozen = false;
        return instance;
    }

    // The events of one message type on notify.
    std::vector<const LV2_Atom_Object*> Objects(const std::vector<lv2host::AtomEvent>& events,
                                                const char* otype) {
        std::vector<const LV2_Atom_Object*> found;
        for (const auto& event : events) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(event.Atom());
            if (object->atom.type == world.Urids().Map(LV2_ATOM__Object) &&
                object->body.otype == world.Urids().Map(otype))
                found.push_back(object);
        }
        return found;
    }
    float FloatOf(const LV2_Atom_Object* object, const char* key) {
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, world.Urids().Map(key), &value, 0);
        return value != nullptr && value->type == world.Urids().Map(LV2_ATOM__Float)
                   ? reinterpret_cast<const LV2_Atom_Float*>(value)->body
                   : NAN;
    }

    // A message from the interface: an object of otype with a program name when given.
    void SendMessage(lv2host::Lv2Instance& instance, std::int64_t frame, const char* otype,
                     const char* name = nullptr) {
        std::uint64_t buffer[64];
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, world.Urids().MapData());
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, world.Urids().Map(otype));
        if (name != nullptr) {
            lv2_atom_forge_key(&forge, world.Urids().Map(lv2::kProgramNameKey));
            lv2_atom_forge_string(&forge, name, static_cast<std::uint32_t>(std::strlen(name)));
        }
        lv2_atom_forge_pop(&forge, &object);
        instance.SendAtom(frame, reinterpret_cast<const LV2_Atom*>(buffer));
    }
};

// The host's transport in the renders below: playing at 120 beats per minute, 90 from a quarter of the
// way, stopped at the half, playing again at three quarters (the LFOs restart at each change).
struct TransportStep {
    int frame;
    float tempo;
    bool playing;
};
std::vector<TransportStep> Transport(int frames) {
    return {{0, 120.0f, true},
            {frames / 4, 90.0f, true},
            {frames / 2, 90.0f, false},
            {3 * frames / 4, 90.0f, true}};
}

// The VST 2 binary's render: its blocks end where the transport changes, as the LV2 processor splits
// its runs there.
Stereo RenderVst2(const testhost::PluginLibrary& library, double rate, const std::array<float, 181>* values,
                  const Stereo& input) {
    testhost::Host host;
    clockFrozen = true;
    auto effect = testhost::PluginInstance::Create(library, host);
    clockFrozen = false;
    if (!effect)
        return {};
    effect->Dispatch(vst2::effOpen);
    effect->Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    effect->Dispatch(vst2::effSetBlockSize, 0, 512);
    effect->Dispatch(vst2::effMainsChanged, 0, 1);
    if (values != nullptr)
        for (int i = 0; i < 181; ++i)
            effect->SetParameter(i, (*values)[static_cast<std::size_t>(i)]);
    host.SetSampleRate(rate);
    const int frames = static_cast<int>(input.left.size());
    const std::vector<TransportStep> transport = Transport(frames);
    Stereo output{std::vector<float>(input.left.size()), std::vector<float>(input.left.size())};
    for (std::size_t step = 0; step < transport.size(); ++step) {
        host.SetTempo(transport[step].tempo);
        host.SetPlaying(transport[step].playing);
        const int end = step + 1 < transport.size() ? transport[step + 1].frame : frames;
        for (int at = transport[step].frame; at < end; at += 512) {
            const int length = std::min(512, end - at);
            float* in[2] = {const_cast<float*>(input.left.data()) + at,
                            const_cast<float*>(input.right.data()) + at};
            float* out[2] = {output.left.data() + at, output.right.data() + at};
            effect->ProcessReplacing(in, out, length);
        }
    }
    return output;
}

TEST_F(Lv2Processor, SoundsAsTheVst2PluginBitForBit) {
    std::string error;
    const auto library =
        testhost::PluginLibrary::Load(std::string(VORELAN_DIST_DIR) + "/VorelanEn2.so", error);
    ASSERT_TRUE(library) << error;
    // The factory program, a tempo-locked preset, one with filters, one with feedback, one with a random LFO.
    const std::vector<std::string> programs{std::string(engine::kFactoryProgramName), "Amplitude Chase",
                                            "Filter Swirl", "Jet Flanger", "Tape Warble"};
    for (const double rate : {44100.0, 96000.0}) {
        const int frames = static_cast<int>(rate * 0.6);
        const Stereo input = TestInput(frames);
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const std::string& name = programs[p];
            SCOPED_TRACE(name + " at " + std::to_string(static_cast<int>(rate)) + " Hz");
            std::array<float, 181> values{};
            const bool factory = p == 0;
            if (!factory) {
                const presets::FxpReadResult file =
                    presets::ReadFxpFile(std::string(VORELAN_PRESET_LIBRARY_DIR) + "/" + name + ".fxp");
                ASSERT_TRUE(file.ok()) << name;
                std::copy(file.program.values.begin(), file.program.values.end(), values.begin());
            }
            const Stereo vst2 = RenderVst2(*library, rate, factory ? nullptr : &values, input);

            auto lv2 = Make(rate);
            if (!factory)
                lv2->ApplyPreset(lv2::PresetUri(name));
            for (const TransportStep& step : Transport(frames))
                lv2->SendTime(step.frame,
                              TimePosition{step.playing ? 1.0f : 0.0f, step.tempo, 0, 0, step.frame});
            // Any partition, in place for odd programs: the host's blocks do not meet the transport's steps.
            const Stereo output = lv2->Render(input, {1, 37, 512, 4096, 0, 300}, p % 2 == 1);
            std::string where;
            EXPECT_TRUE(SameBits(vst2.left, output.left, where)) << "left, " << where;
            EXPECT_TRUE(SameBits(vst2.right, output.right, where)) << "right, " << where;
        }
    }
}

// lv2apply (a simple host: no time, no messages) renders what the test host renders.
TEST_F(Lv2Processor, Lv2applyRendersAsTheTestHostDoes) {
    const fs::path folder = fs::temp_directory_path() / ("vorelan-lv2apply-" + std::to_string(::getpid()));
    fs::create_directories(folder / "lv2");
    fs::create_directory_symlink(fs::path(VORELAN_DIST_DIR) / lv2::kBundleFolder,
                                 folder / "lv2" / lv2::kBundleFolder);
    const Stereo input = TestInput(30000);
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    const std::string in = (folder / "in.wav").string(), out = (folder / "out.wav").string();
    SNDFILE* file = sf_open(in.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames;
    for (std::size_t i = 0; i < input.left.size(); ++i)
        frames.insert(frames.end(), {input.left[i], input.right[i]});
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(input.left.size()));
    sf_close(file);

    const std::string command = "LV2_PATH='" + (folder / "lv2").string() + "' lv2apply -i '" + in + "' -o '" +
                                out + "' -c Mix 1 -c Delay2 0.3 -c Feeds2 0.8 " + lv2::kPluginUri + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    SF_INFO outInfo{};
    file = sf_open(out.c_str(), SFM_READ, &outInfo);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(outInfo.channels, 2);
    std::vector<float> written(static_cast<std::size_t>(outInfo.frames) * 2);
    sf_readf_float(file, written.data(), outInfo.frames);
    sf_close(file);
    fs::remove_all(folder);

    auto lv2 = Make(48000);
    lv2->SetControl("Mix", 1);
    lv2->SetControl("Delay2", 0.3f);
    lv2->SetControl("Feeds2", 0.8f);
    const Stereo expected = lv2->Render(input, {4096}, false);
    Stereo applied;
    for (std::size_t i = 0; i + 1 < written.size(); i += 2) {
        applied.left.push_back(written[i]);
        applied.right.push_back(written[i + 1]);
    }
    std::string where;
    EXPECT_TRUE(SameBits(expected.left, applied.left, where)) << where;
    EXPECT_TRUE(SameBits(expected.right, applied.right, where)) << where;
}

// What the interface asks for arrives: a panic silences the lines, a preset load fills them with 0.0001
// and renames the program, a rename only renames it; the program name travels with the state and comes
// from presets. EditorState reports the LFOs, the rate and the host's tempo about 25 times a second.
TEST_F(Lv2Processor, TakesTheInterfacesMessagesAndTellsItTheEffectsState) {
    const int rate = 48000;
    const Stereo input = TestInput(rate / 2);
    const Stereo silence{std::vector<float>(rate / 2), std::vector<float>(rate / 2)};
    const auto peak = [](const Stereo& s, std::size_t from) {
        float m = 0;
        for (std::size_t i = from; i < s.left.size(); ++i)
            m = std::max({m, std::fabs(s.left[i]), std::fabs(s.right[i])});
        return m;
    };
    auto lv2 = Make(rate);
    lv2->SendTime(0, TimePosition{1.0f, 133.0f, 0, 0, 0});
    lv2->Render(input, {1000}, false);
    const std::vector<lv2host::AtomEvent> told = lv2->TakeNotifications();
    const auto notices = Objects(told, lv2::kEditorStateUri);
    EXPECT_NEAR(static_cast<double>(notices.size()), 12.5, 1.0) << "about 25 a second";
    float lfoSum = 0;
    for (const LV2_Atom_Object* notice : notices) {
        EXPECT_EQ(FloatOf(notice, lv2::kSampleRateKey), 48000.0f);
        EXPECT_EQ(FloatOf(notice, lv2::kTempoKey), 133.0f);
        const LV2_Atom* levels = nullptr;
        lv2_atom_object_get(notice, world.Urids().Map(lv2::kLfoLevelsKey), &levels, 0);
        ASSERT_NE(levels, nullptr);
        const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(levels);
        ASSERT_EQ(vector->body.child_type, world.Urids().Map(LV2_ATOM__Float));
        ASSERT_EQ((levels->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(float), 8u);
        for (int k = 0; k < 8; ++k) {
            const float level = reinterpret_cast<const float*>(&vector->body + 1)[k];
            EXPECT_TRUE(level >= 0.0f && level <= 1.0f) << level;
            lfoSum += level;
        }
    }
    EXPECT_GT(lfoSum, 0.0f) << "the factory program's LFOs move";

    // A stopped host's position of only frame and speed (as jalv sends) keeps the tempo.
    {
        std::uint64_t buffer[16];
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, world.Urids().MapData());
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, world.Urids().Map(LV2_TIME__Position));
        lv2_atom_forge_key(&forge, world.Urids().Map(LV2_TIME__frame));
        lv2_atom_forge_long(&forge, 0);
        lv2_atom_forge_key(&forge, world.Urids().Map(LV2_TIME__speed));
        lv2_atom_forge_float(&forge, 0.0f);
        lv2_atom_forge_pop(&forge, &object);
        lv2->SendAtom(lv2->FramesRun(), reinterpret_cast<const LV2_Atom*>(buffer));
        lv2->Render(input, {4800}, false);
        const std::vector<lv2host::AtomEvent> later = lv2->TakeNotifications();
        const auto states = Objects(later, lv2::kEditorStateUri);
        ASSERT_FALSE(states.empty());
        EXPECT_EQ(FloatOf(states.back(), lv2::kTempoKey), 133.0f);
    }

    // The echoes ring on after the input; a panic at the next block's frame 100 all but ends them.
    const float ringing = peak(lv2->Render(silence, {512}, false), 0);
    EXPECT_GT(ringing, 1e-3f);
    lv2->Render(input, {1000}, false);
    SendMessage(*lv2, lv2->FramesRun() + 100, lv2::kPanicUri);
    const Stereo panicked = lv2->Render(silence, {512}, false);
    EXPECT_GT(peak(panicked, 0), 0.0f) << "the frames before the panic still ring";
    // What is left is the feedback of the frame before it, written once more into the cleared lines.
    EXPECT_LT(peak(panicked, 100), 0.01f * ringing) << "the echoes ring on after the panic";

    // A preset load: the lines hold 0.0001 (the voices play it), and the program has the preset's name.
    SendMessage(*lv2, lv2->FramesRun(), lv2::kPresetLoadedUri, "From The Menu");
    const float filled = peak(lv2->Render(silence, {512}, false), 0);
    EXPECT_GT(filled, 0.0f);
    EXPECT_LT(filled, 2e-4f);
    EXPECT_NE(lv2->SaveState().find("From The Menu"), std::string::npos);
    SendMessage(*lv2, lv2->FramesRun(), lv2::kProgramNameUri, "Gespeichert \xC3\xA4");
    lv2->Render(silence, {64}, false);
    const std::string session = lv2->SaveState();
    EXPECT_EQ(session.find("From The Menu"), std::string::npos);
    EXPECT_NE(session.find("Gespeichert \xC3\xA4"), std::string::npos) << session;

    // Back from the session (ports and name), and a preset's name and values.
    lv2->SetControl("Mix", 0.25f);
    auto reloaded = Make(rate);
    reloaded->RestoreState(lv2->SaveState());
    EXPECT_EQ(reloaded->Control("Mix"), 0.25f);
    EXPECT_NE(reloaded->SaveState().find("Gespeichert \xC3\xA4"), std::string::npos);
    reloaded->ApplyPreset(lv2::PresetUri("Jet Flanger"));
    EXPECT_NE(reloaded->SaveState().find("\"Jet Flanger\""), std::string::npos);

    // The test host's own refusals.
    EXPECT_THROW(reloaded->RestoreState("not Turtle at all"), std::runtime_error);
    EXPECT_THROW(reloaded->ApplyPreset(lv2::PresetUri("No Such Preset")), std::runtime_error);
    EXPECT_THROW(reloaded->SetControl("volume", 1), std::runtime_error);
    EXPECT_THROW(lv2host::Lv2Instance(world, "urn:qarnoaudio:missing", 48000), std::runtime_error);
}

// Simple hosts give no urid:map, no block-length options or no atom buffers, and blocks longer than any
// announced: the sound is the same (with no time information) and nothing is told.
TEST_F(Lv2Processor, RunsForHostsThatGiveNoMapOptionsOrAtomPorts) {
    const Stereo input = TestInput(20000);
    auto full = Make(44100);
    full->SetControl("Mix", 0.8f);
    const Stereo expected = full->Render(input, {256}, false);
    lv2host::InstanceOptions noMap;
    noMap.giveMap = false;
    lv2host::InstanceOptions noOptions;
    noOptions.maxBlockLength = noOptions.nominalBlockLength = 0;
    lv2host::InstanceOptions noAtoms;
    noAtoms.connectAtomPorts = false;
    for (const auto& [name, options] : {std::pair{"no map", noMap}, std::pair{"no options", noOptions},
                                        std::pair{"no atom ports", noAtoms}}) {
        SCOPED_TRACE(name);
        auto bare = Make(44100, options);
        bare->SetControl("Mix", 0.8f);
        bare->SendTime(0, TimePosition{});
        const Stereo output = bare->Render(input, {9000, 1}, true);
        std::string where;
        EXPECT_TRUE(SameBits(expected.left, output.left, where)) << where;
        EXPECT_TRUE(SameBits(expected.right, output.right, where)) << where;
        if (options.giveMap)
            continue;
        EXPECT_TRUE(bare->TakeNotifications().empty()) << "nothing told without a map";
    }
}

} // namespace
