// The generated VorelanEn2.lv2 as a host sees it through lilv, before any binary exists: the plug-in
// and its interface, 187 ports with the parameters' symbols, ranges and factory defaults, and 29
// presets that hold the same values as the preset library's .fxp files.
#include "engine/ParameterTable.h"
#include "lv2/Lv2Contract.h"
#include "presets/FxpFile.h"
#include "tests/lv2/lib/Lv2World.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/ui/ui.h>

#include <map>
#include <vector>

namespace {

using lv2host::Node;
using lv2host::NodeText;

class Lv2Bundle : public ::testing::Test {
protected:
    lv2host::Lv2World world{VORELAN_DIST_DIR};
    const LilvPlugin* plugin = world.Plugin(lv2::kPluginUri);

    bool Ask(const std::string& subject, const std::string& predicate, const std::string& object) const {
        const Node s = world.NewUri(subject), p = world.NewUri(predicate), o = world.NewUri(object);
        return lilv_world_ask(world.World(), s.get(), p.get(), o.get());
    }
    bool PortIs(const LilvPort* port, const char* what) const {
        const Node node = world.NewUri(what);
        return lilv_port_is_a(plugin, port, node.get()) || lilv_port_has_property(plugin, port, node.get());
    }
    // The labels of a port's scale points by value.
    std::map<float, std::string> ScalePoints(int parameter) const {
        std::map<float, std::string> points;
        LilvScalePoints* all = lilv_port_get_scale_points(
            plugin, lilv_plugin_get_port_by_index(plugin, lv2::ParameterPort(parameter)));
        LILV_FOREACH(scale_points, it, all) {
            const LilvScalePoint* point = lilv_scale_points_get(all, it);
            points[lilv_node_as_float(lilv_scale_point_get_value(point))] =
                NodeText(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(all);
        return points;
    }
};

TEST_F(Lv2Bundle, DescribesThePluginItsInterfaceAndEveryPort) {
    ASSERT_NE(plugin, nullptr) << "lilv finds no plug-in " << lv2::kPluginUri << " in " << VORELAN_DIST_DIR;
    EXPECT_TRUE(lilv_plugin_verify(plugin));
    EXPECT_EQ(lv2host::TakeNodeText(lilv_plugin_get_name(plugin)), "VorelanEn2");
    EXPECT_EQ(lv2host::TakeNodeText(lilv_plugin_get_author_name(plugin)), "Qarno Audio");
    EXPECT_TRUE(Ask(lv2::kPluginUri, LILV_NS_RDF "type", LV2_CORE__ChorusPlugin));
    EXPECT_TRUE(Ask(lv2::kPluginUri, LV2_OPTIONS__supportedOption,
                    "http://lv2plug.in/ns/ext/buf-size#maxBlockLength"));
    const Node state = world.NewUri(LV2_STATE__interface), hardRt = world.NewUri(LV2_CORE__hardRTCapable);
    EXPECT_TRUE(lilv_plugin_has_extension_data(plugin, state.get()));
    LilvNodes* optional = lilv_plugin_get_optional_features(plugin);
    EXPECT_TRUE(lilv_nodes_contains(optional, hardRt.get()));
    lilv_nodes_free(optional);
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u) << "a host without some feature could not load the plug-in";
    lilv_nodes_free(required);

    // Audio and atom ports, in index order.
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), lv2::kPortCount);
    const char* kinds[] = {LV2_CORE__AudioPort, LV2_CORE__AudioPort, LV2_CORE__AudioPort,
                           LV2_CORE__AudioPort, LV2_ATOM__AtomPort,  LV2_ATOM__AtomPort};
    for (std::uint32_t p = 0; p < lv2::kFirstParameterPort; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        EXPECT_EQ(NodeText(lilv_port_get_symbol(plugin, port)), lv2::kFixedPortSymbols[p]);
        EXPECT_TRUE(PortIs(port, kinds[p])) << "port " << p;
        EXPECT_TRUE(PortIs(port, p < 2 || p == lv2::kControl ? LV2_CORE__InputPort : LV2_CORE__OutputPort));
        EXPECT_TRUE(p < lv2::kControl || PortIs(port, LV2_CORE__connectionOptional))
            << "simple hosts refuse a required atom port";
    }
    const Node position = world.NewUri(LV2_TIME__Position);
    EXPECT_TRUE(lilv_port_supports_event(plugin, lilv_plugin_get_port_by_index(plugin, lv2::kControl),
                                         position.get()));

