#include "plugin/TPlugin.h"

#include "editor/EditorExchange.h"
#include "host/AEffEditor.h"
#include "host/Text.h"

namespace plugin {

namespace {

host::TVstIdentity MakeIdentity() {
    host::TVstIdentity identity;
    identity.Capabilities = host::kCapSendVstEvents | host::kCapReceiveVstEvents |
                            host::kCapReceiveVstMidiEvent | host::kCapReceiveVstTimeInfo;
#if defined(_WIN32) && !defined(_WIN64)
    identity.Options = 0; // 32-bit Windows: accumulating process only, no chunks
#else
    // Linux and 64-bit Windows hosts follow VST 2.4, which requires replacing processing. No chunks.
    identity.Options = host::kOptionReplacing;
#endif
    identity.InputCount = 2;
    identity.OutputCount = 2;
    identity.UniqueID = "QR14";
    identity.VendorVersion = TPlugin::kVendorVersion;
    identity.EffectName = "VorelanEn2";
    identity.VendorName = "Qarno Audio";
    identity.InitialDelay = 0;
    return identity;
}

} // namespace

TPlugin::TPlugin(vst2::audioMasterCallback audioMaster, std::unique_ptr<host::EditorFormFactory> formClass,
                 std::unique_ptr<engine::AudioEngine> frames)
    : TPlugin(audioMaster, dynamic_cast<editor::LinkedFormClass*>(formClass.get()), std::move(formClass),
              std::move(frames)) {}

TPlugin::TPlugin(vst2::audioMasterCallback audioMaster, editor::LinkedFormClass* linked,
                 std::unique_ptr<host::EditorFormFactory>&& formClass,
                 std::unique_ptr<engine::AudioEngine> frames)
    : host::TVstTemplate(audioMaster, MakeIdentity(), 1, engine::kParameterCount, std::move(formClass)),
      core_(std::move(frames)) {
    // The template's constructor runs before this object exists, so its declaration step reaches only
    // the template's own (empty) hook; the names are stored here.
    DeclareParameters();
    EditorIdle = host::Handler<host::EditorForm&>::Of<&TPlugin::OnEditorIdle>(this);
    // The frame owns the form class now; its forms reach this effect through the link. No editor can be
    // open before the constructor returns.
    if (linked != nullptr)
        linked->LinkEffect(this);
}

TPlugin::~TPlugin() {
    // An open editor may still look at the effect while it is torn down: it goes before the core.
    setEditor(nullptr);
}

void TPlugin::DeclareParameters() {
    for (int i = 0; i < engine::kParameterCount; ++i)
        if (host::TVstParameterProperty* property = ParameterProperty(i))
            property->SetName(engine::kParameters[static_cast<std::size_t>(i)].name());
}

void TPlugin::setParameter(vst2::VstInt32 index, float value) {
    core_.SetParameter(index, value);
}

float TPlugin::getParameter(vst2::VstInt32 index) {
    return core_.Parameter(index);
}

// The one program is the core's: choosing it again converts every value again, as the frame's own
// program change sets every value again.
void TPlugin::setProgram(vst2::VstInt32 program) {
    if (program < 0 || program >= numPrograms)
        return;
    curProgram = program;
    core_.ReapplyParameters();
}

void TPlugin::setProgramName(char* name) {
    if (name != nullptr)
        core_.SetProgramName(
            std::string_view(name, host::BoundedLength(name, engine::EffectCore::kProgramNameLength)));
}

// The program keeps up to 48 characters; hosts get the first 23, as the interface sizes their buffers.
void TPlugin::getProgramName(char* name) {
    host::CopyText(name, core_.ProgramName(), kHostProgramNameSize);
}

bool TPlugin::getProgramNameIndexed(vst2::VstInt32, vst2::VstInt32 index, char* text) {
    if (index < 0 || index >= numPrograms)
        return false;
    host::CopyText(text, core_.ProgramName(), kHostProgramNameSize);
    return true;
}

void TPlugin::ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) {
    engine::HostTime time;
    if (const vst2::VstTimeInfo* info = getTimeInfo(kTimeInfoFilter)) {
        TimeFlags = info->flags;
        time.sampleRate = info->sampleRate;
        time.tempo = info->tempo;
        time.playing = (info->flags & vst2::kVstTransportPlaying) != 0;
    } else {
        // The rate the host set; tempo and transport stay as they were.
        time.sampleRate = getSampleRate();
    }
    core_.Process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames, time);
}

void TPlugin::OnEditorIdle(host::EditorForm& form) {
    if (auto* editor = dynamic_cast<editor::EditorExchange*>(&form))
        ExchangeWithEditor(*editor);
}

void TPlugin::ExchangeWithEditor(editor::EditorExchange& editor) {
    std::array<float, engine::kLfoCount> lfoOut{};
    for (int k = 0; k < engine::kLfoCount; ++k)
        lfoOut[static_cast<std::size_t>(k)] = core_.PublishedLfoOut(k);
    editor.ShowEffectState(lfoOut, core_.HostSampleRate(), core_.HostTempo());
    editor.ServeRequests();
}

} // namespace plugin
