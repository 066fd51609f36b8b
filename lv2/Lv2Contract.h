#pragma once

#include "engine/ParameterTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lv2 {

// What the LV2 bundle promises a host, in one place: the bundle's description is generated from it
// (tools/lv2gen) and the processor and interface binaries are built against it. Hosts store sessions,
// presets and automation by these URIs and port symbols, so none of them may change once released; new
// ports may only be added after the last one.

// Identity. The URIs are URNs of the project's own: they need no web address and never resolve.
inline constexpr char kPluginUri[] = "urn:qarnoaudio:vorelanen2";
inline constexpr char kUiUri[] = "urn:qarnoaudio:vorelanen2#ui";
inline constexpr char kPresetUriPrefix[] = "urn:qarnoaudio:vorelanen2#preset-"; // + PresetSlug(name)
inline constexpr char kName[] = "VorelanEn2";
inline constexpr char kVendor[] = "Qarno Audio";
// The version hosts compare when two bundles carry the same URI; the newer one wins. Raise the micro
// version for a fixed release and the minor version for a release that adds something (ports, presets).
inline constexpr int kMinorVersion = 2;
inline constexpr int kMicroVersion = 0;

// The program name, the one part of the effect's state that the ports do not carry: an atom:String
// (UTF-8, NUL-terminated) under this key in the state interface and in every preset.
inline constexpr char kProgramNameKey[] = "urn:qarnoaudio:vorelanen2#programName";

// Messages between the interface and the processor, atom:Object types on the `control` and `notify`
// ports (the interface writes with atom:eventTransfer; the host forwards `notify` to it):
//   EditorState   processor -> interface: lfoLevels (atom:Vector of 8 atom:Float, 0..1),
//                 sampleRate (atom:Float, Hz), tempo (atom:Float, beats per minute; 0 while unknown)
//   Panic         interface -> processor: clear the delay lines
//   PresetLoaded  interface -> processor: a preset was chosen in the editor's menu; programName
//                 (atom:String, kProgramNameKey) is its name. The processor renames its program and
//                 fills the delay lines as after a preset load; the values reach it as ordinary port
//                 writes.
//   ProgramName   interface -> processor: the program was renamed (the editor saved it as a preset);
//                 programName as above. Nothing else changes.
// The interface sends at most one message per user action; the processor sends EditorState about 25
// times a second while it runs.
inline constexpr char kEditorStateUri[] = "urn:qarnoaudio:vorelanen2#EditorState";
inline constexpr char kPanicUri[] = "urn:qarnoaudio:vorelanen2#Panic";
inline constexpr char kPresetLoadedUri[] = "urn:qarnoaudio:vorelanen2#PresetLoaded";
inline constexpr char kProgramNameUri[] = "urn:qarnoaudio:vorelanen2#ProgramName";
inline constexpr char kLfoLevelsKey[] = "urn:qarnoaudio:vorelanen2#lfoLevels";
inline constexpr char kSampleRateKey[] = "urn:qarnoaudio:vorelanen2#sampleRate";
inline constexpr char kTempoKey[] = "urn:qarnoaudio:vorelanen2#tempo";

// The bundle: its folder and files. The folder is generated beside the VST 2 binary.
inline constexpr char kBundleFolder[] = "VorelanEn2.lv2";
inline constexpr char kManifestFile[] = "manifest.ttl";
inline constexpr char kPluginFile[] = "VorelanEn2.ttl";
inline constexpr char kUiFile[] = "VorelanEn2_ui.ttl";
inline constexpr char kPresetFolder[] = "presets"; // presets/<slug>.ttl
// The processor exports lv2_descriptor and links no window system; the interface exports
// lv2ui_descriptor. Hosts load them apart, even in different processes.
inline constexpr char kDspBinary[] = "VorelanEn2_dsp.so";
inline constexpr char kUiBinary[] = "VorelanEn2_ui.so";

// Ports, in index order. Parameter i (0..180) is port kFirstParameterPort + i; its symbol is the
// parameter's name from the table ("BufferSize", "Pow1", "LfoFreq8"), its value the same 0..1 value the
// VST 2 plug-in stores for it.
enum Port : std::uint32_t {
    kInLeft = 0,
    kInRight = 1,
    kOutLeft = 2,
    kOutRight = 3,
    kControl = 4, // atom:Sequence in: time:Position from the host, messages from the interface
    kNotify = 5,  // atom:Sequence out: messages to the interface
    kFirstParameterPort = 6,
};
inline constexpr std::uint32_t kPortCount = kFirstParameterPort + engine::kParameterCount;
inline constexpr std::string_view kFixedPortSymbols[kFirstParameterPort] = {"in_l",  "in_r",    "out_l",
                                                                            "out_r", "control", "notify"};
static_assert(kPortCount == 187, "2 + 2 audio ports, 2 atom ports and 181 parameters");

constexpr std::uint32_t ParameterPort(int parameter) {
    return kFirstParameterPort + static_cast<std::uint32_t>(parameter);
}
// The parameter a port carries, or -1 for the audio and atom ports and indices past the last port.
constexpr int PortParameter(std::uint32_t port) {
    return port >= kFirstParameterPort && port < kPortCount ? static_cast<int>(port - kFirstParameterPort)
                                                            : -1;
}

// The slug of a preset's URI: the name's ASCII letters and digits in lower case, every run of other
// characters one "-", none at either end ("8 Voices Chorus" -> "8-voices-chorus", "Through-Zero
// Flanger" -> "through-zero-flanger"). A preset keeps its URI as long as it keeps its name.
inline std::string PresetSlug(std::string_view name) {
    std::string slug;
    bool gap = false;
    for (const char c : name) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!digit && !letter) {
            gap = true;
            continue;
        }
        if (gap && !slug.empty())
            slug += '-';
        gap = false;
        slug += letter && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return slug;
}

inline std::string PresetUri(std::string_view name) {
    return kPresetUriPrefix + PresetSlug(name);
}

} // namespace lv2
