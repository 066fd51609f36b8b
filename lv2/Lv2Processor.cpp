#include "lv2/Lv2Processor.h"

#include <lv2/atom/util.h>

#include <bit>
#include <cmath>
#include <cstring>

namespace lv2 {

namespace {

const LV2_URID_Map* findMap(const LV2_Feature* const* features) {
    for (; features != nullptr && *features != nullptr; ++features)
        if (std::strcmp((*features)->URI, LV2_URID__map) == 0)
            return static_cast<const LV2_URID_Map*>((*features)->data);
    return nullptr;
}

} // namespace

Lv2Processor::Lv2Processor(double sampleRate, const LV2_Feature* const* features)
    : programName_(engine::kFactoryProgramName) {
    time_.sampleRate = sampleRate;
    // The core keeps the rate within its bounds; the messages' spacing follows the same rate.
    const double rate = std::isfinite(sampleRate) && sampleRate > 0 ? sampleRate : 44100.0;
    notifyInterval_ = rate / kNotifyRate;
    if (const LV2_URID_Map* map = findMap(features); map != nullptr && map->map != nullptr) {
        urids_.emplace(*map);
        lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(map));
    }
}

void Lv2Processor::ConnectPort(std::uint32_t port, void* data) noexcept {
    switch (port) {
    case kInLeft:
        inL_ = static_cast<const float*>(data);
        return;
    case kInRight:
        inR_ = static_cast<const float*>(data);
        return;
    case kOutLeft:
        outL_ = static_cast<float*>(data);
        return;
    case kOutRight:
        outR_ = static_cast<float*>(data);
        return;
    case kControl:
        control_ = static_cast<const LV2_Atom_Sequence*>(data);
        return;
    case kNotify:
        notify_ = static_cast<LV2_Atom_Sequence*>(data);
        return;
    default:
        if (const int parameter = PortParameter(port); parameter >= 0) {
            ports_[static_cast<std::size_t>(parameter)] = static_cast<const float*>(data);
            // A port that moved to other memory may hold another value.
            storeAll_ = true;
        }
    }
}

// An instance activated again after a deactivation starts from silence, as a new one would; the first
// activation finds the lines silent already.
void Lv2Processor::Activate() noexcept {
    if (deactivated_)
        core_.RequestDelayFill(engine::EffectCore::kPanicFillValue);
    deactivated_ = false;
    notifyDue_ = 0;
}

void Lv2Processor::Deactivate() noexcept {
    deactivated_ = true;
}

void Lv2Processor::storeChangedPorts() noexcept {
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i] == nullptr)
            continue;
        const float value = *ports_[i];
        const auto bits = std::bit_cast<std::uint32_t>(value);
        if (storeAll_ || bits != stored_[i]) {
            stored_[i] = bits;
            core_.SetParameter(static_cast<int>(i), value);
        }
    }
    storeAll_ = false;
}

void Lv2Processor::runUntil(std::uint32_t& done, std::uint32_t until) noexcept {
    if (until <= done)
        return;
    if (inL_ != nullptr && inR_ != nullptr && outL_ != nullptr && outR_ != nullptr)
        core_.Process(inL_ + done, inR_ + done, outL_ + done, outR_ + done, static_cast<int>(until - done),
                      time_);
    else
        // A host that left an audio port unconnected gets no audio, but time and requests go on.
        core_.Process(nullptr, nullptr, nullptr, nullptr, 0, time_);
    done = until;
}

void Lv2Processor::takeEvent(const LV2_Atom* body) noexcept {
    const LV2_Atom_Object* object = AtomObject(*urids_, body);
    if (object == nullptr)
        return;
    const LV2_URID type = object->body.otype;
    if (type == urids_->timePosition) {
        const TransportChange change = ReadTimePosition(*urids_, object);
        if (change.tempo)
            time_.tempo = *change.tempo;
        if (change.playing)
            time_.playing = *change.playing;
    } else if (type == urids_->panic) {
        core_.RequestDelayFill(engine::EffectCore::kPanicFillValue);
    } else if (type == urids_->presetLoaded || type == urids_->programName) {
        if (const std::optional<std::string_view> name = ObjectProgramName(*urids_, object))
            programName_.Set(*name);
        if (type == urids_->presetLoaded)
            core_.RequestDelayFill(engine::EffectCore::kPresetFillValue);
    }
}

void Lv2Processor::startNotify() noexcept {
    notifying_ = false;
    if (notify_ == nullptr || !urids_)
        return;
    // The host gives the buffer's capacity as the sequence's size.
    const std::uint32_t capacity = notify_->atom.size;
    if (capacity < sizeof(LV2_Atom_Sequence))
        return;
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(notify_), capacity);
    notifying_ = lv2_atom_forge_sequence_head(&forge_, &notifyFrame_, 0) != 0;
}

void Lv2Processor::finishNotify(std::uint32_t frames) noexcept {
    if (!notifying_)
        return;
    notifyDue_ -= frames;
    if (notifyDue_ <= 0) {
        EditorStateMessage message;
        for (int k = 0; k < engine::kLfoCount; ++k)
            message.lfoLevels[static_cast<std::size_t>(k)] = core_.PublishedLfoOut(k);
        message.sampleRate = core_.HostSampleRate();
        message.tempo = core_.HostTempo();
        const std::int64_t last = frames > 0 ? frames - 1 : 0;
        if (WriteEditorState(forge_, *urids_, last, message)) {
            // Blocks longer than the interval get one message each.
            notifyDue_ += notifyInterval_;
            if (notifyDue_ <= 0)
                notifyDue_ = notifyInterval_;
        }
    }
    lv2_atom_forge_pop(&forge_, &notifyFrame_);
}

void Lv2Processor::Run(std::uint32_t frames) noexcept {
    storeChangedPorts();
    startNotify();
    std::uint32_t done = 0;
    if (control_ != nullptr && urids_) {
        LV2_ATOM_SEQUENCE_FOREACH(control_, event) {
            const std::int64_t at = event->time.frames;
            runUntil(done, at < 0 ? 0 : at > frames ? frames : static_cast<std::uint32_t>(at));
            takeEvent(&event->body);
        }
    }
    if (frames > 0)
        runUntil(done, frames);
    else
        // The block steps still run: a change of time, a value or a request is taken.
        core_.Process(nullptr, nullptr, nullptr, nullptr, 0, time_);
    finishNotify(frames);
}

LV2_State_Status Lv2Processor::Save(LV2_State_Store_Function store, LV2_State_Handle handle) noexcept {
    if (!urids_ || store == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;
    const Lv2ProgramName::Text name = programName_.Get();
    return store(handle, urids_->programNameKey, name.data(), std::strlen(name.data()) + 1,
                 urids_->atomString, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

// A state without a program name (saved by an older version or another host) keeps the current name.
LV2_State_Status Lv2Processor::Restore(LV2_State_Retrieve_Function retrieve,
                                       LV2_State_Handle handle) noexcept {
    if (!urids_ || retrieve == nullptr)
        return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* data = retrieve(handle, urids_->programNameKey, &size, &type, &flags);
    if (data != nullptr && type == urids_->atomString) {
        const char* text = static_cast<const char*>(data);
        programName_.Set(std::string_view(text, strnlen(text, size)));
    }
    return LV2_STATE_SUCCESS;
}

} // namespace lv2
