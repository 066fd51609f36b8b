#pragma once

// Shared by the host-level tests: the test framework (GoogleTest, or its small stand-in in the
// Windows test program), the plug-in binary under test and a host for it.

#ifdef VORELAN_MINITEST
#include "tests/host/minitest/MiniTest.h"
#else
#include <gtest/gtest.h>
#endif

#include "tests/host/lib/Host.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"

#include <memory>
#include <string>

namespace hosttest {

// The plug-in binary, loaded once per test program; null with a printed reason when it cannot be.
const testhost::PluginLibrary* Library();
// The path the test program was given.
const std::string& PluginPath();
// The x87 control word found right after the binary was first loaded over a known value.
unsigned short ControlWordAfterLoad();
// The known value the control word had before that load.
constexpr unsigned short kControlWordBeforeLoad = 0x027F;

// A started plug-in with its own host, or null (the test then fails with the reason).
struct Started {
    std::unique_ptr<testhost::Host> host;
    std::unique_ptr<testhost::PluginInstance> plugin;
};
Started Start();

unsigned short ReadX87ControlWord() noexcept;
void WriteX87ControlWord(unsigned short value) noexcept;

} // namespace hosttest
