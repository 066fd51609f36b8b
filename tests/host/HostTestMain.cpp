// Runs the host-level tests against the plug-in binary named by the first argument (or by the
// VORELAN_PLUGIN environment variable, or the binary built with the tests).

#include "tests/host/HostTestSupport.h"

#include <cstdio>
#include <cstdlib>

namespace hosttest {

namespace {

std::string pluginPath;
std::unique_ptr<testhost::PluginLibrary> library;
bool loadTried = false;
unsigned short controlWordAfterLoad = 0;

} // namespace

unsigned short ReadX87ControlWord() noexcept {
    unsigned short value = 0;
    __asm__ volatile("fnstcw %0" : "=m"(value));
    return value;
}

void WriteX87ControlWord(unsigned short value) noexcept {
    __asm__ volatile("fldcw %0" : : "m"(value));
}

const std::string& PluginPath() {
    return pluginPath;
}
unsigned short ControlWordAfterLoad() {
    return controlWordAfterLoad;
}

const testhost::PluginLibrary* Library() {
    if (!loadTried) {
        loadTried = true;
        const unsigned short saved = ReadX87ControlWord();
        WriteX87ControlWord(kControlWordBeforeLoad);
        std::string error;
        library = testhost::PluginLibrary::Load(pluginPath, error);
        controlWordAfterLoad = ReadX87ControlWord();
        WriteX87ControlWord(saved);
        if (!library)
            std::fprintf(stderr, "%s\n", error.c_str());
    }
    return library.get();
}

Started Start() {
    Started started;
    started.host = std::make_unique<testhost::Host>();
    if (const testhost::PluginLibrary* lib = Library())
        started.plugin = testhost::PluginInstance::Create(*lib, *started.host);
    return started;
}

} // namespace hosttest

int main(int argc, char** argv) {
#ifdef VORELAN_MINITEST
    if (argc > 1)
        hosttest::pluginPath = argv[1];
#else
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        hosttest::pluginPath = argv[1];
#endif
    if (hosttest::pluginPath.empty()) {
        const char* fromEnvironment = std::getenv("VORELAN_PLUGIN");
#ifdef VORELAN_PLUGIN_PATH
        hosttest::pluginPath = fromEnvironment ? fromEnvironment : VORELAN_PLUGIN_PATH;
#else
        hosttest::pluginPath = fromEnvironment ? fromEnvironment : "";
#endif
    }
    // Load before any test, so the load-time floating-point setting is observed on a fresh load.
    hosttest::Library();
#ifdef VORELAN_MINITEST
    return minitest::RunAllTests();
#else
    return RUN_ALL_TESTS();
#endif
}
