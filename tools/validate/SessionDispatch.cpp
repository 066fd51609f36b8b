#include "tools/validate/SessionImpl.h"

#include "host/Capabilities.h"
#include "tools/validate/EditorParent.h"
#include "tools/validate/Random.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace validate {

namespace {

using namespace vst2;

// An address no process can read: for opcodes that take no pointer, ptr may hold anything.
void* const kBogusPointer = reinterpret_cast<void*>(std::uintptr_t{0x1F});
// What the plug-in finds in a pointer it is asked to set, so that "not set" shows.
constexpr std::uintptr_t kUnsetPointer = 0x5A5A5A5Au;
constexpr std::int64_t kMaxChunkBytes = std::int64_t{64} << 20;
constexpr int kMaxEditorSide = 16384;

// Structures of the interface that the validator hands over and the plug-in frame has no use for.
struct VstMidiSysexEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};
struct VstPatchChunkInfo {
    VstInt32 version;
    VstInt32 pluginUniqueID;
    VstInt32 pluginVersion;
    VstInt32 numElements;
    char future[48];
};
static_assert(sizeof(VstPatchChunkInfo) == 64);

// Capability strings that are not among the interface's, or only nearly.
constexpr const char* kOddCapabilities[] = {"",
                                            "ReceiveVstEvents",
                                            "receiveVstTimeInfo ",
                                            "MPE",
                                            "hasCockosExtensions",
                                            "supportsViewDpiScaling",
                                            "receiveVstSysexEvent"};

// A capability string a host asks about: mostly one of the interface's, sometimes another.
std::string capability(Random& random) {
    const std::uint32_t count = host::kCapabilityNames.size(), odd = std::size(kOddCapabilities);
    const std::uint32_t pick = random.Below(count + odd);
    return pick < count ? host::kCapabilityNames[pick] : kOddCapabilities[pick - count];
}

} // namespace

