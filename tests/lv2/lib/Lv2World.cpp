#include "tests/lv2/lib/Lv2World.h"

#include <lv2/presets/presets.h>

#include <algorithm>
#include <stdexcept>

namespace lv2host {

std::string NodeText(const LilvNode* node) {
    if (!node)
        return {};
    const char* text = lilv_node_as_string(node);
    return text ? text : "";
}

std::string TakeNodeText(LilvNode* node) {
    const Node owned(node);
    return NodeText(owned.get());
}

Lv2World::Lv2World(const std::string& searchPath) : world_(lilv_world_new()) {
    if (!world_)
        throw std::runtime_error("lilv cannot make a world");
    const Node path(lilv_new_string(world_, searchPath.c_str()));
    lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path.get());
    lilv_world_load_all(world_);
}

Lv2World::~Lv2World() {
    lilv_world_free(world_);
}

Node Lv2World::NewUri(const std::string& uri) const {
    return Node(lilv_new_uri(world_, uri.c_str()));
}

const LilvPlugin* Lv2World::Plugin(const std::string& uri) const {
    const Node node = NewUri(uri);
    return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node.get());
}

std::vector<std::string> Lv2World::PluginUris() const {
    std::vector<std::string> uris;
    const LilvPlugins* plugins = lilv_world_get_all_plugins(world_);
    LILV_FOREACH(plugins, it, plugins)
    uris.push_back(NodeText(lilv_plugin_get_uri(lilv_plugins_get(plugins, it))));
    return uris;
}

std::vector<Lv2World::Preset> Lv2World::Presets(const LilvPlugin* plugin) const {
    std::vector<Preset> presets;
    const Node presetClass = NewUri(LV2_PRESETS__Preset);
    LilvNodes* related = lilv_plugin_get_related(plugin, presetClass.get());
    LILV_FOREACH(nodes, it, related) {
        const LilvNode* preset = lilv_nodes_get(related, it);
        lilv_world_load_resource(world_, preset);
        presets.push_back({NodeText(preset), Get(preset, LILV_NS_RDFS "label")});
    }
    lilv_nodes_free(related);
    std::sort(presets.begin(), presets.end(), [](const Preset& a, const Preset& b) { return a.uri < b.uri; });
    return presets;
}

std::string Lv2World::Get(const LilvNode* subject, const std::string& predicate) const {
    const Node property = NewUri(predicate);
    return TakeNodeText(lilv_world_get(world_, subject, property.get(), nullptr));
}

} // namespace lv2host