    // Parameter ports: the table's names, 0..1 and the factory program's values, bit for bit.
    std::vector<float> minimum(lv2::kPortCount), maximum(lv2::kPortCount), defaults(lv2::kPortCount);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    for (int i = 0; i < engine::kParameterCount; ++i) {
        const std::uint32_t p = lv2::ParameterPort(i);
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        const engine::ParameterInfo& info = engine::kParameters[i];
        EXPECT_EQ(NodeText(lilv_port_get_symbol(plugin, port)), info.name()) << "port " << p;
        EXPECT_TRUE(PortIs(port, LV2_CORE__ControlPort) && PortIs(port, LV2_CORE__InputPort)) << info.name();
        EXPECT_EQ(minimum[p], 0.0f) << info.name();
        EXPECT_EQ(maximum[p], 1.0f) << info.name();
        EXPECT_EQ(defaults[p], info.factory) << info.name();
        const bool isSwitch = info.name().starts_with("Pow") || info.name().starts_with("HostSync");
        EXPECT_EQ(PortIs(port, LV2_CORE__toggled), isSwitch) << info.name();
        EXPECT_FALSE(PortIs(port, LV2_CORE__integer) || PortIs(port, LV2_CORE__enumeration))
            << info.name() << ": every value 0..1 is one the VST 2 plug-in and its presets may hold";
    }
    const int delay3 = engine::VoiceParameterIndex(2, engine::VoiceKind::Delay);
    EXPECT_EQ(lv2host::TakeNodeText(lilv_port_get_name(
                  plugin, lilv_plugin_get_port_by_index(plugin, lv2::ParameterPort(delay3)))),
              "Voice 3 Delay");
    const auto filter = ScalePoints(engine::VoiceParameterIndex(0, engine::VoiceKind::FType));
    EXPECT_EQ(filter,
              (std::map<float, std::string>{
                  {0.0f, "None"}, {1.0f / 3, "Low-pass"}, {2.0f / 3, "Band-pass"}, {1.0f, "High-pass"}}));
    EXPECT_EQ(ScalePoints(engine::LfoParameterIndex(0, engine::LfoKind::Shape)).size(), 7u);
    EXPECT_EQ(ScalePoints(engine::VoiceParameterIndex(7, engine::VoiceKind::ModAmpIx)).at(3.0f / 7), "Lfo4");
    const auto sync3 = ScalePoints(engine::LfoParameterIndex(2, engine::LfoKind::SyncIx));
    EXPECT_EQ(sync3.at(2.0f / 7), "None") << "LFO 3 synchronised to itself runs free";
    EXPECT_EQ(sync3.at(0.0f), "Lfo1");

