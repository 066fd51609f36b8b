#pragma once

#include "skin/TComponent.h"

#include <string>

namespace skin {

// A form's kit settings. Forms name the image compressor their stored pictures were written with;
// the kit keeps the name for stored forms, while this program's pictures are embedded uncompressed.
class TDIBSettings : public TComponent {
public:
    using TComponent::TComponent;
    std::string ImageCompressor;
};

} // namespace skin
