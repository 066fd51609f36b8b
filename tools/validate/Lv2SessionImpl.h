#pragma once

// The inside of an Lv2Session, shared by Lv2Session.cpp (instances, ports, runs, messages, state) and
// Lv2SessionSound.cpp (the long-lived instances whose sound is checked).

#include "engine/ParameterTable.h"
#include "lv2/Lv2Contract.h"
#include "tools/validate/CheckedCall.h"
#include "tools/validate/Lv2Host.h"
#include "tools/validate/Lv2Session.h"

#include <lv2/options/options.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace validate {

inline constexpr int kLv2Parameters = engine::kParameterCount;
// The most of a program name the plug-in keeps, in bytes of UTF-8, as it documents.
inline constexpr std::size_t kLv2ProgramNameBytes = 192;
inline constexpr std::uint32_t kControlCapacity = 8192;
inline constexpr std::uint32_t kNotifyCapacity = 8192;

// What a host offers when it instantiates the plug-in.
struct Lv2Setup {
    double sampleRate = 44100.0;
    std::int32_t maxBlock = 0;     // bufsz:maxBlockLength; 0 announces none
    std::int32_t nominalBlock = 0; // bufsz:nominalBlockLength; 0 announces none
    bool map = true;               // urid:map and urid:unmap
    bool atomsConnected = true;    // the atom ports connected at the start
    std::uint32_t notifyCapacity = kNotifyCapacity;
};

// An instance and the host's memory of its ports. It stays where it was made: the plug-in keeps
// pointers to the features, the options and the ports' memory.
struct Lv2Object {
    explicit Lv2Object(const Lv2Setup& hostSetup);
    Lv2Object(const Lv2Object&) = delete;
    Lv2Object& operator=(const Lv2Object&) = delete;

    Lv2Setup setup;
    LV2_Handle handle = nullptr;
    bool active = false;
    // Each control port's value lives in values, or in moved once the host connected it there.
    std::array<float, kLv2Parameters> values{};
    std::array<float, kLv2Parameters> moved{};
    std::array<float*, kLv2Parameters> at{};
    AtomBuffer control;
    AtomBuffer notify;
    bool controlConnected = false;
    bool notifyConnected = false;
    std::vector<std::uint8_t> controlSent; // the control sequence as the host wrote it for a run
    double inputPeak = 0.0;
    std::uint64_t blocks = 0;
    // What it was instantiated with.
    std::int32_t lengths[2] = {0, 0};
    std::vector<LV2_Options_Option> options;
    LV2_Feature optionsFeature{};
    LV2_Feature boundedFeature{};
    std::vector<const LV2_Feature*> features;
};

// An atom for the control port, 8-byte aligned, and the frame of the run it arrives at.
struct Lv2Event {
    std::uint32_t frame = 0;
    std::vector<std::uint64_t> atom;
    std::optional<std::string> renames; // the program name a message gives the program
};

// How a run's audio buffers are laid out, as LV2 lets a host lay them out: the outputs apart from the
// inputs, on them, on them crossed (the left output on the right input and the other way round), or both
// inputs on one buffer with the left output (a mono source; the stretch is then the same in both).
enum class Aliasing { Separate, InPlace, Crossed, Shared };
// "run", "run in place", ...: what findings call a run laid out so.
const char* RunName(Aliasing aliasing);

struct Lv2Session::Impl {
    Impl(const Lv2Binary& binary, const SessionOptions& sessionOptions, testhost::EntryPoint vst2Entry);
    ~Impl();

    const LV2_Descriptor& d;
    std::string bundle;
    SessionOptions options;
    testhost::EntryPoint vst2;
    UridMap urids;
    FloatMode mode = FloatMode::Default;
    SessionCounts counts;
    BlockBuffers scratch;
    std::unique_ptr<Lv2Object> main;
    // Time positions and messages for the main instance's next run: the atom, the seed that places it
    // in the run, and the program name it gives the program.
    struct Pending {
        std::uint32_t seed = 0;
        std::vector<std::uint64_t> atom;
        std::optional<std::string> renames;
        bool message = false;
    };
    std::vector<Pending> pending;
    // The main instance's program name as far as the session knows it.
    std::optional<std::string> programName;

    struct Sound;
    struct SoundDeleter {
        void operator()(Sound* sound) const noexcept;
    };
    std::unique_ptr<Sound, SoundDeleter> sound;

    template <typename Body> std::optional<Finding> call(bool audioThread, const char* what, Body&& body) {
        return CheckedCall(mode, audioThread, what, std::forward<Body>(body));
    }

    // Instantiates, connects every port and activates.
    std::optional<Finding> create(Lv2Object& o);
    void destroy(Lv2Object& o);
    std::optional<Finding> connectAtomPort(Lv2Object& o, std::uint32_t port, bool connected);
    // One run of frames through o with the audio laid out as aliasing, the inputs from fill, the events
    // in the control sequence; then every check of a run. The outputs stay in scratch.outputs.
    std::optional<Finding> run(Lv2Object& o, int frames, Aliasing aliasing,
                               const std::function<void(int, float*, int)>& fill,
                               const std::vector<Lv2Event>& events, const std::vector<double>& tight);
    void writeControlSequence(Lv2Object& o, const std::vector<Lv2Event>& events);
    std::optional<Finding> checkNotify(Lv2Object& o, int frames);

    std::optional<Finding> process(const Step& s);
    std::optional<Finding> instantiate(const Step& s);
    std::optional<Finding> activate(bool on);
    std::optional<Finding> connect(const Step& s);
    void queueTime(const Step& s);
    void queueMessage(const Step& s);
    std::optional<Finding> state(const Step& s);
    std::optional<Finding> soundStep(const Step& s);
    void closeSound();

    // A time:Position object as a host forges one: all the fields or some, numbers of various types.
    std::vector<std::uint64_t> timePosition(const Step& s);
    std::vector<std::uint64_t> timePosition(double tempo, bool playing, std::int64_t frame);
};

} // namespace validate
