#pragma once

#include "host/AudioEffectX.h"
#include "host/EditorFormFactory.h"
#include "host/Handler.h"
#include "host/TVstParameterProperty.h"
#include "host/TVstProgram.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace host {

// Capability strings an effect answers 1 to (bit n of TVstIdentity::Capabilities); every other
// known string is answered 0 and an unknown one -1.
enum Capability : std::uint32_t {
    kCapSendVstEvents = 1u << 0,
    kCapSendVstMidiEvent = 1u << 1,
    kCapSendVstTimeInfo = 1u << 2,
    kCapReceiveVstEvents = 1u << 3,
    kCapReceiveVstMidiEvent = 1u << 4,
    kCapReceiveVstTimeInfo = 1u << 5,
    kCapOffline = 1u << 6,
    kCapPlugAsChannelInsert = 1u << 7,
    kCapPlugAsSend = 1u << 8,
    kCapMixDryWet = 1u << 9,
    kCapNoRealTime = 1u << 10,
    kCapMultipass = 1u << 11,
    kCapMetapass = 1u << 12,
    kCap1in1out = 1u << 13,
    kCap1in2out = 1u << 14,
    kCap2in1out = 1u << 15,
    kCap2in2out = 1u << 16,
    kCap2in4out = 1u << 17,
    kCap4in2out = 1u << 18,
    kCap4in4out = 1u << 19,
    kCap4in8out = 1u << 20,
    kCap8in4out = 1u << 21,
    kCap8in8out = 1u << 22,
    kCapMidiProgramNames = 1u << 23,
    kCapConformsToWindowRules = 1u << 24,
    kCapBypass = 1u << 25,
};

// Record flags an effect declares (TVstIdentity::Options), one bit per flag operation.
enum Option : std::uint16_t {
    kOptionSynth = 1u << 0,
    kOptionVuMeter = 1u << 1,
    kOptionClipIndicator = 1u << 2,
    kOptionMonoCapable = 1u << 3,
    kOptionReplacing = 1u << 4,
    kOptionProgramChunks = 1u << 5,
    kOptionNoTail = 1u << 6,
    kOptionAsync = 1u << 7,
    kOptionExternalBuffer = 1u << 8,
};

// The identity an effect class fills in before the template is constructed; the template builds
// the effect record from it.
struct TVstIdentity {
    std::uint32_t Capabilities = 0;
    std::uint16_t Options = 0;
    VstInt32 InputCount = 2;
    VstInt32 OutputCount = 2;
    std::string UniqueID; // packed from its first four characters, padded with spaces
    VstInt32 VendorVersion = 0;
    std::string EffectName; // also the product string; cut to 31 characters for the host
    std::string VendorName; // cut to 63 characters for the host
    VstInt32 InitialDelay = 0;
    // Scratch frames allocated at construction, and the least the scratch ever holds; 0 means 2048.
    VstInt32 MaxBlockLength = 0;
};

// The reusable effect skeleton: parameters and programs, the host-facing answers built from the
// identity, and a processing frame that hands each block to ProcessAudio in scratch buffers.
// A subclass overrides DeclareParameters and ProcessAudio and attaches ParameterChanged and
// EditorIdle after construction.
//
// The scratch is allocated outside processing only: at construction, when the host announces its
// block size and when it resumes the effect. It then holds the announced frames (at least the
// identity's MaxBlockLength, at most kMaxScratchFrames); a longer block is handed to ProcessAudio in
// consecutive pieces of the scratch's length, so ProcessAudio never gets more frames than ScratchFrames.
class TVstTemplate : public AudioEffectX {
public:
    static constexpr int kMaxOutgoingEvents = 2048;
    static constexpr int kDefaultBlockLength = 2048;
    static constexpr int kMaxScratchFrames = 8192;
    // Program names handed to the host are cut to the interface's 24 bytes, NUL included.
    static constexpr int kHostProgramNameSize = 24;

    // formClass null: the effect has no editor.
    TVstTemplate(vst2::audioMasterCallback audioMaster, const TVstIdentity& identity, VstInt32 numPrograms,
                 VstInt32 numParams, std::unique_ptr<EditorFormFactory> formClass = nullptr);
    ~TVstTemplate() override;

