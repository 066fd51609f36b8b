// The 64-bit plug-in's editor as a Windows host shows it: a test host loads the DLL, opens the editor in
// a top-level window of its own, pumps messages and idles, and operates the controls with synthetic
// input (a channel selector, the channel's on/off button and a knob drag). It checks the parameters the
// plug-in reports afterwards, and that what the window shows equals, pixel for pixel, the picture of an
// in-memory editor that went through the same actions.
//
//   vorelan_editor_gui_tests <plug-in file name> <folder for the screenshots>

#include "host/AudioEffect.h"
#include "host/PluginFactory.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowFactory.h"
#include "platform/headless/PngFile.h"
#include "tests/gui/GuiSupport.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"
#include "tests/host/minitest/MiniTest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

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
    // A host automation of a shown parameter: the refresh moves the knob and rewrites the value.
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

// The screenshot as the in-memory picture's layout (BGRA, bottom-up), for saving as PNG.
void savePng(const guitest::Screenshot& shot, const std::string& path) {
    std::vector<std::uint32_t> bits(shot.pixels.size());
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            bits[static_cast<std::size_t>(shot.height - 1 - y) * shot.width + x] = shot.At(x, y) | 0xFF000000u;
    platform::headless::SavePng({bits.data(), shot.width, shot.height}, path);
}

// The picture an in-memory editor shows after the script, 0x00RRGGBB top row first.
guitest::Screenshot headlessPicture() {
    guitest::Screenshot shot;
    platform::headless::HeadlessWindowFactory factory;
    testhost::Host host;
    testhost::Host::SetStarting(&host);
    host::AudioEffect* object = host::CreateEffectInstance(&testhost::Host::Callback);
    testhost::Host::SetStarting(nullptr);
    if (!object)
        return shot;
    vst2::AEffect& effect = *object->getAeffect();
    host.Attach(&effect);
    effect.dispatcher(&effect, vst2::effOpen, 0, 0, nullptr, 0.0f);
    // The in-memory window has no parent; any non-null handle stands in for the host's window.
    effect.dispatcher(&effect, vst2::effEditOpen, 0, 0, &host, 0.0f);
    if (platform::headless::HeadlessWindow* window = factory.LastWindow()) {
        window->RunPending();
        HeadlessDriver driver(effect, factory, *window);
        runScript(driver);
        window->RunPending();
        const platform::PixelPicture& picture = window->Picture();
        shot.width = std::min(picture.width, kWidth);
        shot.height = std::min(picture.height, kHeight);
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x)
                shot.pixels.push_back(picture.Row(y)[x] & 0xFFFFFFu);
        platform::headless::SavePng(picture, outputFolder + "/editor-headless.png");
    }
    effect.dispatcher(&effect, vst2::effEditClose, 0, 0, nullptr, 0.0f);
    effect.dispatcher(&effect, vst2::effClose, 0, 0, nullptr, 0.0f);
    host.Detach(&effect);
    return shot;
}

} // namespace

TEST(EditorGui, OperatedWithTheMouseShowsWhatTheHeadlessEditorShows) {
    auto library = loadPlugin();
    ASSERT_TRUE(library != nullptr);
    testhost::Host host;
    auto plugin = testhost::PluginInstance::Create(*library, host);
    ASSERT_TRUE(plugin != nullptr);
    plugin->Dispatch(vst2::effOpen);
    const HMODULE module = GetModuleHandleA(pluginName.c_str());

    vst2::ERect* rect = nullptr;
    EXPECT_EQ(plugin->Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_TRUE(rect != nullptr);
    EXPECT_EQ(rect->right - rect->left, 0) << "the size before the first open is 0 x 0";

    guitest::HostWindow frame(900, 400);
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

    EXPECT_EQ(plugin->GetParameter(kDelayOfChannel1), 0.12f)
        << "the refresh timer did not bring the knob in line and write the value back";
    EXPECT_TRUE(automated(host, kDelayOfChannel1, 0.12f)) << "the rewrite was not reported to the host";
    const float powerAfter = plugin->GetParameter(kPowerOfChannel3);
    EXPECT_EQ(powerAfter, std::nearbyint(power) == 0.0f ? 1.0f : 0.0f)
        << "the on/off button of channel 3 did not toggle (was channel 3 selected?)";
    EXPECT_TRUE(automated(host, kPowerOfChannel3, powerAfter));
    // The knob started from the channel's shown position; the refresh had rewritten the value to it.
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
                        << where.top << ".." << where.bottom - 1 << " (see editor-wine64.png and editor-headless.png in "
                        << outputFolder << ")";

    EXPECT_EQ(plugin->Dispatch(vst2::effEditClose), 0);
    EXPECT_FALSE(IsWindow(editor)) << "closing the editor left its window";
    EXPECT_FALSE(classRegistered(module)) << "the window class stays registered with no editor open";
}

TEST(EditorGui, OpenAndCloseManyTimesAndCloseThePlugInWithTheEditorOpen) {
    auto library = loadPlugin();
    ASSERT_TRUE(library != nullptr);
    testhost::Host host;
    auto plugin = testhost::PluginInstance::Create(*library, host);
    ASSERT_TRUE(plugin != nullptr);
    guitest::HostWindow frame(900, 400);
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
}

int main(int argc, char** argv) {
    if (argc > 1)
        pluginName = argv[1];
    if (argc > 2)
        outputFolder = argv[2];
    return minitest::RunAllTests();
}
