#pragma once

#include "tools/vorelan/DemoSignal.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorelan {

// The plug-in binary as a host sees it, driven only through the effect record's five entry points.
// Throws ToolError when the binary cannot be loaded or is not a usable stereo effect.
class PluginHost {
public:
    explicit PluginHost(const std::string& pluginPath);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // What the host reports in its time information. Set before Start.
    void SetSampleRate(double hz);
    void SetTempo(double bpm);
    void SetPlaying(bool playing);
    void SetBlockSize(int frames);

    // Opens the effect, tells it the sample rate and block size and switches it on.
    void Start();

    struct Identity {
        std::string effectName, productString, vendorString;
        int vendorVersion = 0, uniqueId = 0, vstVersion = 0, category = 0;
        int numInputs = 0, numOutputs = 0, numParams = 0, numPrograms = 0, flags = 0, initialDelay = 0;
    };
    Identity GetIdentity();
    std::string PinLabel(bool input, int index, int* flags);
    long long CanDo(const std::string& capability);

    int ParameterCount() const;
    std::string ParameterName(int index);
    std::string ParameterDisplay(int index);
    std::string ParameterLabel(int index);
    float GetParameter(int index);
    void SetParameter(int index, float value);
    std::string ProgramName();
    void SetProgramName(const std::string& name);

    // Runs frames (at most the block size) of two input channels through the effect into two output
    // channels: with the replacing process call when the effect declares it, else with the
    // accumulating one on zeroed outputs. A mono effect takes the left input and feeds both outputs.
    void ProcessBlock(const float* const in[2], float* const out[2], int frames);

    // Runs the whole signal through the effect in blocks; progress(done, total) after every block.
    StereoSignal Render(const StereoSignal& input,
                        const std::function<void(std::size_t, std::size_t)>& progress);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vorelan
