// The lilv test host, proven on the test probe (tests/lv2/probe): it scales the audio by "gain", echoes
// its control sequence on notify and reports what it was given in an Info object.
#include "tests/lv2/lib/Lv2Instance.h"

#include <gtest/gtest.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/time/time.h>

#include <string>

namespace {

constexpr char kProbe[] = "urn:qarnoaudio:lv2-test-probe";
constexpr char kInfo[] = "urn:qarnoaudio:lv2-test-probe#Info";

class Lv2Probe : public ::testing::Test {
protected:
    lv2host::Lv2World world{VORELAN_LV2_PROBE_DIR};

    // The value under key of an object event of type otype, or null.
    const LV2_Atom* Field(const lv2host::AtomEvent& event, const char* otype, const char* key) {
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(event.Atom());
        if (object->atom.type != world.Urids().Map(LV2_ATOM__Object) ||
            object->body.otype != world.Urids().Map(otype))
            return nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, world.Urids().Map(key), &value, 0);
        return value;
    }
    template <typename T> T Body(const LV2_Atom* atom) {
        return atom ? *reinterpret_cast<const T*>(atom + 1) : T{};
    }
    // The events of one object type.
    std::vector<lv2host::AtomEvent> Only(const std::vector<lv2host::AtomEvent>& events, const char* otype) {
        std::vector<lv2host::AtomEvent> kept;
        for (const auto& event : events)
            if (reinterpret_cast<const LV2_Atom_Object*>(event.Atom())->body.otype ==
                world.Urids().Map(otype))
                kept.push_back(event);
        return kept;
    }
};

TEST_F(Lv2Probe, RendersAnyPartitionInPlaceOrNotWithTimeAtItsFrame) {
    lv2host::Lv2Instance probe(world, kProbe, 48000, {512, 256});
    EXPECT_EQ(probe.Control("gain"), 0.5f) << "a control starts at its default";
    probe.SetControl("gain", 0.25f);
    lv2host::Stereo input;
    for (int i = 0; i < 2000; ++i) {
        input.left.push_back(0.001f * i);
        input.right.push_back(-0.002f * i);
    }
    const std::vector<std::vector<std::uint32_t>> partitions{{1, 37, 512}, {2000}, {0, 300}};
    for (const bool inPlace : {false, true})
        for (const auto& blocks : partitions) {
            SCOPED_TRACE(testing::Message()
                         << (inPlace ? "in place, " : "apart, ") << "first block " << blocks[0]);
            const std::int64_t start = probe.FramesRun();
            probe.SendTime(start + 777, {0.0f, 90.5f, 12, 2.25f, 88200});
            probe.SendTime(start, {1.0f, 120.0f, 3, 1.5f, 4096});
            const lv2host::Stereo output = probe.Render(input, blocks, inPlace);
            for (int i = 0; i < 2000; ++i) {
                ASSERT_EQ(output.left[i], input.left[i] * 0.25f) << "frame " << i;
                ASSERT_EQ(output.right[i], input.right[i] * 0.25f) << "frame " << i;
            }
            const auto times = Only(probe.TakeNotifications(), LV2_TIME__Position);
            ASSERT_EQ(times.size(), 2u);
            EXPECT_EQ(times[0].frame, start);
            EXPECT_EQ(Body<float>(Field(times[0], LV2_TIME__Position, LV2_TIME__speed)), 1.0f);
            EXPECT_EQ(Body<float>(Field(times[0], LV2_TIME__Position, LV2_TIME__beatsPerMinute)), 120.0f);
            EXPECT_EQ(Body<std::int64_t>(Field(times[0], LV2_TIME__Position, LV2_TIME__bar)), 3);
            EXPECT_EQ(times[1].frame, start + 777);
            EXPECT_EQ(Body<float>(Field(times[1], LV2_TIME__Position, LV2_TIME__speed)), 0.0f);
            EXPECT_EQ(Body<float>(Field(times[1], LV2_TIME__Position, LV2_TIME__barBeat)), 2.25f);
            EXPECT_EQ(Body<std::int64_t>(Field(times[1], LV2_TIME__Position, LV2_TIME__frame)), 88200);
        }
    EXPECT_EQ(probe.FramesRun(), 6 * 2000);
}

