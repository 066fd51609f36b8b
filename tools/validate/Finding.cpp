#include "tools/validate/Finding.h"

#include <sstream>

namespace validate {

namespace {

struct KindText {
    FindingKind kind;
    const char* id;
    const char* name;
};

constexpr KindText kKinds[kFindingKinds] = {
    {FindingKind::Crash, "crash", "crash"},
    {FindingKind::Hang, "hang", "hang"},
    {FindingKind::NoEffect, "no-effect", "no effect"},
    {FindingKind::BadRecord, "bad-record", "unusable effect record"},
    {FindingKind::RecordChanged, "record-changed", "effect record changed"},
    {FindingKind::FloatState, "float-state", "floating-point state changed"},
    {FindingKind::NotFinite, "not-finite", "output not finite"},
    {FindingKind::OutOfBound, "bound", "output beyond the bound"},
    {FindingKind::FrameNotWritten, "unwritten", "output frame not written"},
    {FindingKind::WriteOutside, "outside", "write outside the host's buffer"},
    {FindingKind::InputChanged, "input-changed", "input changed"},
    {FindingKind::ParameterReadBack, "read-back", "parameter read-back"},
    {FindingKind::ParameterChanged, "parameter-changed", "parameter changed by itself"},
    {FindingKind::BadText, "text", "unterminated text"},
    {FindingKind::BadAnswer, "answer", "unusable answer"},
    {FindingKind::Allocation, "allocation", "allocation on the audio thread"},
    {FindingKind::ForeignRecord, "foreign-record", "callback with a foreign record"},
    {FindingKind::Sound, "sound", "sound depends on the blocks"},
    {FindingKind::Reference, "reference", "sound strays from the reference"},
    {FindingKind::Editor, "editor", "editor error reached the host"},
    {FindingKind::Vst2Sound, "vst2-sound", "sound differs from the VST 2 plug-in"},
};

constexpr bool tableInOrder() {
    for (int i = 0; i < kFindingKinds; ++i)
        if (static_cast<int>(kKinds[i].kind) != i)
            return false;
    return true;
}
static_assert(tableInOrder(), "one row per kind, in order");

} // namespace

const char* KindName(FindingKind kind) noexcept {
    return kKinds[static_cast<int>(kind)].name;
}

const char* KindId(FindingKind kind) noexcept {
    return kKinds[static_cast<int>(kind)].id;
}

std::string Describe(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string DescribeSample(float value) {
    std::ostringstream text;
    text.precision(9);
    text << value;
    return text.str();
}

bool ParseKind(const std::string& id, FindingKind& kind) noexcept {
    for (const KindText& k : kKinds)
        if (id == k.id) {
            kind = k.kind;
            return true;
        }
    return false;
}

} // namespace validate
