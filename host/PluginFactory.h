#pragma once

#include "vst2/Vst2.h"

namespace host {

class AudioEffect;

// Creates the effect object for one call of the entry point, or answers null. The effect layer
// defines it; the entry point owns nothing but hands the object's record to the host.
AudioEffect* CreateEffectInstance(vst2::audioMasterCallback audioMaster);

} // namespace host
