#include "tools/validate/Opcodes.h"

#include <array>

namespace validate {

namespace {

using namespace vst2;

// Structure sizes of the interface: MidiProgramName and MidiKeyName are 80 bytes,
// MidiProgramCategory 76, VstParameterProperties 152. The offline structures get room to spare.
constexpr int kMidiProgramNameBytes = 80;
constexpr int kMidiProgramCategoryBytes = 76;
constexpr int kMidiKeyNameBytes = 80;
constexpr int kParameterPropertiesBytes = 152;
constexpr int kOfflineBytes = 4096;

constexpr std::array<OpcodeInfo, kLastKnownOpcode + 1> kOpcodes{{
    {effOpen, "effOpen", Argument::None, 0},
    {effClose, "effClose", Argument::None, 0},
    {effSetProgram, "effSetProgram", Argument::None, 0},
    {effGetProgram, "effGetProgram", Argument::None, 0},
    {effSetProgramName, "effSetProgramName", Argument::TextIn, 0},
    {effGetProgramName, "effGetProgramName", Argument::TextOut, kProgramNameBytes},
    {effGetParamLabel, "effGetParamLabel", Argument::TextOut, kParameterTextBytes},
    {effGetParamDisplay, "effGetParamDisplay", Argument::TextOut, kParameterTextBytes},
    {effGetParamName, "effGetParamName", Argument::TextOut, kParameterTextBytes},
    {effGetVu, "effGetVu", Argument::None, 0},
    {effSetSampleRate, "effSetSampleRate", Argument::None, 0},
    {effSetBlockSize, "effSetBlockSize", Argument::None, 0},
    {effMainsChanged, "effMainsChanged", Argument::None, 0},
    {effEditGetRect, "effEditGetRect", Argument::RectOut, 0},
    {effEditOpen, "effEditOpen", Argument::ParentWindow, 0},
    {effEditClose, "effEditClose", Argument::None, 0},
    {effEditDraw, "effEditDraw", Argument::Structure, 0},
    {effEditMouse, "effEditMouse", Argument::None, 0},
    {effEditKey, "effEditKey", Argument::None, 0},
    {effEditIdle, "effEditIdle", Argument::None, 0},
    {effEditTop, "effEditTop", Argument::None, 0},
    {effEditSleep, "effEditSleep", Argument::None, 0},
    {effIdentify, "effIdentify", Argument::None, 0},
    {effGetChunk, "effGetChunk", Argument::ChunkOut, 0},
    {effSetChunk, "effSetChunk", Argument::ChunkIn, 0},
    {effProcessEvents, "effProcessEvents", Argument::Events, 0},
    {effCanBeAutomated, "effCanBeAutomated", Argument::None, 0},
    {effString2Parameter, "effString2Parameter", Argument::TextIn, 0},
    {effGetNumProgramCategories, "effGetNumProgramCategories", Argument::None, 0},
    {effGetProgramNameIndexed, "effGetProgramNameIndexed", Argument::TextOut, kProgramNameBytes},
    {effCopyProgram, "effCopyProgram", Argument::None, 0},
    {effConnectInput, "effConnectInput", Argument::None, 0},
    {effConnectOutput, "effConnectOutput", Argument::None, 0},
    {effGetInputProperties, "effGetInputProperties", Argument::PinOut, 0},
    {effGetOutputProperties, "effGetOutputProperties", Argument::PinOut, 0},
    {effGetPlugCategory, "effGetPlugCategory", Argument::None, 0},
    {effGetCurrentPosition, "effGetCurrentPosition", Argument::None, 0},
    {effGetDestinationBuffer, "effGetDestinationBuffer", Argument::None, 0},
    {effOfflineNotify, "effOfflineNotify", Argument::Structure, kOfflineBytes},
    {effOfflinePrepare, "effOfflinePrepare", Argument::Structure, kOfflineBytes},
    {effOfflineRun, "effOfflineRun", Argument::Structure, kOfflineBytes},
    {effProcessVarIo, "effProcessVarIo", Argument::Structure, kOfflineBytes},
    {effSetSpeakerArrangement, "effSetSpeakerArrangement", Argument::Speakers, 0},
    {effSetBlockSizeAndSampleRate, "effSetBlockSizeAndSampleRate", Argument::None, 0},
    {effSetBypass, "effSetBypass", Argument::None, 0},
    {effGetEffectName, "effGetEffectName", Argument::TextOut, kEffectNameBytes},
    {effGetErrorText, "effGetErrorText", Argument::TextOut, kErrorTextBytes},
    {effGetVendorString, "effGetVendorString", Argument::TextOut, kVendorTextBytes},
    {effGetProductString, "effGetProductString", Argument::TextOut, kVendorTextBytes},
    {effGetVendorVersion, "effGetVendorVersion", Argument::None, 0},
    {effVendorSpecific, "effVendorSpecific", Argument::Opaque, 0},
    {effCanDo, "effCanDo", Argument::Capability, 0},
    {effGetTailSize, "effGetTailSize", Argument::None, 0},
    {effIdle, "effIdle", Argument::None, 0},
    {effGetIcon, "effGetIcon", Argument::None, 0},
    {effSetViewPosition, "effSetViewPosition", Argument::None, 0},
    {effGetParameterProperties, "effGetParameterProperties", Argument::Structure, kParameterPropertiesBytes},
    {effKeysRequired, "effKeysRequired", Argument::None, 0},
    {effGetVstVersion, "effGetVstVersion", Argument::None, 0},
    {effEditKeyDown, "effEditKeyDown", Argument::None, 0},
    {effEditKeyUp, "effEditKeyUp", Argument::None, 0},
    {effSetEditKnobMode, "effSetEditKnobMode", Argument::None, 0},
    {effGetMidiProgramName, "effGetMidiProgramName", Argument::Structure, kMidiProgramNameBytes},
    {effGetCurrentMidiProgram, "effGetCurrentMidiProgram", Argument::Structure, kMidiProgramNameBytes},
    {effGetMidiProgramCategory, "effGetMidiProgramCategory", Argument::Structure, kMidiProgramCategoryBytes},
    {effHasMidiProgramsChanged, "effHasMidiProgramsChanged", Argument::None, 0},
    {effGetMidiKeyName, "effGetMidiKeyName", Argument::Structure, kMidiKeyNameBytes},
    {effBeginSetProgram, "effBeginSetProgram", Argument::None, 0},
    {effEndSetProgram, "effEndSetProgram", Argument::None, 0},
    {effGetSpeakerArrangement, "effGetSpeakerArrangement", Argument::SpeakerSlots, 0},
    {effShellGetNextPlugin, "effShellGetNextPlugin", Argument::TextOut, kShellNameBytes},
    {effStartProcess, "effStartProcess", Argument::None, 0},
    {effStopProcess, "effStopProcess", Argument::None, 0},
    {effSetTotalSampleToProcess, "effSetTotalSampleToProcess", Argument::None, 0},
    {effSetPanLaw, "effSetPanLaw", Argument::None, 0},
    {effBeginLoadBank, "effBeginLoadBank", Argument::PatchInfo, 0},
    {effBeginLoadProgram, "effBeginLoadProgram", Argument::PatchInfo, 0},
    {effSetProcessPrecision, "effSetProcessPrecision", Argument::None, 0},
}};

constexpr bool tableInOrder() {
    for (std::size_t i = 0; i < kOpcodes.size(); ++i)
        if (kOpcodes[i].opcode != static_cast<VstInt32>(i))
            return false;
    return true;
}
static_assert(tableInOrder(), "the opcode table is indexed by opcode");

} // namespace

const OpcodeInfo* FindOpcode(VstInt32 opcode) noexcept {
    if (opcode < 0 || opcode > kLastKnownOpcode)
        return nullptr;
    return &kOpcodes[static_cast<std::size_t>(opcode)];
}

bool MayChangeParameters(VstInt32 opcode) noexcept {
    switch (opcode) {
    case effSetProgram:
    case effSetChunk:
    case effString2Parameter:
    case effCopyProgram:
    case effEndSetProgram:
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return true;
    default:
        return false;
    }
}

bool IsAudioThreadOpcode(VstInt32 opcode) noexcept {
    return opcode == effProcessEvents;
}

bool IsEditorOpcode(VstInt32 opcode) noexcept {
    return (opcode >= effEditGetRect && opcode <= effEditSleep) ||
           (opcode >= effEditKeyDown && opcode <= effSetEditKnobMode);
}

bool IsLifecycleOpcode(VstInt32 opcode) noexcept {
    switch (opcode) {
    case effOpen:
    case effClose:
    case effSetSampleRate:
    case effSetBlockSize:
    case effMainsChanged:
    case effConnectInput:
    case effConnectOutput:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effSetSpeakerArrangement:
    case effSetBlockSizeAndSampleRate:
    case effSetBypass:
    case effStartProcess:
    case effStopProcess:
    case effSetTotalSampleToProcess:
    case effSetPanLaw:
    case effSetProcessPrecision:
        return true;
    default:
        return false;
    }
}

} // namespace validate