    // The interface: X11, in its own binary, notified of the processor's messages.
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_EQ(NodeText(lilv_ui_get_uri(ui)), lv2::kUiUri);
    const Node x11 = world.NewUri(LV2_UI__X11UI);
    EXPECT_TRUE(lilv_ui_is_a(ui, x11.get()));
    EXPECT_TRUE(NodeText(lilv_ui_get_binary_uri(ui)).ends_with(std::string("/") + lv2::kUiBinary));
    lilv_world_load_resource(world.World(), lilv_ui_get_uri(ui));
    EXPECT_TRUE(Ask(lv2::kUiUri, LV2_CORE__requiredFeature, LV2_UI__parent));
    EXPECT_TRUE(Ask(lv2::kUiUri, LV2_CORE__extensionData, LV2_UI__idleInterface));
    const Node notification = world.NewUri(LV2_UI__portNotification), symbol = world.NewUri(LV2_CORE__symbol);
    LilvNode* notify = lilv_world_get(world.World(), lilv_ui_get_uri(ui), notification.get(), nullptr);
    EXPECT_EQ(lv2host::TakeNodeText(lilv_world_get(world.World(), notify, symbol.get(), nullptr)), "notify");
    lilv_node_free(notify);
    lilv_uis_free(uis);
}

TEST_F(Lv2Bundle, PresetsHoldTheLibrarysValuesAndTheProgramName) {
    ASSERT_NE(plugin, nullptr);
    const std::vector<lv2host::Lv2World::Preset> presets = world.Presets(plugin);
    ASSERT_EQ(presets.size(), 29u) << "the factory program and the 28 library presets";
    std::map<std::string, std::string> labels;
    for (const auto& preset : presets)
        labels[preset.uri] = preset.label;
    EXPECT_EQ(labels[lv2::kPresetUriPrefix + std::string("8-voices-chorus")], "8 Voices Chorus");
    EXPECT_EQ(labels[lv2::kPresetUriPrefix + std::string("through-zero-flanger")], "Through-Zero Flanger");

    const Node stateKey = world.NewUri(LV2_STATE__state), nameKey = world.NewUri(lv2::kProgramNameKey);
    for (const auto& preset : presets) {
        SCOPED_TRACE(preset.label);
        EXPECT_EQ(preset.uri, lv2::PresetUri(preset.label));
        presets::ParameterValues expected{};
        if (preset.label == engine::kFactoryProgramName) {
            for (int i = 0; i < engine::kParameterCount; ++i)
                expected[i] = engine::kParameters[i].factory;
        } else {
            const presets::FxpReadResult file =
                presets::ReadFxpFile(std::string(VORELAN_PRESET_LIBRARY_DIR) + "/" + preset.label + ".fxp");
            ASSERT_TRUE(file.ok()) << "no library preset file of that name";
            expected = file.program.values;
        }

        // As a host's preset menu applies it: every port value by symbol, and the state's program name.
        const Node uri = world.NewUri(preset.uri);
        LilvState* state = lilv_state_new_from_world(world.World(), world.Urids().MapData(), uri.get());
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(std::string(lilv_state_get_label(state)), preset.label);
        struct Seen {
            lv2host::UridMap& urids;
            std::map<std::string, float> values;
            bool allFloats = true;
        } seen{world.Urids(), {}, true};
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* data, const void* value, std::uint32_t size, std::uint32_t type) {
                auto& s = *static_cast<Seen*>(data);
                s.allFloats &= type == s.urids.Map(LV2_ATOM__Float) && size == sizeof(float);
                s.values[symbol] = *static_cast<const float*>(value);
            },
            &seen);
        EXPECT_TRUE(seen.allFloats);
        ASSERT_EQ(seen.values.size(), std::size_t(engine::kParameterCount));
        for (int i = 0; i < engine::kParameterCount; ++i)
            EXPECT_EQ(seen.values[std::string(engine::kParameters[i].name())], expected[i])
                << engine::kParameters[i].name();
        EXPECT_EQ(lilv_state_get_num_properties(state), 1u);
        lilv_state_free(state);

        LilvNode* body = lilv_world_get(world.World(), uri.get(), stateKey.get(), nullptr);
        LilvNode* name = lilv_world_get(world.World(), body, nameKey.get(), nullptr);
        EXPECT_TRUE(name && lilv_node_is_string(name));
        EXPECT_EQ(NodeText(name), preset.label);
        lilv_node_free(name);
        lilv_node_free(body);
    }
}

} // namespace
