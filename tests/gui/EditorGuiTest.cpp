// The 64-bit plug-in's editor as a Windows host shows it: a test host loads the DLL, opens the editor in
// a top-level window of its own, pumps messages and idles, and operates the controls with synthetic
// input (a channel selector, the channel's on/off button and a knob drag). It checks the parameters the
// plug-in reports afterwards, and that what the window shows equals, pixel for pixel, the picture of an
// in-memory editor that went through the same actions. Further tests drive the preset menu and the save
// dialog, close the editor inside their modal loops, and send the window messages in the
// floating-point state of a host that unmasked every exception.
//
//   vorelan_editor_gui_tests <plug-in file name> <folder for the screenshots>

#include "editor/TPluginEditorFormClass.h"
#include "host/AudioEffect.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowFactory.h"
#include "platform/headless/PngFile.h"
#include "platform/headless/RecordingMessageBox.h"
#include "plugin/TPlugin.h"
#include "tests/gui/GuiSupport.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"
#include "tests/host/minitest/MiniTest.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include <xmmintrin.h>

namespace {

std::string pluginName = "VorelanEn2.dll";
std::string outputFolder = ".";

constexpr int kWidth = 780;
constexpr int kHeight = 303;

// Controls the script operates, in client coordinates (points well inside each control).
constexpr platform::Point kChannel3Button{291, 12}; // the channel selector's "3"
constexpr platform::Point kPowerButton{676, 74};    // the shown channel's on/off button
constexpr platform::Point kDelayKnob{137, 80};      // the shown channel's delay knob
constexpr int kDelayOfChannel1 = 6;                 // 5 + 16 x 0 + kind 1
constexpr int kPowerOfChannel1 = 5;                 // 5 + 16 x 0 + kind 0
constexpr int kPowerOfChannel3 = 37;                // 5 + 16 x 2 + kind 0
constexpr int kDelayOfChannel3 = 38;                // 5 + 16 x 2 + kind 1
constexpr int kDragPixels = 20;

// One way of operating an open editor: the real window with synthetic input, or the in-memory window.
class Driver {
public:
    virtual ~Driver() = default;
    virtual void MoveTo(platform::Point client) = 0;
    virtual void Press() = 0;
    virtual void Release() = 0;
    // Moves the mouse by dy pixels with the button held.
    virtual void DragBy(int dy) = 0;
    virtual void SetParameter(int index, float value) = 0;
    // Lets a little over 300 ms of timer ticks and idle calls pass.
    virtual void Settle() = 0;
};

// The actions whose result both editors must show alike.
void runScript(Driver& driver) {
    driver.Settle();
    // A host automation of a shown parameter: the refresh moves the knob and leaves the value alone.
    driver.SetParameter(kDelayOfChannel1, 0.123f);
    driver.Settle();
    driver.MoveTo(kChannel3Button);
    driver.Press();
    driver.Release();
    driver.Settle();
    driver.MoveTo(kPowerButton);
    driver.Press();
    driver.Release();
    driver.Settle();
    driver.MoveTo(kDelayKnob);
    driver.Press();
    driver.DragBy(-kDragPixels);
    driver.Release();
    driver.Settle();
}

class WineDriver final : public Driver {
public:
    WineDriver(testhost::PluginInstance& plugin, HWND editor) : plugin_(plugin), editor_(editor) {}
    void MoveTo(platform::Point client) override {
        guitest::MoveMouseTo(editor_, client.x, client.y);
        pump(60);
    }
    void Press() override {
        guitest::MouseButton(true);
        pump(60);
    }
    void Release() override {
        guitest::MouseButton(false);
        pump(60);
    }
    void DragBy(int dy) override {
        guitest::MoveMouseBy(0, dy);
        pump(60);
    }
    void SetParameter(int index, float value) override { plugin_.SetParameter(index, value); }
    void Settle() override { pump(330); }
    void pump(int milliseconds) {
        guitest::Pump(milliseconds, [this] { plugin_.Dispatch(vst2::effEditIdle); });
    }

private:
    testhost::PluginInstance& plugin_;
    HWND editor_;
};

class HeadlessDriver final : public Driver {
public:
    HeadlessDriver(vst2::AEffect& effect, platform::headless::HeadlessWindowFactory& factory,
                   platform::headless::HeadlessWindow& window)
        : effect_(effect), factory_(factory), window_(window) {}
    void MoveTo(platform::Point client) override {
        at_ = client;
        window_.MoveMouse(client);
        pass(60);
    }
    void Press() override {
        window_.Press(at_);
        pass(60);
    }
    void Release() override {
        // The knob put the cursor back where the drag began, and the release happens there.
        window_.Release(window_.ScreenToClient(window_.TestCursor().Position()));
        pass(60);
    }
    void DragBy(int dy) override {
        const platform::Point cursor = window_.ScreenToClient(window_.TestCursor().Position());
        window_.MoveMouse({cursor.x, cursor.y + dy});
        pass(60);
    }
    void SetParameter(int index, float value) override { effect_.setParameter(&effect_, index, value); }
    void Settle() override { pass(330); }

private:
    // Time passes as it does while the real window pumps: idle calls every 20 ms, the timer every 50.
    void pass(int milliseconds) {
        for (int t = 0; t < milliseconds; t += 10) {
            factory_.AdvanceClock(10);
            if (t % 20 == 0)
                effect_.dispatcher(&effect_, vst2::effEditIdle, 0, 0, nullptr, 0.0f);
            window_.RunPending();
        }
    }

