#pragma once

#include "tools/validate/Lv2UridMap.h"

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <memory>
#include <string>
#include <vector>

namespace lv2host {

using UridMap = validate::UridMap;

// A lilv node owned by the caller.
struct NodeDeleter {
    void operator()(LilvNode* node) const { lilv_node_free(node); }
};
using Node = std::unique_ptr<LilvNode, NodeDeleter>;

// The LV2 bundles of one search path (folders separated by ":", like LV2_PATH) and nothing else, so a
// test sees the bundles it built and not what happens to be installed.
class Lv2World {
public:
    explicit Lv2World(const std::string& searchPath);
    ~Lv2World();
    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;

    LilvWorld* World() const { return world_; }
    UridMap& Urids() { return urids_; }
    Node NewUri(const std::string& uri) const;

    // The plug-in with this URI, or null.
    const LilvPlugin* Plugin(const std::string& uri) const;
    std::vector<std::string> PluginUris() const;

    struct Preset {
        std::string uri;
        std::string label;
    };
    // The plug-in's presets, their data loaded, sorted by URI.
    std::vector<Preset> Presets(const LilvPlugin* plugin) const;

    // The object of (subject, predicate) as text, empty when there is none.
    std::string Get(const LilvNode* subject, const std::string& predicate) const;

private:
    LilvWorld* world_;
    UridMap urids_;
};

// The text of a node and of a node a lilv call handed over, which this frees.
std::string NodeText(const LilvNode* node);
std::string TakeNodeText(LilvNode* node);

} // namespace lv2host
