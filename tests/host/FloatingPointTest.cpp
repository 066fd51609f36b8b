// A host that unmasks every floating-point exception, as some hosts leave the state: no call into the
// plug-in may trap, and each must hand the host's floating-point state back exactly as it was.

#include "tests/host/HostTestSupport.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>
#include <xmmintrin.h>

#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

using namespace vst2;

namespace {

struct FpState {
    unsigned mxcsr;
    std::uint16_t x87Control, x87Status;
};

FpState ReadState() {
    FpState state{_mm_getcsr(), 0, 0};
    __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(state.x87Control), "=m"(state.x87Status));
    return state;
}

void WriteState(unsigned mxcsr, std::uint16_t x87Control) {
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(x87Control));
    _mm_setcsr(mxcsr);
}

// Every exception unmasked, rounding toward zero, no flushing; x87 also at 64-bit precision.
constexpr unsigned kHostMxcsr = 0x6000;
constexpr std::uint16_t kHostX87Control = 0x0F00;

const char* currentCall = "";

#ifndef _WIN32
extern "C" void ReportTrap(int) {
    const char prefix[] = "floating-point trap in: ";
    (void)!write(2, prefix, sizeof prefix - 1);
    (void)!write(2, currentCall, std::char_traits<char>::length(currentCall));
    (void)!write(2, "\n", 1);
    _exit(1);
}
#endif

// Runs each call in the host's unmasked state and collects the calls after which the state differs.
class UnmaskedHost {
public:
    template <typename Call> void Run(const char* what, Call&& call) {
        currentCall = what;
        const FpState own = ReadState();
        WriteState(kHostMxcsr, kHostX87Control);
        call();
        const FpState after = ReadState();
        WriteState(own.mxcsr, own.x87Control);
        if (after.mxcsr != kHostMxcsr || (after.x87Control & ~0x40) != kHostX87Control ||
            (after.x87Status & 0xFF) != 0) {
            char text[160];
            std::snprintf(text, sizeof text, "%s: MXCSR %04X, x87 control %04X, status %04X", what,
                          after.mxcsr, after.x87Control, after.x87Status);
            changed.push_back(text);
        }
    }
    std::vector<std::string> changed;
};

} // namespace

TEST(FloatingPoint, HostThatUnmasksEveryExceptionGetsNoTrapAndItsStateBack) {
#ifndef _WIN32
    const auto previous = std::signal(SIGFPE, ReportTrap);
#endif
    ASSERT_TRUE(hosttest::Library() != nullptr);
    UnmaskedHost host;
    testhost::Host callbacks;
    std::unique_ptr<testhost::PluginInstance> plugin;
    host.Run("main", [&] { plugin = testhost::PluginInstance::Create(*hosttest::Library(), callbacks); });
    ASSERT_TRUE(plugin != nullptr);
    testhost::PluginInstance& p = *plugin;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();

    host.Run("start", [&] {
        p.Dispatch(effOpen);
        p.Dispatch(effSetSampleRate, 0, 0, nullptr, nan);
        p.Dispatch(effSetBlockSize, 0, 0);
        p.Dispatch(effMainsChanged, 0, 1);
    });
    // Every LFO tempo-locked at the top of its rate range, where the rate divides by zero, and
    // modulating everything; parameter values that are not numbers, infinite or denormal.
    // (The values are formed before the calls: the test's own arithmetic would trap in the host's state.)
    std::vector<std::pair<int, float>> writes;
    const float shapes[5] = {1.0f / 6, 2.0f / 6, 3.0f / 6, 4.0f / 6, 5.0f / 6};
    for (int lfo = 0; lfo < 8; ++lfo) {
        writes.push_back({133 + 6 * lfo + 0, shapes[lfo % 5]});
        writes.push_back({133 + 6 * lfo + 1, 1.0f});
        writes.push_back({133 + 6 * lfo + 2, 1.0f});
    }
    for (int voice = 0; voice < 8; ++voice)
        for (int kind : {3, 6, 10, 14})
            writes.push_back({5 + 16 * voice + kind, 1.0f});
    const float odd[] = {nan, inf, -inf, tiny, -tiny, 1e30f, nan, inf};
    for (int index = 0; index < 5; ++index)
        writes.push_back({index, odd[index]});
    writes.push_back({181, odd[6]});
    writes.push_back({-1, odd[7]});
    host.Run("setParameter", [&] {
        for (const auto& [index, value] : writes)
            p.SetParameter(index, value);
    });
    host.Run("getParameter", [&] {
        for (int index = -1; index <= 181; ++index)
            p.GetParameter(index);
    });
    host.Run("texts", [&] {
        for (int index = -1; index <= 181; ++index)
            for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
                p.GetText(opcode, index);
    });
    host.Run("odd opcodes", [&] {
        const VstInt32 opcodes[] = {effGetVu, effEditIdle, effEditGetRect, effIdle, effGetTailSize,
                                    77,       78,          12345,          -2};
        for (VstInt32 opcode : opcodes)
            p.Dispatch(opcode, 7, -1, nullptr, nan);
        p.Dispatch(effEditKeyDown, 65, 38, nullptr, inf);
        p.Dispatch(effSetBlockSizeAndSampleRate, 0, -5, nullptr, -inf);
    });

    std::vector<float> left(3000, 0.5f), right(3000, -0.5f);
    left[10] = nan;
    right[20] = inf;
    float* channels[2] = {left.data(), right.data()};
    for (double tempo : {120.0, 0.0}) {
        callbacks.SetTempo(tempo);
        callbacks.SetPlaying(tempo > 0.0);
        host.Run("processReplacing", [&] { p.ProcessReplacing(channels, channels, 3000); });
        host.Run("process", [&] { p.Process(channels, channels, 3000); });
    }
    host.Run("effClose", [&] { plugin.reset(); });

    for (const std::string& call : host.changed)
        ADD_FAILURE() << "the host's floating-point state changed after " << call;
    EXPECT_TRUE(host.changed.empty());
#ifndef _WIN32
    std::signal(SIGFPE, previous);
#endif
}