TEST_F(Lv2Probe, GivesTheSampleRateBlockLengthsAndMapOrLeavesThemOut) {
    {
        lv2host::Lv2Instance probe(world, kProbe, 96000, {1024, 128});
        lv2host::Stereo silence{std::vector<float>(64), std::vector<float>(64)};
        probe.Render(silence, {64}, false);
        const auto info = Only(probe.TakeNotifications(), kInfo);
        ASSERT_EQ(info.size(), 1u) << "reported once, at the first run";
        EXPECT_EQ(Body<double>(Field(info[0], kInfo, "urn:qarnoaudio:lv2-test-probe#sampleRate")), 96000.0);
        EXPECT_EQ(Body<std::int32_t>(Field(info[0], kInfo, LV2_BUF_SIZE__maxBlockLength)), 1024);
        EXPECT_EQ(Body<std::int32_t>(Field(info[0], kInfo, LV2_BUF_SIZE__nominalBlockLength)), 128);
        probe.Deactivate();
        probe.Activate();
        probe.Render(silence, {64}, true);
        EXPECT_EQ(Only(probe.TakeNotifications(), kInfo).size(), 1u) << "reported again after activation";
    }
    {
        lv2host::Lv2Instance probe(world, kProbe, 44100, {0, 0});
        probe.Render({std::vector<float>(8), std::vector<float>(8)}, {8}, false);
        const auto info = Only(probe.TakeNotifications(), kInfo);
        ASSERT_EQ(info.size(), 1u);
        EXPECT_EQ(Body<std::int32_t>(Field(info[0], kInfo, LV2_BUF_SIZE__maxBlockLength)), -1);
    }
    // Atom ports left unconnected, as simple hosts leave them: the audio still runs, nothing is told.
    lv2host::InstanceOptions bare;
    bare.connectAtomPorts = false;
    lv2host::Lv2Instance probe(world, kProbe, 44100, bare);
    probe.SendTime(0, {});
    const lv2host::Stereo output = probe.Render({{1.0f, 2.0f}, {4.0f, 8.0f}}, {2}, false);
    EXPECT_EQ(output.left, (std::vector<float>{0.5f, 1.0f}));
    EXPECT_TRUE(probe.TakeNotifications().empty());
}

TEST_F(Lv2Probe, SavesAndRestoresStateAndAppliesPresetsAsHostsDo) {
    const auto presets = world.Presets(world.Plugin(kProbe));
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0].label, "Quiet");
    const auto nameAfterRun = [&](lv2host::Lv2Instance& probe) {
        probe.Render({std::vector<float>(4), std::vector<float>(4)}, {4}, false);
        const auto info = Only(probe.TakeNotifications(), kInfo);
        const LV2_Atom* name =
            info.empty() ? nullptr : Field(info[0], kInfo, "urn:qarnoaudio:lv2-test-probe#name");
        return name ? std::string(reinterpret_cast<const char*>(name + 1)) : std::string("(no report)");
    };

    lv2host::Lv2Instance probe(world, kProbe, 48000);
    EXPECT_EQ(nameAfterRun(probe), "probe");
    probe.ApplyPreset(presets[0].uri);
    EXPECT_EQ(probe.Control("gain"), 0.25f);
    EXPECT_EQ(nameAfterRun(probe), "from the preset");

    probe.SetControl("gain", 0.9f);
    const std::string session = probe.SaveState();
    EXPECT_NE(session.find("from the preset"), std::string::npos) << session;
    lv2host::Lv2Instance reloaded(world, kProbe, 48000);
    reloaded.RestoreState(session);
    EXPECT_EQ(reloaded.Control("gain"), 0.9f);
    EXPECT_EQ(nameAfterRun(reloaded), "from the preset");

    EXPECT_THROW(probe.RestoreState("not Turtle at all"), std::runtime_error);
    EXPECT_THROW(probe.ApplyPreset("urn:qarnoaudio:lv2-test-probe#none"), std::runtime_error);
    EXPECT_THROW(probe.SetControl("volume", 1), std::runtime_error);
    EXPECT_THROW(lv2host::Lv2Instance(world, "urn:qarnoaudio:missing", 48000), std::runtime_error);
}

} // namespace
