#pragma once

#include "tests/host/lib/Host.h"
#include "tests/host/lib/PluginLibrary.h"

#include <memory>
#include <string>

namespace testhost {

// One plug-in object driven through the five entry points of its record, as a host drives it.
// Destroying the instance closes the plug-in unless Close was called.
class PluginInstance {
public:
    // Calls the library's entry point with the host's callback; null when it answers no record.
    static std::unique_ptr<PluginInstance> Create(const PluginLibrary& library, Host& host);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    vst2::AEffect* Effect() const noexcept { return effect_; }
    Host& GetHost() const noexcept { return host_; }

    vst2::VstIntPtr Dispatch(vst2::VstInt32 opcode, vst2::VstInt32 index = 0, vst2::VstIntPtr value = 0,
                             void* ptr = nullptr, float opt = 0.0f);
    void Process(float** inputs, float** outputs, vst2::VstInt32 frames);
    void ProcessReplacing(float** inputs, float** outputs, vst2::VstInt32 frames);
    void SetParameter(vst2::VstInt32 index, float value);
    float GetParameter(vst2::VstInt32 index);
    // effClose; the record is gone afterwards. Answers the dispatcher's result.
    vst2::VstIntPtr Close();

    // A text the plug-in writes into a host buffer for opcode (index, value). The buffer is larger
    // than any text should be; WrittenBytes tells how many bytes the plug-in touched.
    struct Text {
        std::string text;
        vst2::VstIntPtr result = 0;
        std::size_t writtenBytes = 0;
    };
    static constexpr std::size_t kTextBufferSize = 512;
    Text GetText(vst2::VstInt32 opcode, vst2::VstInt32 index = 0, vst2::VstIntPtr value = 0);
    std::string ParameterName(vst2::VstInt32 index);
    std::string ParameterLabel(vst2::VstInt32 index);
    std::string ParameterDisplay(vst2::VstInt32 index);
    vst2::VstIntPtr CanDo(const char* capability);

private:
    PluginInstance(vst2::AEffect* effect, Host& host) : effect_(effect), host_(host) {}
    vst2::AEffect* effect_;
    Host& host_;
};

} // namespace testhost
