#include "tests/host/lib/Host.h"

#include <algorithm>
#include <utility>

namespace testhost {

namespace {

// Which host answers which record. Hosts register their records; calls made before a record is
// known (the version query inside the entry point) go to the host that is starting a plug-in.
std::vector<std::pair<vst2::AEffect*, Host*>>& routes() {
    static std::vector<std::pair<vst2::AEffect*, Host*>> table;
    return table;
}

Host* startingHost = nullptr;

} // namespace

Host::Host() {
    TimeInfo.sampleRate = 44100.0;
    TimeInfo.tempo = 120.0;
    TimeInfo.timeSigNumerator = 4;
    TimeInfo.timeSigDenominator = 4;
    TimeInfo.flags =
        vst2::kVstPpqPosValid | vst2::kVstTempoValid | vst2::kVstBarsValid | vst2::kVstTimeSigValid;
}

Host::~Host() {
    auto& table = routes();
    table.erase(
        std::remove_if(table.begin(), table.end(), [this](const auto& r) { return r.second == this; }),
        table.end());
    if (startingHost == this)
        startingHost = nullptr;
}

void Host::SetSampleRate(double rate) noexcept {
    TimeInfo.sampleRate = rate;
}
void Host::SetTempo(double bpm) noexcept {
    TimeInfo.tempo = bpm;
}

void Host::SetPlaying(bool playing) noexcept {
    if (playing)
        TimeInfo.flags |= vst2::kVstTransportPlaying;
    else
        TimeInfo.flags &= ~vst2::kVstTransportPlaying;
}

void Host::Advance(int frames) noexcept {
    TimeInfo.samplePos += frames;
    if (TimeInfo.sampleRate > 0)
        TimeInfo.ppqPos += frames / TimeInfo.sampleRate * TimeInfo.tempo / 60.0;
}

std::size_t Host::CountCalls(vst2::VstInt32 opcode) const noexcept {
    return static_cast<std::size_t>(std::count_if(
        Calls.begin(), Calls.end(), [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

void Host::ClearLogs() noexcept {
    Calls.clear();
    Automations.clear();
}

void Host::Attach(vst2::AEffect* effect) {
    routes().emplace_back(effect, this);
}

void Host::Detach(vst2::AEffect* effect) {
    auto& table = routes();
    table.erase(
        std::remove_if(table.begin(), table.end(),
                       [effect, this](const auto& r) { return r.first == effect && r.second == this; }),
        table.end());
}

void Host::SetStarting(Host* host) noexcept {
    startingHost = host;
}

vst2::VstIntPtr Host::Callback(vst2::AEffect* effect, vst2::VstInt32 opcode, vst2::VstInt32 index,
                               vst2::VstIntPtr value, void* ptr, float opt) {
    Host* host = nullptr;
    for (const auto& route : routes())
        if (route.first == effect)
            host = route.second;
    if (host == nullptr)
        host = startingHost;
    if (host == nullptr)
        return opcode == vst2::audioMasterVersion ? 2400 : 0;
    return host->handle(HostCall{effect, opcode, index, value, ptr, opt});
}

vst2::VstIntPtr Host::handle(const HostCall& call) {
    Calls.push_back(call);
    if (call.opcode == vst2::audioMasterAutomate)
        Automations.push_back(Automation{call.index, call.opt});
    if (Answer) {
        if (auto answer = Answer(call))
            return *answer;
    }
    switch (call.opcode) {
    case vst2::audioMasterVersion:
        return Version;
    case vst2::audioMasterGetTime:
        return ProvideTimeInfo ? reinterpret_cast<vst2::VstIntPtr>(&TimeInfo) : 0;
    case vst2::audioMasterGetSampleRate:
        return static_cast<vst2::VstIntPtr>(TimeInfo.sampleRate);
    default:
        return 0;
    }
}

} // namespace testhost
