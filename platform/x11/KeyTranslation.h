#pragma once

#include "platform/Input.h"

namespace platform::x11 {

// The Windows virtual-key code for an X key symbol, so the controls see the same codes on every
// system; 0 for keys that have none worth passing on.
KeyCode VirtualKeyOf(unsigned long keysym);

} // namespace platform::x11
