// The editor's preset menu ("Save as", a separator, one entry per preset file), saving the current
// values as a preset file, and loading a preset file into the effect.
#include "editor/TPluginEditorwindow.h"

#include "engine/EffectCore.h"
#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"
#include "presets/PresetName.h"
#include "skin/text/DefaultFont.h"
#include "skin/text/TextRenderer.h"

#include <algorithm>

namespace editor {

using platform::Point;

std::optional<PresetValues> TPluginEditorwindow::ReadPreset(const std::string& name) {
    // The whole file is read and checked before the effect changes anything.
    const presets::NamedPreset preset = presets::ReadNamedPreset(name);
    if (!preset.ok()) {
        platform::ShowMessageBox(std::string(presets::kMessageCaption), preset.message);
        return std::nullopt;
    }
    return PresetValues{preset.read.program.name, preset.read.program.values};
}

void TPluginEditorwindow::ServeRequests() {
    if (PresetLoadRequest) {
        PresetLoadRequest = false;
        ServePresetLoad();
    }
    if (PanicRequest) {
        PanicRequest = false;
        if (Plugin != nullptr)
            Plugin->FillDelayLines(engine::EffectCore::kPanicFillValue);
    }
}

void TPluginEditorwindow::ServePresetLoad() {
    PresetName = PendingPreset;
    // A request that arrives while a load tells the user about a file it rejected (a message box runs its
    // own message loop, which may deliver another editor idle) is dropped.
    if (PresetLoadBusy != 0 || Plugin == nullptr)
        return;
    PresetLoadBusy = 1;
    std::optional<PresetValues> preset;
    try {
        preset = ReadPreset(PresetName);
    } catch (...) {
        // Nothing usable was read; the host's idle call goes on.
    }
    PresetLoadBusy = 0;
    if (preset)
        LoadPresetFile(*preset);
}

void TPluginEditorwindow::LoadPresetFile(const PresetValues& preset) {
    if (Plugin == nullptr)
        return;
    Plugin->SetProgramName(preset.Name);
    // Heard from the audio thread's next block on, which rewrites the lines over the following blocks;
    // the values below are in place by then.
    Plugin->FillDelayLines(engine::EffectCore::kPresetFillValue);
    WriteChangedValues(0, preset.Values);
    Plugin->ProgramChanged();
}

void TPluginEditorwindow::RefreshFxps() {
    PresetItems.clear();
    if (PresetFolder.empty())
        return;
    // The caption is drawn in the editor's code page; the hint keeps the file's own name for the load.
    for (const std::string& name : presets::ListPresetNames(PresetFolder))
        PresetItems.push_back({platform::SystemTextForDrawing(name), name});
}

void TPluginEditorwindow::PopupMenu1Popup() {
    RefreshFxps();
}

std::vector<platform::MenuItem> TPluginEditorwindow::PopupMenu1Items() const {
    // The menu's own measure: the text cell plus a margin for entries, a thin band for the
    // separator, and one width for the whole menu from its widest caption.
    const skin::text::Font& font = skin::text::DefaultFont();
    const int itemHeight = skin::text::TextHeight(font) + 6;
    constexpr int kSeparatorHeight = 9;
    std::vector<platform::MenuItem> items;
    items.push_back({"Save as", 0, itemHeight});
    items.push_back({"-", 0, kSeparatorHeight});
    for (const TPresetItem& item : PresetItems)
        items.push_back({item.Caption, 0, itemHeight});
    int width = 80;
    for (const platform::MenuItem& item : items)
        width = std::max(width, skin::text::TextWidth(font, item.caption) + 32);
    for (platform::MenuItem& item : items)
        item.width = width;
    return items;
}

void TPluginEditorwindow::ShowPresetMenu(Point client) {
    if (!window_)
        return;
    PopupMenu1Popup();
    std::vector<platform::MenuItem> items = PopupMenu1Items();
    std::vector<std::string> captions;
    for (const platform::MenuItem& item : items)
        captions.push_back(item.caption);
    // The entries as listed now: the folder may be listed again before the choice arrives.
    std::vector<TPresetItem> entries = PresetItems;
    window_->ShowPopupMenu(
        items, window_->ClientToScreen(client),
        [captions](int index, const platform::PixelPicture& canvas, bool selected) {
            if (index >= 0 && index < static_cast<int>(captions.size()))
                Saveas1DrawItem(captions[static_cast<std::size_t>(index)], canvas, selected);
        },
        [this, entries](int index) {
            if (index == 0)
                Saveas1Click();
            else if (index >= 2 && index - 2 < static_cast<int>(entries.size()))
                Open1Click(entries[static_cast<std::size_t>(index - 2)]);
        });
}

void TPluginEditorwindow::Open1Click(const TPresetItem& item) {
    if (PresetLoadRequest)
        return;
    PendingPreset = item.Hint;
    PresetLoadRequest = true;
}

void TPluginEditorwindow::Saveas1Click() {
    if (!window_ || !CheckPlugin())
        return;
    platform::SaveDialogOptions options;
    options.initialFolder = PresetFolder;
    options.fileName = SaveDialFileName;
    options.filter = "fxp|*.fxp";
    options.defaultExtension.clear();
    options.overwritePrompt = true;
    options.hideReadOnly = true;
    options.resizable = true;
    options.addToRecent = false;
    window_->ShowSaveDialog(options, [this](std::optional<std::string> path) {
        if (path && !path->empty())
            SaveTo(*path);
    });
}

void TPluginEditorwindow::SaveTo(const std::string& chosen) {
    std::string_view kept = chosen;
    if (kept.ends_with(presets::kFileExtension))
        kept.remove_suffix(presets::kFileExtension.size());
    SaveDialFileName = std::string(kept);
    if (Plugin == nullptr)
        return;
    presets::SaveAsTarget target = presets::PlanSaveAs(chosen);
    if constexpr (platform::kSystemTextIsUtf8) {
        // The file is named in UTF-8; the program and the file's name field hold the editor's code page,
        // each cut where it is stored (one byte per character, so never inside one). A character the code
        // page lacks refuses the name before anything is written.
        const auto toCodePage = [](std::string& name, std::size_t capacity) {
            presets::CodePageName converted =
                presets::NameToCodePage(name, capacity, "The preset name", presets::ForeignBytes::AsCodePage);
            if (!converted.ok())
                platform::ShowMessageBox(std::string(presets::kMessageCaption),
                                         converted.problem + ". Nothing was saved: choose a name without it.",
                                         platform::MessageIcon::Error);
            name = std::move(converted.bytes);
            return converted.ok();
        };
        if (!toCodePage(target.programName, engine::EffectCore::kProgramNameLength) ||
            !toCodePage(target.fieldName, presets::kNameSize))
            return;
    }
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[static_cast<std::size_t>(i)] = Plugin->Parameter(i);
    if (!presets::WriteFxpFile(target.filePath, presets::WriteFxp(target.fieldName, values))) {
        // Nothing was saved, so the program keeps its name.
        platform::ShowMessageBox(std::string(presets::kMessageCaption),
                                 "The preset could not be saved as \"" + target.filePath +
                                     "\". Choose a folder where you may create files.",
                                 platform::MessageIcon::Error);
        return;
    }
    Plugin->SetProgramName(target.programName);
}

void TPluginEditorwindow::Saveas1DrawItem(const std::string& caption, const platform::PixelPicture& canvas,
                                          bool selected) {
    if (canvas.bits == nullptr || canvas.width <= 0 || canvas.height <= 0)
        return;
    const skin::TColor background = selected ? kFormColor : kDarkColor;
    const skin::TColor text = selected ? kDarkColor : kFormColor;
    auto fill = [&canvas](int top, int bottom, skin::TColor color) {
        const skin::TPixel32 pixel = skin::ColorToPixel(color);
        for (int y = std::max(top, 0); y < std::min(bottom, canvas.height); ++y)
            std::fill_n(canvas.Row(y), canvas.width, pixel);
    };
    fill(0, canvas.height, background);
    if (caption == "-") {
        fill(3, canvas.height - 3, kFormColor);
        return;
    }
    const skin::text::PixelView view{reinterpret_cast<std::uint8_t*>(canvas.bits), canvas.width,
                                     canvas.height, canvas.width * 4, true};
    skin::text::DrawText(view, skin::text::DefaultFont(), 8, 2, caption, skin::text::Rgb::FromColorRef(text));
}

} // namespace editor
