#pragma once
// The data of the host feature named `uri` in a null-terminated feature list; null when the
// host does not offer it (or gives no list at all).
#include <lv2/core/lv2.h>

#include <cstring>

namespace orv::lv2 {

inline const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

}  // namespace orv::lv2
