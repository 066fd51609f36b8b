#pragma once

// The urid:map and urid:unmap a host gives its LV2 plug-ins and interfaces, shared by the validator's
// own host and the test hosts.

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace validate {

// One number per URI for the life of the map, from any thread.
class UridMap {
public:
    UridMap();
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;

    LV2_URID Map(const char* uri);          // 0 for a null URI
    const char* Unmap(LV2_URID urid) const; // null for a number never handed out

    LV2_URID_Map* MapData() noexcept { return &map_; }
    LV2_URID_Unmap* UnmapData() noexcept { return &unmap_; }
    const LV2_Feature* MapFeature() const noexcept { return &mapFeature_; }
    const LV2_Feature* UnmapFeature() const noexcept { return &unmapFeature_; }

private:
    mutable std::mutex mutex_;
    std::map<std::string, LV2_URID, std::less<>> ids_;
    std::deque<std::string> uris_; // index urid - 1; a deque keeps the texts in place
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
    LV2_Feature mapFeature_;
    LV2_Feature unmapFeature_;
};

} // namespace validate