    vst2::AEffect& effect_;
    platform::headless::HeadlessWindowFactory& factory_;
    platform::headless::HeadlessWindow& window_;
    platform::Point at_;
};

int cursorDisplayCount() {
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

bool classRegistered(HMODULE module) {
    char name[64];
    std::snprintf(name, sizeof name, "VorelanEn2Editor%p", reinterpret_cast<void*>(module));
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return GetClassInfoExA(module, name, &info) != 0;
}

bool automated(const testhost::Host& host, int index, float value) {
    return std::any_of(host.Automations.begin(), host.Automations.end(),
                       [&](const testhost::Automation& a) { return a.index == index && a.value == value; });
}

std::unique_ptr<testhost::PluginLibrary> loadPlugin() {
    std::string error;
    auto library = testhost::PluginLibrary::Load(pluginName, error);
    if (!library)
        std::fprintf(stderr, "cannot load %s: %s\n", pluginName.c_str(), error.c_str());
    return library;
}

// A test host with the plug-in, and a window of its own for the editor, made in that order and undone
// in the reverse one.
struct PlugInInHostWindow {
    std::unique_ptr<testhost::PluginLibrary> library = loadPlugin();
    testhost::Host host;
    std::unique_ptr<testhost::PluginInstance> plugin =
        library ? testhost::PluginInstance::Create(*library, host) : nullptr;
    guitest::HostWindow frame{900, 400};

    // Opens the editor in the window; answers the editor's window, or null.
    HWND OpenEditor() {
        plugin->Dispatch(vst2::effEditOpen, 0, 0, frame.Handle());
        return GetWindow(frame.Handle(), GW_CHILD);
    }
};

// The screenshot as the in-memory picture's layout (BGRA, bottom-up), for saving as PNG.
void savePng(const guitest::Screenshot& shot, const std::string& path) {
    std::vector<std::uint32_t> bits(shot.pixels.size());
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            bits[static_cast<std::size_t>(shot.height - 1 - y) * shot.width + x] =
                shot.At(x, y) | 0xFF000000u;
    platform::headless::SavePng({bits.data(), shot.width, shot.height}, path);
}

// The effect and its editor built into this program, shown in an in-memory window.
class HeadlessEditor {
public:
    HeadlessEditor() {
        testhost::Host::SetStarting(&host_);
        host::AudioEffect* object = new plugin::TPlugin(
            &testhost::Host::Callback, std::make_unique<editor::TPluginEditorFormClass>(factory_));
        testhost::Host::SetStarting(nullptr);
        if (!object)
            return;
        effect_ = object->getAeffect();
        host_.Attach(effect_);
        effect_->dispatcher(effect_, vst2::effOpen, 0, 0, nullptr, 0.0f);
        // The in-memory window has no parent; any non-null handle stands in for the host's window.
        effect_->dispatcher(effect_, vst2::effEditOpen, 0, 0, &host_, 0.0f);
        window_ = factory_.LastWindow();
        if (window_)
            window_->RunPending();
    }
    ~HeadlessEditor() {
        if (!effect_)
            return;
        effect_->dispatcher(effect_, vst2::effEditClose, 0, 0, nullptr, 0.0f);
        effect_->dispatcher(effect_, vst2::effClose, 0, 0, nullptr, 0.0f);
        host_.Detach(effect_);
    }
    HeadlessEditor(const HeadlessEditor&) = delete;
    HeadlessEditor& operator=(const HeadlessEditor&) = delete;

    platform::headless::HeadlessWindow* Window() const { return window_; }
    vst2::AEffect& Effect() const { return *effect_; }
    platform::headless::HeadlessWindowFactory& Factory() { return factory_; }

private:
    // A notice would otherwise wait for a click in a real message box.
    platform::headless::RecordingMessageBox messages_;
    platform::headless::HeadlessWindowFactory factory_;
    testhost::Host host_;
    vst2::AEffect* effect_ = nullptr;
    platform::headless::HeadlessWindow* window_ = nullptr;
};

// The picture an in-memory editor shows after the script, 0x00RRGGBB top row first.
guitest::Screenshot headlessPicture() {
    guitest::Screenshot shot;
    HeadlessEditor editor;
    platform::headless::HeadlessWindow* window = editor.Window();
    if (!window)
        return shot;
    HeadlessDriver driver(editor.Effect(), editor.Factory(), *window);
    runScript(driver);
    window->RunPending();
    const platform::PixelPicture& picture = window->Picture();
    shot.width = std::min(picture.width, kWidth);
    shot.height = std::min(picture.height, kHeight);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            shot.pixels.push_back(picture.Row(y)[x] & 0xFFFFFFu);
    platform::headless::SavePng(picture, outputFolder + "/editor-headless.png");
    return shot;
}

// --- driving the preset menu and the save dialog from inside their modal loops ---

struct MenuAndDialogScript {
    std::string fileToType;
    int menuKeysSent = 0;
    bool dialogAnswered = false;
    // The menu's items as the screen showed them before any was highlighted.
    std::vector<guitest::Screenshot> items;
};
MenuAndDialogScript* script = nullptr;

guitest::Screenshot captureScreen(const RECT& area) {
    guitest::Screenshot shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    if (shot.width <= 0 || shot.height <= 0)
        return shot;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        const HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        for (int i = 0; i < shot.width * shot.height; ++i)
            shot.pixels.push_back(p[i] & 0xFFFFFFu);
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

void CALLBACK driveMenuAndDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (!script)
        return;
    if (const HWND dialog = guitest::FindThreadWindow("#32770")) {
        if (script->dialogAnswered)
            return;
        if (!SetDlgItemTextA(dialog, 0x47c, script->fileToType.c_str()))
            SetDlgItemTextA(dialog, 0x480, script->fileToType.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        script->dialogAnswered = true;
        return;
    }
    const HWND menu = guitest::FindThreadWindow("#32768");
    if (!menu)
        return;
    if (script->items.empty()) {
        const HMENU handle = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
        const int count = handle ? GetMenuItemCount(handle) : 0;
        for (int i = 0; i < count; ++i) {
            RECT item{};
            if (GetMenuItemRect(nullptr, handle, static_cast<UINT>(i), &item))
                script->items.push_back(captureScreen(item));
        }
        if (script->items.empty())
            script->items.push_back({}); // nothing to capture; go on with the keys
        return;
    }
    // Down highlights "Save as", Return chooses it.
    const WORD key = script->menuKeysSent == 0 ? VK_DOWN : VK_RETURN;
    if (script->menuKeysSent < 2) {
        PostMessageA(menu, WM_KEYDOWN, key, 0);
        PostMessageA(menu, WM_KEYUP, key, 0xC0000000);
        ++script->menuKeysSent;
    }
}

} // namespace

TEST(EditorGui, OperatedWithTheMouseShowsWhatTheHeadlessEditorShows) {
    PlugInInHostWindow setup;
    ASSERT_TRUE(setup.plugin != nullptr);
    auto& [library, host, plugin, frame] = setup;
    plugin->Dispatch(vst2::effOpen);
    const HMODULE module = GetModuleHandleA(pluginName.c_str());

    vst2::ERect* rect = nullptr;
    EXPECT_EQ(plugin->Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_TRUE(rect != nullptr);
    EXPECT_EQ(rect->right - rect->left, 0) << "the size before the first open is 0 x 0";

    ASSERT_TRUE(frame.Handle() != nullptr);
    EXPECT_EQ(plugin->Dispatch(vst2::effEditOpen, 0, 0, frame.Handle()), 1);
    const HWND editor = GetWindow(frame.Handle(), GW_CHILD);
    ASSERT_TRUE(editor != nullptr) << "no child window in the host's window";
    EXPECT_TRUE(classRegistered(module));
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);
    POINT origin{0, 0};
    MapWindowPoints(editor, frame.Handle(), &origin, 1);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(plugin->Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, kWidth);
    EXPECT_EQ(rect->bottom, kHeight);

    const int cursorBefore = cursorDisplayCount();
    WineDriver driver(*plugin, editor);
    // What the script will check: the power state of channel 3 flips, its delay knob rises by the drag.
    const float power = plugin->GetParameter(kPowerOfChannel3);
    runScript(driver);

    EXPECT_EQ(plugin->GetParameter(kDelayOfChannel1), 0.123f) << "the refresh wrote the knob's position back";
    EXPECT_TRUE(std::none_of(host.Automations.begin(), host.Automations.end(),
                             [](const testhost::Automation& a) { return a.index == kDelayOfChannel1; }))
        << "the refresh reported a rewrite to the host";
    const float powerAfter = plugin->GetParameter(kPowerOfChannel3);
    EXPECT_EQ(powerAfter, std::nearbyint(power) == 0.0f ? 1.0f : 0.0f)
        << "the on/off button of channel 3 did not toggle (was channel 3 selected?)";
    EXPECT_TRUE(automated(host, kPowerOfChannel3, powerAfter));
    // The drag starts from the knob's shown position, and its first step writes the value.
    const float delay = plugin->GetParameter(kDelayOfChannel3);
    EXPECT_TRUE(automated(host, kDelayOfChannel3, delay)) << "the drag was not reported to the host";
    EXPECT_GE(delay, 0.2f) << "the drag of " << kDragPixels << " pixels did not raise the delay";
    POINT cursor{};
    GetCursorPos(&cursor);
    POINT anchor{kDelayKnob.x, kDelayKnob.y};
    ClientToScreen(editor, &anchor);
    EXPECT_EQ(cursor.x, anchor.x) << "the cursor did not return to where the drag began";
    EXPECT_EQ(cursor.y, anchor.y);
    EXPECT_EQ(cursorDisplayCount(), cursorBefore) << "the cursor was not shown again after the drag";

    // The screen, against the in-memory editor after the same actions.
    RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    driver.pump(50);
    const guitest::Screenshot shown = guitest::Capture(editor);
    savePng(shown, outputFolder + "/editor-wine64.png");
    const guitest::Screenshot expected = headlessPicture();
    ASSERT_EQ(shown.width, kWidth);
    ASSERT_EQ(shown.height, kHeight);
    ASSERT_EQ(expected.width, kWidth) << "the in-memory editor showed no picture";
    ASSERT_EQ(expected.height, kHeight);
    int wrong = 0;
    platform::Rect where;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (shown.At(x, y) != expected.At(x, y)) {
                ++wrong;
                where = where.Union({x, y, x + 1, y + 1});
            }
    EXPECT_EQ(wrong, 0) << "pixels differ inside x " << where.left << ".." << where.right - 1 << ", y "
                        << where.top << ".." << where.bottom - 1
                        << " (see editor-wine64.png and editor-headless.png in " << outputFolder << ")";

    EXPECT_EQ(plugin->Dispatch(vst2::effEditClose), 0);
    EXPECT_FALSE(IsWindow(editor)) << "closing the editor left its window";
    EXPECT_FALSE(classRegistered(module)) << "the window class stays registered with no editor open";
}

TEST(EditorGui, OpenAndCloseManyTimesAndCloseThePlugInWithTheEditorOpen) {
    PlugInInHostWindow setup;
    ASSERT_TRUE(setup.plugin != nullptr);
    auto& [library, host, plugin, frame] = setup;
    const int cursorBefore = cursorDisplayCount();
    for (int i = 0; i < 40; ++i) {
        plugin->Dispatch(vst2::effEditOpen, 0, 0, frame.Handle());
        guitest::Pump(i % 8 == 0 ? 60 : 5, [&] { plugin->Dispatch(vst2::effEditIdle); });
        plugin->Dispatch(vst2::effEditClose);
        ASSERT_TRUE(GetWindow(frame.Handle(), GW_CHILD) == nullptr) << "cycle " << i << " left its window";
    }
    // Nested opens keep one window; the plug-in closed with the editor open takes the window with it.
    plugin->Dispatch(vst2::effEditOpen, 0, 0, frame.Handle());
    plugin->Dispatch(vst2::effEditOpen, 0, 0, frame.Handle());
    guitest::Pump(100, [&] { plugin->Dispatch(vst2::effEditIdle); });
    const HWND editor = GetWindow(frame.Handle(), GW_CHILD);
    ASSERT_TRUE(editor != nullptr);
    EXPECT_TRUE(GetWindow(editor, GW_HWNDNEXT) == nullptr) << "a second open made a second window";
    plugin->Close();
    EXPECT_FALSE(IsWindow(editor));
    guitest::Pump(100);
    EXPECT_EQ(cursorDisplayCount(), cursorBefore);

    // A host that destroys its window before closing the editor: idles and the close still work.
    auto second = testhost::PluginInstance::Create(*library, host);
    ASSERT_TRUE(second != nullptr);
    {
        guitest::HostWindow doomed(900, 400);
        second->Dispatch(vst2::effEditOpen, 0, 0, doomed.Handle());
        guitest::Pump(100, [&] { second->Dispatch(vst2::effEditIdle); });
    }
    guitest::Pump(200, [&] { second->Dispatch(vst2::effEditIdle); });
    second->SetParameter(kDelayOfChannel1, 0.5f);
    guitest::Pump(100, [&] { second->Dispatch(vst2::effEditIdle); });
    EXPECT_EQ(second->Dispatch(vst2::effEditClose), 0);
    EXPECT_EQ(second->GetParameter(kDelayOfChannel1), 0.5f);
    second->Close();
}

TEST(EditorGui, HostWindowsThatGoFirstOrAreNoWindowsNeverTakeTheHostDown) {
    PlugInInHostWindow setup;
    ASSERT_TRUE(setup.plugin != nullptr);
    auto& plugin = setup.plugin;
    const auto idle = [&] { plugin->Dispatch(vst2::effEditIdle); };
    // The host destroys its window (and the editor's with it) before closing the editor, with idle
    // calls and the editor's timer messages between, once in the middle of a knob drag. The window is
    // a panel inside the host's frame: wine itself stops answering after some sixty top-level windows
    // destroyed in a row (with or without an editor inside).
    const int cursorBefore = cursorDisplayCount();
    for (const int idles : {1, 2, 5})
        for (int cycle = 0; cycle < 8; ++cycle) {
            // The host's panel for the editor inside its frame.
            const HWND panel =
                CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 800, 320, setup.frame.Handle(),
                                nullptr, GetModuleHandleA(nullptr), nullptr);
            ASSERT_EQ(plugin->Dispatch(vst2::effEditOpen, 0, 0, panel), 1);
            guitest::Pump(cycle % 5 == 0 ? 70 : 5, idle);
            const bool dragging = cycle == 4;
            if (dragging) {
                guitest::MoveMouseTo(GetWindow(panel, GW_CHILD), kDelayKnob.x, kDelayKnob.y);
                guitest::MouseButton(true);
                guitest::Pump(40, idle);
                guitest::MoveMouseBy(0, -5);
                guitest::Pump(40, idle);
            }
            DestroyWindow(panel);
            for (int i = 0; i < idles; ++i)
                guitest::Pump(cycle % 3 == 0 ? 60 : 0, idle);
            EXPECT_EQ(plugin->Dispatch(vst2::effEditClose), 0);
            if (dragging)
                guitest::MouseButton(false);
        }
    guitest::Pump(50);
    EXPECT_EQ(cursorDisplayCount(), cursorBefore) << "a drag ended by the host's window shows the cursor";

    // Handles that name no window: no editor, an answer of 0, and no count left for a close.
    const HWND destroyed = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                           GetModuleHandleA(nullptr), nullptr);
    DestroyWindow(destroyed);
    const HMENU menu = CreatePopupMenu();
    const void* notWindows[] = {nullptr, reinterpret_cast<void*>(std::uintptr_t{0x7FFF1234}), destroyed,
                                menu};
    for (const void* handle : notWindows)
        EXPECT_EQ(plugin->Dispatch(vst2::effEditOpen, 0, 0, const_cast<void*>(handle)), 0);
    DestroyMenu(menu);
    vst2::ERect* rect = nullptr;
    EXPECT_EQ(plugin->Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
    EXPECT_TRUE(rect != nullptr && rect->right - rect->left >= 0 && rect->bottom - rect->top >= 0);
    ASSERT_TRUE(setup.OpenEditor() != nullptr) << "a good window after all that opens the editor";
    guitest::Pump(60, idle);
    plugin->Dispatch(vst2::effEditClose);
    EXPECT_TRUE(GetWindow(setup.frame.Handle(), GW_CHILD) == nullptr) << "one close balances the one open";
}

TEST(EditorGui, PresetMenuLooksLikeTheHeadlessMenuAndSavesThroughTheSystemDialog) {
    PlugInInHostWindow setup;
    ASSERT_TRUE(setup.plugin != nullptr);
    auto& [library, host, plugin, frame] = setup;
    const HWND editor = setup.OpenEditor();
    ASSERT_TRUE(editor != nullptr);
    WineDriver driver(*plugin, editor);
    driver.Settle();

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string name = "vorelan gui preset";
    const std::string typed = std::string(temp) + name; // typed without the extension
    const std::string file = typed + ".fxp";
    DeleteFileA(file.c_str());

    MenuAndDialogScript steps;
    steps.fileToType = typed;
    script = &steps;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, driveMenuAndDialog);
    // The menu is the context menu of the panel: a right click where no control is.
    constexpr platform::Point kBackground{700, 40};
    guitest::MoveMouseTo(editor, kBackground.x, kBackground.y);
    driver.pump(60);
    guitest::MouseButton(true, false);
    driver.pump(60);
    guitest::MouseButton(false, false);
    const bool saved =
        guitest::PumpUntil([&] { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000,
                           [&] { plugin->Dispatch(vst2::effEditIdle); });
    KillTimer(nullptr, timer);
    script = nullptr;
    EXPECT_TRUE(steps.dialogAnswered)
        << "the save dialog never showed (menu keys sent: " << steps.menuKeysSent << ")";
    ASSERT_TRUE(saved) << "\"Save as\" wrote no file " << file;
    std::ifstream written(file, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<long long>(written.tellg()), 780ll);
    written.close();
    EXPECT_EQ(plugin->GetText(vst2::effGetProgramName).text, name)
        << "the program was not renamed after the file";
    DeleteFileA(file.c_str());
    plugin->Dispatch(vst2::effEditClose);

    // Each item as the screen showed it, against the in-memory menu drawn by the same code.
    HeadlessEditor reference;
    ASSERT_TRUE(reference.Window() != nullptr);
    reference.Window()->Click(kBackground, platform::MouseButton::Right);
    ASSERT_TRUE(reference.Window()->MenuOpen());
    const std::vector<platform::MenuItem> items = reference.Window()->MenuItems();
    ASSERT_EQ(steps.items.size(), items.size()) << "the menus have different numbers of items";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const guitest::Screenshot& shown = steps.items[i];
        const std::vector<std::uint32_t> drawn = reference.Window()->DrawMenuItem(static_cast<int>(i), false);
        const int width = std::min(shown.width, items[i].width);
        EXPECT_EQ(shown.height, items[i].height) << "item " << i;
        if (shown.height != items[i].height || drawn.empty())
            continue;
        int wrong = 0;
        for (int y = 0; y < shown.height; ++y)
            for (int x = 0; x < width; ++x)
                wrong +=
                    shown.At(x, y) !=
                    (drawn[static_cast<std::size_t>(shown.height - 1 - y) * items[i].width + x] & 0xFFFFFFu);
        EXPECT_EQ(wrong, 0) << "item " << i << " (" << items[i].caption << ") looks different on the screen";
    }
    reference.Window()->ChooseMenuItem(-1);
}

