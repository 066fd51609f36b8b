#pragma once

#include "skin/TCustomDIBContainer.h"

namespace skin {

// A plain container: its background is its colour.
class TDIBContainer : public TCustomDIBContainer {
public:
    using TCustomDIBContainer::TCustomDIBContainer;
};

} // namespace skin
