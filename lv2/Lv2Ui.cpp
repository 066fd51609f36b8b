#include "lv2/Lv2Ui.h"

#include "editor/TPluginEditorwindow.h"
#include "engine/EffectCore.h"
#include "lv2/Lv2Contract.h"
#include "platform/CodePage.h"

#include <cstring>

namespace lv2 {

namespace {

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    for (; features != nullptr && *features != nullptr; ++features)
        if (std::strcmp((*features)->URI, uri) == 0)
            return (*features)->data;
    return nullptr;
}

// Room for the largest message: an object with a program name of 48 characters as UTF-8.
constexpr std::uint32_t kMessageBytes = 512;

} // namespace

std::unique_ptr<Lv2Ui> Lv2Ui::Create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                     const LV2_Feature* const* features, platform::WindowFactory& windows) {
    void* parent = const_cast<void*>(featureData(features, LV2_UI__parent));
    const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
    if (parent == nullptr || map == nullptr || map->map == nullptr || write == nullptr)
        return nullptr;
    std::unique_ptr<Lv2Ui> ui(new Lv2Ui(write, controller, *map, windows));
    ui->touch_ = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));

    // As the VST 2 editor wrapper opens its editor: the form class makes the form in the parent, then
    // the attach message hands it its link on the first idle call.
    ui->form_ = ui->formClass_.CreateForm(parent);
    auto* form = dynamic_cast<editor::TPluginEditorwindow*>(ui->form_.get());
    if (form == nullptr)
        return nullptr;
    form->PostAttachMessage();
    ui->exchange_ = form;
    ui->widget_ = form->Window()->NativeHandle();
    if (const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
        resize != nullptr && resize->ui_resize != nullptr)
        resize->ui_resize(resize->handle, form->ClientWidth(), form->ClientHeight());
    return ui;
}

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map& map,
             platform::WindowFactory& windows)
    : write_(write), controller_(controller), urids_(map), formClass_(windows) {
    lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(&map));
    for (int i = 0; i < engine::kParameterCount; ++i)
        values_[static_cast<std::size_t>(i)] = engine::kParameters[static_cast<std::size_t>(i)].factory;
    formClass_.LinkEffect(this);
}

// The form goes as the VST 2 editor wrapper's close lets it go: its window's teardown ends a drag (whose
// gesture end still reaches the host), closes the menu and a dialog, and destroys the window unless the
// host destroyed it first.
Lv2Ui::~Lv2Ui() {
    exchange_ = nullptr;
    form_.reset();
}

void Lv2Ui::PortEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer) noexcept {
    if (buffer == nullptr)
        return;
    if (format == 0) {
        const int parameter = PortParameter(port);
        if (parameter >= 0 && size >= sizeof(float)) {
            float value;
            std::memcpy(&value, buffer, sizeof value);
            values_[static_cast<std::size_t>(parameter)] = engine::ClampParameter(value);
        }
        return;
    }
    if (format == urids_.atomEventTransfer && port == kNotify && size >= sizeof(LV2_Atom)) {
        const auto* atom = static_cast<const LV2_Atom*>(buffer);
        if (atom->size <= size - sizeof(LV2_Atom))
            if (const std::optional<EditorStateMessage> state = ReadEditorState(urids_, atom))
                shown_ = *state;
    }
}

int Lv2Ui::Idle() noexcept {
    if (!form_)
        return 0;
    try {
        form_->Idle();
        if (exchange_ != nullptr) {
            exchange_->ShowEffectState(shown_.lfoLevels, shown_.sampleRate, shown_.tempo);
            exchange_->ServeRequests();
        }
        // A rename that came without a preset load: the program was saved under a new name.
        if (pendingName_) {
            send(urids_.programName, *pendingName_);
            pendingName_.reset();
        }
    } catch (...) {
        // Nothing the editor does in one idle call may end the host; the next call starts afresh.
    }
    return 0;
}

float Lv2Ui::Parameter(int index) const {
    if (index < 0 || index >= engine::kParameterCount)
        return 0.0f;
    return values_[static_cast<std::size_t>(index)];
}

void Lv2Ui::WriteParameter(int index, float value) {
    if (index < 0 || index >= engine::kParameterCount)
        return;
    const float stored = engine::ClampParameter(value);
    values_[static_cast<std::size_t>(index)] = stored;
    write_(controller_, ParameterPort(index), sizeof stored, 0, &stored);
}

void Lv2Ui::touch(int index, bool grabbed) {
    if (touch_ != nullptr && touch_->touch != nullptr && index >= 0 && index < engine::kParameterCount)
        touch_->touch(touch_->handle, ParameterPort(index), grabbed);
}

// The form's names are in the editor's code page; the processor keeps UTF-8.
void Lv2Ui::SetProgramName(std::string_view name) {
    pendingName_ = platform::Windows1252ToUtf8(name.substr(0, std::min(name.find('\0'), name.size())));
}

// A preset load renames the program and fills the lines in one message; a panic fills them with silence.
void Lv2Ui::FillDelayLines(float value) {
    if (value == engine::EffectCore::kPresetFillValue) {
        send(urids_.presetLoaded,
             pendingName_ ? std::optional<std::string_view>(*pendingName_) : std::nullopt);
        pendingName_.reset();
    } else {
        send(urids_.panic, std::nullopt);
    }
}

void Lv2Ui::send(LV2_URID otype, std::optional<std::string_view> name) {
    alignas(8) std::uint8_t buffer[kMessageBytes];
    if (name && name->size() > kMessageBytes / 2)
        name = name->substr(0, kMessageBytes / 2);
    if (const LV2_Atom* atom = ForgeMessage(forge_, urids_, otype, name, buffer, sizeof buffer))
        write_(controller_, kControl, static_cast<std::uint32_t>(sizeof(LV2_Atom) + atom->size),
               urids_.atomEventTransfer, atom);
}

} // namespace lv2