namespace {

// Closes the editor from inside the menu's or the dialog's modal loop, as a host may.
struct CloseInModalLoop {
    testhost::PluginInstance* plugin = nullptr;
    bool throughDialog = false;
    int menuKeysSent = 0;
    bool closed = false;
    bool dialogCancelled = false;
};
CloseInModalLoop* closer = nullptr;

void CALLBACK closeInModalLoop(HWND, UINT, UINT_PTR, DWORD) {
    if (!closer)
        return;
    if (const HWND dialog = guitest::FindThreadWindow("#32770")) {
        if (!closer->closed) {
            closer->plugin->Dispatch(vst2::effEditClose);
            closer->closed = true;
        } else if (!closer->dialogCancelled) {
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            closer->dialogCancelled = true;
        }
        return;
    }
    const HWND menu = guitest::FindThreadWindow("#32768");
    if (!menu || closer->closed)
        return;
    if (!closer->throughDialog) {
        closer->plugin->Dispatch(vst2::effEditClose);
        closer->closed = true;
        return;
    }
    const WORD key = closer->menuKeysSent == 0 ? VK_DOWN : VK_RETURN;
    if (closer->menuKeysSent < 2) {
        PostMessageA(menu, WM_KEYDOWN, key, 0);
        PostMessageA(menu, WM_KEYUP, key, 0xC0000000);
        ++closer->menuKeysSent;
    }
}

} // namespace

