#pragma once

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lv2host {

// The URID map and unmap a host gives its plug-ins and interfaces: one number per URI for the life of
// the host, from any thread.
class UridMap {
public:
    UridMap();
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;

    LV2_URID Map(const char* uri);
    const char* Unmap(LV2_URID urid) const; // null for a number never handed out

    LV2_URID_Map* MapData() { return &map_; }
    LV2_URID_Unmap* UnmapData() { return &unmap_; }
    const LV2_Feature* MapFeature() const { return &mapFeature_; }
    const LV2_Feature* UnmapFeature() const { return &unmapFeature_; }

private:
    mutable std::mutex mutex_;
    std::map<std::string, LV2_URID, std::less<>> ids_;
    std::deque<std::string> uris_; // index urid - 1; a deque keeps the texts in place
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
    LV2_Feature mapFeature_;
    LV2_Feature unmapFeature_;
};

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