    // Host-facing operations.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    // Stores the announced block size and sizes the scratch for it.
    void setBlockSize(VstInt32 blockSize) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    void suspend() override;
    // Sizes the scratch for the stored block size, then asks the host for events.
    void resume() override;
    VstInt32 processEvents(vst2::VstEvents* events) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getInputProperties(VstInt32 index, vst2::VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, vst2::VstPinProperties* properties) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;

    // Added operations.
    // Stores the 0..1 value for a real value on the linear curve, reporting it to the host.
    virtual void SetRealParameter(VstInt32 index, float realValue);
    // Names the parameters and stores the factory program; the last step of construction. The
    // template's constructor runs before the subclass exists and so reaches only this empty hook: a
    // subclass calls its own override as the first step of its constructor, before it attaches the
    // handlers.
    virtual void DeclareParameters();
    // Renders one block of at most ScratchFrames frames: inputs and outputs are the template's scratch
    // channels, never the host's.
    virtual void ProcessAudio(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual void ProcessMidiEvent(vst2::VstMidiEvent* event);

    // The displayed real value of a parameter; advances its display smoother by one step.
    float GetRealParameter(VstInt32 index);
    void SetInputCount(VstInt32 count);
    void SetOutputCount(VstInt32 count);
    void SetInitialDelayValue(VstInt32 delay);
    // Stores count (within 1 .. kMaxScratchFrames) and sizes both scratch arrays to it.
    void SetMaxBlockLength(VstInt32 count);
    // Frames per channel the scratch holds now.
    VstInt32 ScratchFrames() const noexcept { return scratchFrames_; }

    // Null when index is out of range.
    TVstParameterProperty* ParameterProperty(VstInt32 index) noexcept;
    TVstProgram* Program(VstInt32 index) noexcept;
    TVstProgram& CurrentProgram() noexcept;
    const TVstIdentity& Identity() const noexcept { return identity_; }

    // Called after every stored parameter value, on the storing thread.
    Handler<VstInt32> ParameterChanged;
    // Called with the editor form on every editor idle while the form exists.
    Handler<EditorForm&> EditorIdle;

protected:
    // The outgoing event list as the host reads it: a VstEvents header with 2048 slots.
    struct OutgoingEvents {
        VstInt32 numEvents = 0;
        VstIntPtr reserved = 0;
        vst2::VstEvent* events[kMaxOutgoingEvents] = {};
    };

    // Events queued for the host after the current block; ProcessAudio may fill the first slots.
    OutgoingEvents outgoingEvents_;
    VstInt32 pendingOutgoingEvents_ = 0;

private:
    // Channel arrays for the inputs and outputs of one piece of a block.
    struct Scratch {
        VstInt32 frames = 0;
        std::vector<float> samples; // all channels, inputs first
        std::vector<float*> inputs;
        std::vector<float*> outputs;
    };

    // Puts a scratch of frames per channel (and the identity's channel counts) in place. Skipped, and
    // false, while a processing call holds the scratch: the current one stays, and the next
    // announcement or resume tries again. Nothing changes when the allocation fails.
    bool replaceScratch(VstInt32 frames);
    void sendPendingEvents();
    // Runs a whole host block through ProcessAudio, piece by piece; accumulate adds the output to the
    // host's buffers instead of replacing them.
    void processBlock(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate);
    void processPiece(Scratch& scratch, float** inputs, float** outputs, std::size_t offset,
                      std::size_t frames, bool accumulate);

    std::unique_ptr<Scratch> scratch_;
    // Held by the call that uses or replaces the scratch; a call that finds it taken does not wait.
    std::atomic<bool> scratchInUse_{false};
    RelaxedAtomic<VstInt32> scratchFrames_{0};
    TVstIdentity identity_;
    std::vector<std::unique_ptr<TVstParameterProperty>> parameterProperties_;
    std::vector<std::unique_ptr<TVstProgram>> programs_;
    std::vector<vst2::VstMidiEvent> eventRecords_;
};

} // namespace host
