#include "tests/host/lib/PluginInstance.h"

#include <cstring>

namespace testhost {

std::unique_ptr<PluginInstance> PluginInstance::Create(const PluginLibrary& library, Host& host) {
    if (library.Entry() == nullptr)
        return nullptr;
    Host::SetStarting(&host);
    vst2::AEffect* effect = library.Entry()(&Host::Callback);
    Host::SetStarting(nullptr);
    if (effect == nullptr)
        return nullptr;
    host.Attach(effect);
    return std::unique_ptr<PluginInstance>(new PluginInstance(effect, host));
}

PluginInstance::~PluginInstance() {
    if (effect_ != nullptr)
        Close();
}

vst2::VstIntPtr PluginInstance::Dispatch(vst2::VstInt32 opcode, vst2::VstInt32 index, vst2::VstIntPtr value,
                                         void* ptr, float opt) {
    if (effect_ == nullptr)
        return 0;
    if (opcode == vst2::effClose)
        return Close();
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginInstance::Process(float** inputs, float** outputs, vst2::VstInt32 frames) {
    if (effect_ != nullptr)
        effect_->process(effect_, inputs, outputs, frames);
}

void PluginInstance::ProcessReplacing(float** inputs, float** outputs, vst2::VstInt32 frames) {
    if (effect_ != nullptr && effect_->processReplacing != nullptr)
        effect_->processReplacing(effect_, inputs, outputs, frames);
}

void PluginInstance::SetParameter(vst2::VstInt32 index, float value) {
    if (effect_ != nullptr)
        effect_->setParameter(effect_, index, value);
}

float PluginInstance::GetParameter(vst2::VstInt32 index) {
    return effect_ != nullptr ? effect_->getParameter(effect_, index) : 0.0f;
}

vst2::VstIntPtr PluginInstance::Close() {
    if (effect_ == nullptr)
        return 0;
    vst2::AEffect* effect = effect_;
    effect_ = nullptr;
    const vst2::VstIntPtr result = effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
    host_.Detach(effect);
    return result;
}

PluginInstance::Text PluginInstance::GetText(vst2::VstInt32 opcode, vst2::VstInt32 index,
                                             vst2::VstIntPtr value) {
    // A sentinel fill shows how far the plug-in wrote, whatever it wrote.
    char buffer[kTextBufferSize];
    std::memset(buffer, 0x5A, sizeof buffer);
    Text text;
    text.result = Dispatch(opcode, index, value, buffer);
    std::size_t written = sizeof buffer;
    while (written > 0 && static_cast<unsigned char>(buffer[written - 1]) == 0x5A)
        --written;
    text.writtenBytes = written;
    std::size_t length = 0;
    while (length < written && buffer[length] != '\0')
        ++length;
    text.text.assign(buffer, length);
    return text;
}

std::string PluginInstance::ParameterName(vst2::VstInt32 index) {
    return GetText(vst2::effGetParamName, index).text;
}

std::string PluginInstance::ParameterLabel(vst2::VstInt32 index) {
    return GetText(vst2::effGetParamLabel, index).text;
}

std::string PluginInstance::ParameterDisplay(vst2::VstInt32 index) {
    return GetText(vst2::effGetParamDisplay, index).text;
}

vst2::VstIntPtr PluginInstance::CanDo(const char* capability) {
    return Dispatch(vst2::effCanDo, 0, 0, const_cast<char*>(capability));
}

} // namespace testhost