TEST(EditorGui, TheHostClosesTheEditorWhileItsMenuOrDialogIsOpen) {
    PlugInInHostWindow setup;
    ASSERT_TRUE(setup.plugin != nullptr);
    auto& [library, host, plugin, frame] = setup;
    for (const bool throughDialog : {false, true}) {
        const HWND editor = setup.OpenEditor();
        ASSERT_TRUE(editor != nullptr);
        WineDriver driver(*plugin, editor);
        driver.Settle();
        CloseInModalLoop steps;
        steps.plugin = plugin.get();
        steps.throughDialog = throughDialog;
        closer = &steps;
        const UINT_PTR timer = SetTimer(nullptr, 0, 200, closeInModalLoop);
        guitest::MoveMouseTo(editor, 700, 40);
        driver.pump(60);
        guitest::MouseButton(true, false);
        driver.pump(60);
        guitest::MouseButton(false, false);
        guitest::PumpUntil(
            [&] {
                return steps.closed && !IsWindow(editor) && !guitest::FindThreadWindow("#32768") &&
                       !guitest::FindThreadWindow("#32770");
            },
            20000, [&] { plugin->Dispatch(vst2::effEditIdle); });
        KillTimer(nullptr, timer);
        closer = nullptr;
        EXPECT_TRUE(steps.closed) << (throughDialog ? "the dialog" : "the menu") << " never showed";
        EXPECT_FALSE(IsWindow(editor)) << "the editor window outlived the close";
        EXPECT_TRUE(guitest::FindThreadWindow("#32768") == nullptr) << "the menu stayed open";
        guitest::Pump(100, [&] { plugin->Dispatch(vst2::effEditIdle); });
    }
    // The plug-in is whole and opens its editor again.
    plugin->SetParameter(kDelayOfChannel1, 0.25f);
    EXPECT_EQ(plugin->GetParameter(kDelayOfChannel1), 0.25f);
    plugin->Dispatch(vst2::effEditOpen, 0, 0, frame.Handle());
    EXPECT_TRUE(GetWindow(frame.Handle(), GW_CHILD) != nullptr);
    plugin->Dispatch(vst2::effEditClose);
}