std::optional<Finding> Session::Impl::dispatch(const Step& s, Role role) {
    if (s.opcode == effClose) // the record goes with it: only a reload may close
        return reopen(2400);
    Scratch& sc = scratch[static_cast<std::size_t>(role)];
    EditorParent* parent = parents[static_cast<std::size_t>(role)];
    const OpcodeInfo* info = FindOpcode(s.opcode);
    const Argument argument =
        s.pointer == Pointer::Valid && info != nullptr ? info->argument : Argument::None;
    VstIntPtr value = static_cast<VstIntPtr>(s.value);
    void* ptr = nullptr;
    Random random(s.seed);

    switch (s.pointer) {
    case Pointer::Null:
        break;
    case Pointer::Bogus:
        // For the editor: a handle that names no window the host has (never given out, no window, or
        // destroyed); for other opcodes an address that cannot be read.
        ptr = s.opcode == effEditOpen && parent != nullptr ? parent->Bogus(s.seed) : kBogusPointer;
        break;
    case Pointer::Poison:
    case Pointer::Valid:
        ptr = sc.bytes.Prepare(0, 0);
        break;
    }
    switch (argument) {
    case Argument::None:
    case Argument::Opaque:
        break;
    case Argument::TextOut:
        ptr = sc.bytes.Prepare(static_cast<std::size_t>(info->limit), kSentinel);
        break;
    case Argument::TextIn:
    case Argument::Capability: {
        const std::string text = argument == Argument::Capability && random.Chance(900)
                                     ? capability(random)
                                     : TextFromSeed(s.seed);
        unsigned char* bytes = sc.bytes.Prepare(text.size() + 1, 0);
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        ptr = bytes;
        break;
    }
    case Argument::ChunkOut:
    case Argument::RectOut:
    case Argument::SpeakerSlots: {
        const std::size_t slots = argument == Argument::SpeakerSlots ? 2 : 1;
        unsigned char* bytes = sc.bytes.Prepare(slots * sizeof(void*), 0);
        const std::uintptr_t unset = argument == Argument::SpeakerSlots ? 0 : kUnsetPointer;
        for (std::size_t i = 0; i < slots; ++i)
            std::memcpy(bytes + i * sizeof(void*), &unset, sizeof unset);
        ptr = bytes + (slots - 1) * sizeof(void*);
        if (argument == Argument::SpeakerSlots)
            value = reinterpret_cast<VstIntPtr>(bytes);
        break;
    }
    case Argument::ChunkIn: {
        const std::size_t size = static_cast<std::size_t>(std::clamp<std::int64_t>(s.value, 0, 1 << 16));
        unsigned char* bytes = sc.bytes.Prepare(size, 0);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(random.Below(256));
        value = static_cast<VstIntPtr>(size);
        ptr = bytes;
        break;
    }
    case Argument::PinOut:
        ptr = sc.bytes.Prepare(sizeof(VstPinProperties), 0);
        break;
    case Argument::Structure: {
        // The structure as a host hands it over: zeroed, its first field (an index) set.
        const std::size_t size = info->limit > 0 ? static_cast<std::size_t>(info->limit) : sizeof(ERect);
        unsigned char* bytes = sc.bytes.Prepare(size, 0);
        const VstInt32 first = static_cast<VstInt32>(random.Below(4));
        std::memcpy(bytes, &first, sizeof first);
        ptr = bytes;
        break;
    }
    case Argument::Events: {
        // A VstEvents list followed by its events and the system-exclusive dumps they point to.
        const int count =
            random.Chance(60) ? static_cast<int>(random.Between(9, 64)) : static_cast<int>(random.Below(9));
        const std::size_t header =
            offsetof(VstEvents, events) + static_cast<std::size_t>(std::max(count, 2)) * sizeof(VstEvent*);
        const std::size_t eventBytes = (sizeof(VstMidiSysexEvent) + 7) / 8 * 8;
        const std::size_t dumpBytes = 64;
        unsigned char* bytes =
            sc.bytes.Prepare(header + static_cast<std::size_t>(count) * (eventBytes + dumpBytes), 0);
        VstEvents list{};
        list.numEvents = random.Chance(950)
                             ? count
                             : static_cast<VstInt32>(random.Below(static_cast<std::uint32_t>(count) + 1));
        std::memcpy(bytes, &list, offsetof(VstEvents, events));
        for (int e = 0; e < count; ++e) {
            unsigned char* event = bytes + header + static_cast<std::size_t>(e) * eventBytes;
            char* dump =
                reinterpret_cast<char*>(bytes + header + static_cast<std::size_t>(count) * eventBytes +
                                        static_cast<std::size_t>(e) * dumpBytes);
            const std::uint32_t kind = random.Below(10);
            const VstInt32 deltaFrames = random.Chance(900) ? static_cast<VstInt32>(random.Below(512))
                                                            : static_cast<VstInt32>(random.Next());
            if (kind == 0) {
                VstMidiSysexEvent sysex{kVstSysExType,
                                        static_cast<VstInt32>(sizeof(VstMidiSysexEvent) - 8),
                                        deltaFrames,
                                        0,
                                        static_cast<VstInt32>(random.Below(dumpBytes + 1)),
                                        0,
                                        dump,
                                        0};
                for (std::size_t i = 0; i < dumpBytes; ++i)
                    dump[i] = static_cast<char>(random.Below(256));
                std::memcpy(event, &sysex, sizeof sysex);
            } else {
                VstMidiEvent midi{};
                midi.type = kind == 1 ? static_cast<VstInt32>(random.Between(2, 99)) : kVstMidiType;
                midi.byteSize = random.Chance(800) ? 24 : 32;
                midi.deltaFrames = deltaFrames;
                for (char& b : midi.midiData)
                    b = static_cast<char>(random.Below(256));
                std::memcpy(event, &midi, sizeof midi);
            }
            const auto* pointer = reinterpret_cast<VstEvent*>(event);
            std::memcpy(bytes + offsetof(VstEvents, events) + static_cast<std::size_t>(e) * sizeof(VstEvent*),
                        &pointer, sizeof pointer);
        }
        ptr = bytes;
        break;
    }
    case Argument::ParentWindow:
        if (parent == nullptr) {
            ++counts[static_cast<std::size_t>(role)].skippedEditor;
            return std::nullopt;
        }
        ptr = parent->Handle();
        break;
    case Argument::Speakers: {
        unsigned char* bytes = sc.bytes.Prepare(2 * sizeof(VstSpeakerArrangement), 0);
        for (int i = 0; i < 2; ++i) {
            VstSpeakerArrangement arrangement{};
            arrangement.type = 1; // stereo
            arrangement.numChannels = 2;
            std::memcpy(bytes + static_cast<std::size_t>(i) * sizeof arrangement, &arrangement,
                        sizeof arrangement);
        }
        value = reinterpret_cast<VstIntPtr>(bytes);
        ptr = bytes + sizeof(VstSpeakerArrangement);
        break;
    }
    case Argument::PatchInfo: {
        VstPatchChunkInfo patch{};
        patch.version = 1;
        patch.pluginUniqueID = random.Chance(700) ? effect->uniqueID : static_cast<VstInt32>(random.Next());
        patch.pluginVersion = effect->version;
        patch.numElements = random.Chance(800) ? 1 : static_cast<VstInt32>(random.Next());
        ptr = sc.bytes.Prepare(sizeof patch, 0);
        std::memcpy(ptr, &patch, sizeof patch);
        break;
    }
    }
    if (s.pointer == Pointer::Null && (argument == Argument::Speakers || argument == Argument::SpeakerSlots))
        value = 0;
    if (ptr != nullptr && ptr != kBogusPointer && argument != Argument::ParentWindow)
        sc.bytes.Remember();

    const std::string what =
        std::string("dispatcher(") + (info ? info->name : "opcode " + std::to_string(s.opcode)) + ")";
    VstIntPtr answer = 0;
    const bool audio = IsAudioThreadOpcode(s.opcode) && role != Role::UserInterface;
    if (auto f = call(role, audio, what.c_str(),
                      [&] { answer = effect->dispatcher(effect, s.opcode, s.index, value, ptr, s.opt); }))
        return f;
    if (parent != nullptr && IsEditorOpcode(s.opcode))
        parent->Pump();
    if (auto f = checkEditorAnswer(s, role, argument == Argument::ParentWindow, ptr, answer, what))
        return f;

    if (s.pointer == Pointer::Poison && !sc.bytes.GuardIntact())
        return finding(FindingKind::WriteOutside,
                       what + " wrote into a host buffer passed in ptr, which it takes no "
                              "argument in");
    if (argument != Argument::None && argument != Argument::Opaque && argument != Argument::ParentWindow)
        if (auto f = checkArgument(s, argument, info, answer, sc))
            return f;
    if (role == Role::Main && options.exactParameters && MayChangeParameters(s.opcode))
        return readAllParameters(role, what, false);
    return std::nullopt;
}

