#pragma once

#include "vst2/Vst2.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace testhost {

// One call the plug-in made to the host.
struct HostCall {
    vst2::AEffect* effect;
    vst2::VstInt32 opcode;
    vst2::VstInt32 index;
    vst2::VstIntPtr value;
    void* ptr;
    float opt;
};

// One automation report (audioMasterAutomate).
struct Automation {
    vst2::VstInt32 index;
    float value;
};

// The host side of a plug-in instance: a scriptable host callback that logs every call. It answers
// the version query, the time-information query (sample rate, tempo, transport flags) and records
// automation; everything else answers 0 unless Answer says otherwise. Single-threaded: drive one
// instance from one thread at a time.
class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Answer to audioMasterVersion (0 makes the plug-in refuse to start).
    vst2::VstIntPtr Version = 2400;
    // Whether audioMasterGetTime answers TimeInfo or null.
    bool ProvideTimeInfo = true;
    vst2::VstTimeInfo TimeInfo{};
    // Consulted first for every call; an answer replaces the default one.
    std::function<std::optional<vst2::VstIntPtr>(const HostCall&)> Answer;

    std::vector<HostCall> Calls;
    std::vector<Automation> Automations;

    void SetSampleRate(double rate) noexcept;
    void SetTempo(double bpm) noexcept;
    // Sets or clears the playing flag, keeping the other flags.
    void SetPlaying(bool playing) noexcept;
    // Advances the song position by frames at the current rate and tempo.
    void Advance(int frames) noexcept;

    std::size_t CountCalls(vst2::VstInt32 opcode) const noexcept;
    void ClearLogs() noexcept;

    // The callback handed to the plug-in's entry point.
    static vst2::VstIntPtr Callback(vst2::AEffect* effect, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                    vst2::VstIntPtr value, void* ptr, float opt);

    // Routes the callbacks of a record (and, while starting, those without a record) to this host.
    void Attach(vst2::AEffect* effect);
    void Detach(vst2::AEffect* effect);
    static void SetStarting(Host* host) noexcept;

private:
    vst2::VstIntPtr handle(const HostCall& call);
};

} // namespace testhost
