#include "tools/validate/Lv2UridMap.h"

namespace validate {

UridMap::UridMap()
    : map_{this,
           [](LV2_URID_Map_Handle self, const char* uri) { return static_cast<UridMap*>(self)->Map(uri); }},
      unmap_{this, [](LV2_URID_Unmap_Handle self,
                      LV2_URID urid) { return static_cast<const UridMap*>(self)->Unmap(urid); }},
      mapFeature_{LV2_URID__map, &map_}, unmapFeature_{LV2_URID__unmap, &unmap_} {}

LV2_URID UridMap::Map(const char* uri) {
    if (uri == nullptr)
        return 0;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = ids_.find(uri); it != ids_.end())
        return it->second;
    uris_.emplace_back(uri);
    const auto urid = static_cast<LV2_URID>(uris_.size());
    ids_.emplace(uris_.back(), urid);
    return urid;
}

const char* UridMap::Unmap(LV2_URID urid) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

} // namespace validate