std::optional<Finding> Session::Impl::checkEditorAnswer(const Step& s, Role role, bool window,
                                                        const void* ptr, VstIntPtr answer,
                                                        const std::string& what) {
    int& open = editorsOpen[static_cast<std::size_t>(role)];
    if (s.opcode == effEditClose)
        open = std::max(open - 1, 0);
    if (s.opcode != effEditOpen)
        return std::nullopt;
    // With no editor open, an open without a window to open in makes none, and must say so.
    if (!window && open == 0 && answer != 0)
        return finding(FindingKind::BadAnswer,
                       what + " answered " + std::to_string(answer) + " for " +
                           (ptr == nullptr ? std::string("no window (ptr null)")
                                           : "a handle that names no window of the host") +
                           ", where no editor can have opened");
    if (answer != 0)
        ++open;
    if (window && answer != 0)
        ++counts[static_cast<std::size_t>(role)].editorOpens;
    return std::nullopt;
}

std::optional<Finding> Session::Impl::editorProblem(const std::string& what, Role role) {
    EditorParent* parent = parents[static_cast<std::size_t>(role)];
    if (parent == nullptr)
        return std::nullopt;
    const std::string problem = parent->Problem();
    if (problem.empty())
        return std::nullopt;
    return finding(FindingKind::Editor, "after " + what + ", " + problem);
}