namespace {

const char* messageSent = "";

// A floating-point trap ends the program with a message instead of an unexplained crash.
LONG CALLBACK reportTrap(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if ((code < EXCEPTION_FLT_DENORMAL_OPERAND || code > EXCEPTION_FLT_UNDERFLOW) && code != 0xC00002B4 &&
        code != 0xC00002B5) // STATUS_FLOAT_MULTIPLE_FAULTS and _TRAPS
        return EXCEPTION_CONTINUE_SEARCH;
    std::fprintf(stderr, "floating-point trap (exception %08lX) while the editor handled: %s\n",
                 static_cast<unsigned long>(code), messageSent);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

// A host that unmasks every floating-point exception and keeps that state in its message loop: the
// editor's window procedure (timer, painting, mouse) neither traps nor leaves the state changed.
TEST(EditorGui, TheWindowProcedureRunsInThePlugInsFloatingPointState) {
    PlugInInHostWindow setup;
    ASSERT_TRUE(setup.plugin != nullptr);
    auto& [library, host, plugin, frame] = setup;
    const HWND editor = setup.OpenEditor();
    ASSERT_TRUE(editor != nullptr);
    WineDriver(*plugin, editor).Settle();
    // The next timer tick moves the knob to 0.123 (and writes nothing); the click toggles a button.
    plugin->SetParameter(kDelayOfChannel1, 0.123f);
    const float power = plugin->GetParameter(kPowerOfChannel1);
    const guitest::Screenshot before = guitest::Capture(editor);

    PVOID handler = AddVectoredExceptionHandler(1, reportTrap);
    constexpr unsigned kHostMxcsr = 0x6000;           // every exception unmasked, rounding toward zero
    constexpr std::uint16_t kHostX87Control = 0x0F40; // every exception unmasked, toward zero
    const unsigned ownMxcsr = _mm_getcsr();
    std::uint16_t ownX87Control = 0;
    __asm__ volatile("fnstcw %0" : "=m"(ownX87Control));
    const LPARAM onButton = MAKELPARAM(kPowerButton.x, kPowerButton.y);
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } messages[] = {{"the timer", WM_TIMER, 1, 0},
                    {"a press", WM_LBUTTONDOWN, MK_LBUTTON, onButton},
                    {"a release", WM_LBUTTONUP, 0, onButton},
                    {"painting", WM_PAINT, 0, 0}};
    std::vector<std::string> changed;
    for (const auto& m : messages) {
        messageSent = m.what;
        if (m.message == WM_PAINT)
            InvalidateRect(editor, nullptr, FALSE);
        __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(kHostX87Control));
        _mm_setcsr(kHostMxcsr);
        if (m.message == WM_PAINT)
            UpdateWindow(editor);
        else
            SendMessageA(editor, m.message, m.wParam, m.lParam);
        const unsigned mxcsr = _mm_getcsr();
        std::uint16_t x87Control = 0, x87Status = 0;
        __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(x87Control), "=m"(x87Status));
        __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(ownX87Control));
        _mm_setcsr(ownMxcsr);
        if (mxcsr != kHostMxcsr || x87Control != kHostX87Control || (x87Status & 0xFF) != 0)
            changed.push_back(m.what);
    }
    RemoveVectoredExceptionHandler(handler);
    EXPECT_TRUE(changed.empty()) << "the host's state changed in " << changed.size() << " messages, first "
                                 << (changed.empty() ? "" : changed[0]);
    const guitest::Screenshot after = guitest::Capture(editor);
    bool knobMoved = false;
    for (int y = kDelayKnob.y - 15; y <= kDelayKnob.y + 15; ++y)
        for (int x = kDelayKnob.x - 15; x <= kDelayKnob.x + 15; ++x)
            knobMoved = knobMoved || after.At(x, y) != before.At(x, y);
    EXPECT_TRUE(knobMoved) << "the timer tick did not refresh the knob";
    EXPECT_EQ(plugin->GetParameter(kDelayOfChannel1), 0.123f) << "the refresh wrote the knob's position back";
    EXPECT_EQ(plugin->GetParameter(kPowerOfChannel1), std::nearbyint(power) == 0.0f ? 1.0f : 0.0f)
        << "the click did not toggle the channel's on/off button";
    plugin->Dispatch(vst2::effEditClose);
}

int main(int argc, char** argv) {
    if (argc > 1)
        pluginName = argv[1];
    if (argc > 2)
        outputFolder = argv[2];
    // Without a usable display no window can be made: say so and count as skipped.
    if (!guitest::HostWindow(10, 10).Handle()) {
        std::printf("skipped: no window can be created (no usable X display for wine)\n");
        return 77;
    }
    return minitest::RunAllTests();
}