std::optional<Finding> Session::Impl::checkArgument(const Step& s, Argument argument, const OpcodeInfo* info,
                                                    VstIntPtr answer, Scratch& sc) {
    const std::string what = std::string("dispatcher(") + info->name + ")";
    HostBytes& bytes = sc.bytes;
    if (argument == Argument::TextOut) {
        const std::size_t written = bytes.WrittenExtent();
        if (written > static_cast<std::size_t>(info->limit))
            return finding(FindingKind::WriteOutside, what + " wrote " + std::to_string(written) +
                                                          " bytes into a host text buffer of " +
                                                          std::to_string(info->limit));
        const unsigned char* text = bytes.data();
        if (written > 0 && std::find(text, text + written, 0) == text + written)
            return finding(FindingKind::BadText, what + " wrote " + std::to_string(written) +
                                                     " bytes of text without a terminating NUL");
        return std::nullopt;
    }
    if (!bytes.GuardIntact())
        return finding(FindingKind::WriteOutside, what + " wrote past the end of the " +
                                                      std::to_string(bytes.Region()) +
                                                      "-byte argument the host passed");
    switch (argument) {
    case Argument::TextIn:
    case Argument::Capability:
    case Argument::ChunkIn:
    case Argument::Events:
    case Argument::Speakers:
    case Argument::PatchInfo:
        if (!bytes.Unchanged())
            return finding(FindingKind::WriteOutside, what + " changed what the host handed over");
        break;
    case Argument::Structure:
        if (info->limit == 0 && !bytes.Unchanged())
            return finding(FindingKind::WriteOutside, what + " changed what the host handed over");
        break;
    case Argument::PinOut:
        if (answer != 0) {
            const unsigned char* label = bytes.data() + offsetof(VstPinProperties, label);
            if (std::find(label, label + 64, 0) == label + 64)
                return finding(FindingKind::BadText,
                               what + " answered a pin label without a terminating NUL");
        }
        break;
    case Argument::RectOut:
        if (answer != 0) {
            ERect* rect = nullptr;
            std::memcpy(&rect, bytes.data(), sizeof rect);
            if (rect == nullptr || reinterpret_cast<std::uintptr_t>(rect) == kUnsetPointer)
                return finding(FindingKind::BadAnswer, what + " answered " + std::to_string(answer) +
                                                           " without pointing the host at a rectangle");
            const int width = rect->right - rect->left, height = rect->bottom - rect->top;
            if (width < 0 || height < 0 || width > kMaxEditorSide || height > kMaxEditorSide)
                return finding(FindingKind::BadAnswer, what + " answered a rectangle of " +
                                                           std::to_string(width) + " x " +
                                                           std::to_string(height) + " pixels");
        }
        break;
    case Argument::ChunkOut:
        if (answer > 0) {
            const unsigned char* data = nullptr;
            std::memcpy(&data, bytes.data(), sizeof data);
            if (data == nullptr || reinterpret_cast<std::uintptr_t>(data) == kUnsetPointer ||
                static_cast<std::int64_t>(answer) > kMaxChunkBytes)
                return finding(FindingKind::BadAnswer, what + " answered a chunk of " +
                                                           std::to_string(answer) +
                                                           " bytes without the data, or an implausible size");
            // A host reads the whole chunk at once.
            volatile unsigned char last = 0;
            for (VstIntPtr i = 0; i < answer; ++i)
                last = data[i];
            static_cast<void>(last);
        }
        break;
    default:
        break;
    }
    static_cast<void>(s);
    return std::nullopt;
}

} // namespace validate
