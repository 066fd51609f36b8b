// The Linux editor as a host sees it: the built plug-in loaded into a small X11 host on a private
// Xvfb server, its editor opened in windows of depth 24 and 32, driven by idle calls at the rates real
// hosts use and by synthetic input, and compared with the editor drawn in memory.

#include "editor/TPluginEditorFormClass.h"
#include "editor/TPluginEditorwindow.h"
#include "host/TVstTemplateEditor.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowFactory.h"
#include "plugin/TPlugin.h"
#include "presets/FxpFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Overlay.h"

// Xlib last: its short macros (None, CursorShape) would clash with the names above.
#include "X11TestHost.h"
#include "tests/support/XlibDefaultHandler.h"
#if defined(VORELAN_HAVE_XRES)
#include <X11/extensions/XRes.h>
#endif

namespace fs = std::filesystem;
using x11test::EditorHost;

namespace {

constexpr int kWidth = 780;
constexpr int kHeight = 303;

// Errors of the test's own connection (a window that vanished while the test looked at it) are not
// failures of the editor; the editor's connection has its own trap.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

extern "C" vst2::VstIntPtr ReferenceHost(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32,
                                         vst2::VstIntPtr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// The same editor in memory: the effect and its form built into this program, in a headless window.
struct ReferenceEditor {
    platform::headless::HeadlessWindowFactory factory;
    std::unique_ptr<plugin::TPlugin> plugin;
    editor::TPluginEditorwindow* form = nullptr;

    ReferenceEditor() {
        plugin = std::make_unique<plugin::TPlugin>(&ReferenceHost,
                                                   std::make_unique<editor::TPluginEditorFormClass>(factory));
        auto* wrapper = static_cast<host::TVstTemplateEditor*>(plugin->getEditor());
        wrapper->open(nullptr);
        form = static_cast<editor::TPluginEditorwindow*>(wrapper->Form());
        if (form == nullptr)
            return;
        factory.LastWindow()->RunPending();
        factory.AdvanceClock(50);
        wrapper->idle();
        factory.LastWindow()->RunPending();
        form->UpdatePicture();
    }
    ~ReferenceEditor() {
        if (plugin && plugin->getEditor())
            plugin->getEditor()->close();
    }
    std::uint32_t Rgb(int x, int y) const { return form->Picture().Pixel(x, y) & 0x00FFFFFFu; }
    static platform::Point Centre(const skin::TCustomDIBControl& c) {
        return {c.Left() + c.Width() / 2, c.Top() + c.Height() / 2};
    }
};

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

int RootChildren(Display* display) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    if (children != nullptr)
        XFree(children);
    return static_cast<int>(count);
}

// The number of clients connected to the server; -1 where the X-Resource extension is missing.
int ServerClients(Display* display) {
#if defined(VORELAN_HAVE_XRES)
    int count = 0;
    XResClient* clients = nullptr;
    if (XResQueryClients(display, &count, &clients) != 0) {
        if (clients != nullptr)
            XFree(clients);
        return count;
    }
#else
    (void)display;
#endif
    return -1;
}

class X11EditorWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        XSetErrorHandler(IgnoreErrors);
        std::string error;
        library_ = testhost::PluginLibrary::Load(VORELAN_PLUGIN_PATH, error).release();
        ASSERT_NE(library_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete library_;
        library_ = nullptr;
    }

    void SetUp() override {
        Display* probe = XOpenDisplay(nullptr);
        if (probe == nullptr)
            GTEST_SKIP() << "no X display";
        XCloseDisplay(probe);
        char name[] = "/tmp/vorelan-x11-editor-XXXXXX";
        root_ = mkdtemp(name);
        // The preset folder goes to a private data folder, the dialog programs to a private PATH.
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        presets_ = root_ / "data" / "QarnoAudio" / "VorelanEn2";
        fs::create_directories(presets_);
        fs::create_directories(root_ / "bin");
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (root_ / "bin").c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", savedPath_.c_str(), 1);
        if (!root_.empty())
            fs::remove_all(root_);
    }

    void AddProgram(const std::string& name, const std::string& body) {
        const fs::path path = root_ / "bin" / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
    }

    // Opens the editor and idles until its first picture is up (the attach message and a refresh).
    void OpenAndSettle(EditorHost& host) {
        ASSERT_EQ(host.OpenEditor(), 1);
        host.Pump(300);
    }

    // Right-clicks the panel and waits for the preset menu; answers its window.
    Window OpenPresetMenu(EditorHost& host) {
        host.MoveTo(400, 290);
        host.Click(3);
        Window menu = 0;
        host.PumpUntil([&] { return (menu = host.FindPopupMenu()) != 0; }, 3000);
        return menu;
    }

    void ChooseFirstItem(EditorHost& host, Window menu) {
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(host.XDisplay(), menu, DefaultRootWindow(host.XDisplay()), 0, 0, &x, &y,
                              &child);
        XTestMoveRoot(host, x + 20, y + 6);
        host.Pump(100);
        host.Click(1);
    }

    static void XTestMoveRoot(EditorHost& host, int x, int y) {
        host.MoveTo(x - host.OriginX(), y - host.OriginY());
    }

    static testhost::PluginLibrary* library_;
    fs::path root_;
    fs::path presets_;
    std::string savedPath_;
};

testhost::PluginLibrary* X11EditorWindowTest::library_ = nullptr;

TEST_F(X11EditorWindowTest, OpensOneFixedSizeChildOfTheParentsDepthBeforeOpenReturns) {
    for (int depth : {24, 32}) {
        EditorHost host(*library_, depth);
        ASSERT_TRUE(host.Valid()) << "depth " << depth << ": " << host.Problem();
        vst2::ERect* rect = nullptr;
        EXPECT_EQ(host.Plugin().Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->right - rect->left, 0) << "no size before the first open";

        EXPECT_EQ(host.OpenEditor(), 1);
        // No idle yet: the child must already be there, mapped, at (0, 0) with the fixed size.
        const std::vector<Window> children = host.Children();
        ASSERT_EQ(children.size(), 1u) << "depth " << depth;
        XWindowAttributes attributes{};
        ASSERT_TRUE(XGetWindowAttributes(host.XDisplay(), children[0], &attributes));
        EXPECT_EQ(attributes.x, 0);
        EXPECT_EQ(attributes.y, 0);
        EXPECT_EQ(attributes.width, kWidth);
        EXPECT_EQ(attributes.height, kHeight);
        EXPECT_EQ(attributes.depth, depth) << "the child has the parent's depth";
        EXPECT_EQ(attributes.map_state, IsViewable);
        XSizeHints hints{};
        long supplied = 0;
        ASSERT_TRUE(XGetWMNormalHints(host.XDisplay(), children[0], &hints, &supplied));
        EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
        EXPECT_EQ(hints.min_width, kWidth);
        EXPECT_EQ(hints.max_width, kWidth);
        EXPECT_EQ(hints.min_height, kHeight);
        EXPECT_EQ(hints.max_height, kHeight);

        EXPECT_EQ(host.Plugin().Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect->right, kWidth);
        EXPECT_EQ(rect->bottom, kHeight);

        // Hosts that do not pair their calls: a second open creates nothing.
        EXPECT_EQ(host.OpenEditor(), 1);
        host.Pump(60);
        EXPECT_EQ(host.Children().size(), 1u);
        host.CloseEditor();
        EXPECT_EQ(host.Children().size(), 1u) << "the first close only balances the second open";
        host.CloseEditor();
        XSync(host.XDisplay(), False);
        EXPECT_TRUE(host.Children().empty()) << "the last close removes the window";
        host.Idle(); // idle with no editor does nothing
    }
}

TEST_F(X11EditorWindowTest, ShowsTheSamePixelsAsTheEditorDrawnInMemory) {
    ReferenceEditor reference;
    ASSERT_NE(reference.form, nullptr);
    for (int depth : {24, 32}) {
        EditorHost host(*library_, depth);
        ASSERT_TRUE(host.Valid()) << host.Problem();
        host.MoveTo(kWidth + 10, kHeight + 10); // the pointer away from the controls (no hover hint)
        OpenAndSettle(host);
        const x11test::Screenshot shot = host.Capture(kWidth, kHeight);
        ASSERT_EQ(shot.width, kWidth);
        int differences = 0;
        int firstX = -1;
        int firstY = -1;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (shot.At(x, y) != reference.Rgb(x, y) && differences++ == 0) {
                    firstX = x;
                    firstY = y;
                }
        EXPECT_EQ(differences, 0) << "depth " << depth << ": first difference at " << firstX << "," << firstY
                                  << (firstX >= 0 ? "" : "");
        host.CloseEditor();
    }
}

TEST_F(X11EditorWindowTest, RefreshFollowsTheHostAtTheIdleRatesOfRealHosts) {
    ReferenceEditor reference;
    ASSERT_NE(reference.form, nullptr);
    const skin::TDIBKnob& mix = *reference.form->DIBKnob2;
    const int index = mix.Tag;
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    host.MoveTo(kWidth + 10, kHeight + 10);
    OpenAndSettle(host);
    float value = 0.0f;
    for (int hz : {15, 30, 60}) {
        value = value < 0.5f ? 0.9f : 0.1f;
        const x11test::Screenshot before = host.Capture(kWidth, kHeight);
        host.Plugin().SetParameter(index, value);
        int idles = 0;
        auto knobChanged = [&] {
            ++idles;
            const x11test::Screenshot now = host.Capture(kWidth, kHeight);
            for (int y = mix.Top(); y < mix.Top() + mix.Height(); ++y)
                for (int x = mix.Left(); x < mix.Left() + mix.Width(); ++x)
                    if (now.At(x, y) != before.At(x, y))
                        return true;
            return false;
        };
        EXPECT_TRUE(host.PumpUntil(knobChanged, 3000, hz)) << hz << " Hz: the knob never followed the host";
        // The 50 ms refresh runs on the first idle call after its deadline; counted in idle calls, so a
        // slow machine cannot make this fail.
        const int period = 1000 / hz;
        EXPECT_LE(idles, (50 + period - 1) / period + 2) << hz << " Hz: the refresh came too late";
    }
    host.CloseEditor();
}

TEST_F(X11EditorWindowTest, ChannelButtonAndKnobDragWriteTheParameters) {
    ReferenceEditor reference;
    ASSERT_NE(reference.form, nullptr);
    const platform::Point channel3 = ReferenceEditor::Centre(*reference.form->ChannelButtons[2]);
    const platform::Point delay = ReferenceEditor::Centre(*reference.form->DIBKnob6);
    const int index = reference.form->DIBKnob6->Tag + 16 * 2; // the delay of voice 2

    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    OpenAndSettle(host);
    host.MoveTo(channel3.x, channel3.y);
    host.Click(1);
    host.Pump(100);

    const float before = host.Plugin().GetParameter(index);
    // The wheel does nothing to a knob.
    host.MoveTo(delay.x, delay.y);
    host.Click(4);
    host.Click(5);
    host.Pump(100);
    EXPECT_EQ(host.Plugin().GetParameter(index), before) << "wheel turns are ignored";

    host.TestHost().Automations.clear();
    host.Button(1, true);
    host.Pump(60);
    for (int i = 0; i < 10; ++i) {
        host.MoveBy(0, -2);
        host.Pump(40);
    }
    host.Button(1, false);
    host.Pump(100);
    const float after = host.Plugin().GetParameter(index);
    EXPECT_GT(after, before) << "dragging the delay knob up raises voice 2's delay (index " << index << ")";
    bool reported = false;
    for (const testhost::Automation& a : host.TestHost().Automations)
        reported = reported || a.index == index;
    EXPECT_TRUE(reported) << "the host was told about the change";
    int x = 0;
    int y = 0;
    host.PointerPosition(x, y);
    EXPECT_EQ(x, host.OriginX() + delay.x);
    EXPECT_EQ(y, host.OriginY() + delay.y) << "the pointer is back where the drag began";
    host.CloseEditor();
}

// Energy of what the effect gives back for a block of silence after a second of noise, with a double
// click on the given spot of the editor (or none) in between.
double TailAfterNoise(EditorHost& host, const platform::Point* doubleClick) {
    constexpr int kBlock = 512;
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    unsigned seed = 1;
    for (int block = 0; block < 44100 / kBlock; ++block) {
        for (int i = 0; i < kBlock; ++i) {
            seed = seed * 1664525u + 1013904223u;
            inL[i] = inR[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        }
        host.Plugin().Process(inputs, outputs, kBlock);
    }
    if (doubleClick != nullptr) {
        host.MoveTo(doubleClick->x, doubleClick->y);
        host.Click(1);
        host.Pump(100);
        host.Click(1);
    }
    host.Pump(200);
    std::fill(inL.begin(), inL.end(), 0.0f);
    std::fill(inR.begin(), inR.end(), 0.0f);
    std::fill(outL.begin(), outL.end(), 0.0f);
    std::fill(outR.begin(), outR.end(), 0.0f);
    host.Plugin().Process(inputs, outputs, kBlock);
    double energy = 0;
    for (int i = 0; i < kBlock; ++i)
        energy += double(outL[i]) * outL[i] + double(outR[i]) * outR[i];
    return energy;
}

TEST_F(X11EditorWindowTest, ADoubleClickOnTheResetSpotClearsTheRecordingBuffers) {
    ReferenceEditor reference;
    ASSERT_NE(reference.form, nullptr);
    const platform::Point reset = ReferenceEditor::Centre(*reference.form->Image2);
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    OpenAndSettle(host);
    const double untouched = TailAfterNoise(host, nullptr);
    ASSERT_GT(untouched, 1e-3) << "the factory program should echo the noise";
    const double cleared = TailAfterNoise(host, &reset);
    EXPECT_LT(cleared, untouched * 1e-6) << "the double click did not reach the panic reset";
    host.CloseEditor();
}

TEST_F(X11EditorWindowTest, SaveAsFromThePresetMenuRunsTheDialogProgram) {
    const fs::path chosen = presets_ / "Saved Preset";
    AddProgram("zenity", "[ \"$1\" = --version ] && echo 3.44.0 && exit 0\n"
                         "printf '%s\\n' '" +
                             chosen.string() + "'");
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    OpenAndSettle(host);
    const Window menu = OpenPresetMenu(host);
    ASSERT_NE(menu, 0u) << "the preset menu did not open";
    ChooseFirstItem(host, menu);
    const fs::path file = chosen.string() + ".fxp";
    EXPECT_TRUE(host.PumpUntil([&] { return fs::exists(file); }, 5000)) << "Save as wrote no file";
    host.Pump(100);
    EXPECT_EQ(host.FindPopupMenu(), 0u) << "the menu closed";
    if (fs::exists(file)) {
        EXPECT_EQ(fs::file_size(file), 780u);
    }
    EXPECT_EQ(host.Plugin().GetText(vst2::effGetProgramName).text, "Saved Preset");
    host.CloseEditor();
}

TEST_F(X11EditorWindowTest, WithoutADialogProgramTheNameIsTypedInsideTheEditor) {
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    OpenAndSettle(host);
    const Window menu = OpenPresetMenu(host);
    ASSERT_NE(menu, 0u);
    ChooseFirstItem(host, menu);
    host.Pump(200);
    host.Type("pad");
    host.Key("Return");
    const fs::path file = presets_ / "pad.fxp";
    EXPECT_TRUE(host.PumpUntil([&] { return fs::exists(file); }, 3000)) << "the typed name was not saved";

    // Saving over it asks first; "No" brings the name entry back, Escape cancels.
    const Window again = OpenPresetMenu(host);
    ASSERT_NE(again, 0u);
    ChooseFirstItem(host, again);
    host.Pump(200);
    const auto stamp = fs::last_write_time(file);
    for (int i = 0; i < 3; ++i)
        host.Key("BackSpace"); // the entry offers the last name
    host.Type("pad.fxp");
    host.Key("Return"); // the file exists: the question comes up
    host.Pump(100);
    host.Key("Escape"); // No
    host.Pump(100);
    host.Key("Escape"); // Cancel
    host.Pump(200);
    EXPECT_EQ(fs::last_write_time(file), stamp) << "nothing was overwritten";
    host.CloseEditor();
}

TEST_F(X11EditorWindowTest, ClosingTheEditorEndsAnOpenDialog) {
    const fs::path pidFile = root_ / "dialog.pid";
    AddProgram("zenity", "[ \"$1\" = --version ] && echo 4.0.0 && exit 0\necho $$ > '" + pidFile.string() +
                             "'\nexec /bin/sleep 60");
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    OpenAndSettle(host);
    const Window menu = OpenPresetMenu(host);
    ASSERT_NE(menu, 0u);
    ChooseFirstItem(host, menu);
    ASSERT_TRUE(host.PumpUntil([&] { return fs::exists(pidFile) && fs::file_size(pidFile) > 0; }, 5000));
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_EQ(kill(pid, 0), 0) << "the dialog runs while the editor is open";
    host.CloseEditor();
    EXPECT_NE(kill(pid, 0), 0) << "closing the editor ended the dialog program";
}

TEST_F(X11EditorWindowTest, APresetTheEffectRejectsIsReportedInAPanelInsideTheEditor) {
    std::ofstream(presets_ / "foreign.fxp") << std::string(780, 'x');
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    host.MoveTo(kWidth + 10, kHeight + 10);
    OpenAndSettle(host);
    const x11test::Screenshot before = host.Capture(kWidth, kHeight);

    // The menu: "Save as", the separator, then the preset; the keys skip the separator.
    const Window menu = OpenPresetMenu(host);
    ASSERT_NE(menu, 0u);
    host.Key("Down");
    host.Key("Down");
    host.Key("Return");
    host.MoveTo(kWidth + 10, kHeight + 10);
    // The rejection comes from the effect's idle handler; it must not block the host's idle call.
    bool dimmed = false;
    host.PumpUntil(
        [&] {
            const x11test::Screenshot now = host.Capture(kWidth, kHeight);
            dimmed = now.At(2, 2) != before.At(2, 2);
            return dimmed;
        },
        3000);
    ASSERT_TRUE(dimmed) << "no message panel appeared";

    // OK closes it and the editor looks as before.
    platform::x11::X11Overlay panel =
        platform::x11::X11Overlay::Message("VorelanEn2", "This is not a VorelanEn2 preset!");
    panel.Layout(kWidth, kHeight);
    const platform::Rect ok = panel.AcceptButton();
    host.MoveTo((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
    host.Click(1);
    host.MoveTo(kWidth + 10, kHeight + 10);
    host.Pump(200);
    const x11test::Screenshot after = host.Capture(kWidth, kHeight);
    EXPECT_EQ(after.At(2, 2), before.At(2, 2)) << "the panel is gone after OK";
    host.CloseEditor();
}

TEST_F(X11EditorWindowTest, SurvivesEveryTeardownOrderOfRealHosts) {
    {
        // Editor close, then plug-in close, then the parent goes.
        EditorHost host(*library_, 24);
        OpenAndSettle(host);
        host.CloseEditor();
        host.ClosePlugin();
        EXPECT_TRUE(host.Children().empty());
    }
    {
        // Plug-in closed with the editor open.
        EditorHost host(*library_, 32);
        OpenAndSettle(host);
        host.ClosePlugin();
        XSync(host.XDisplay(), False);
        EXPECT_TRUE(host.Children().empty()) << "closing the plug-in removed its editor";
    }
    {
        // The parent destroyed first, idle calls after it, then editor and plug-in closed.
        EditorHost host(*library_, 24);
        OpenAndSettle(host);
        host.DestroyParent();
        host.Pump(100);
        host.CloseEditor();
        host.ClosePlugin();
    }
    {
        // The parent destroyed first and no editor close at all, in the middle of a knob drag.
        ReferenceEditor reference;
        const platform::Point delay = ReferenceEditor::Centre(*reference.form->DIBKnob6);
        EditorHost host(*library_, 24);
        OpenAndSettle(host);
        host.MoveTo(delay.x, delay.y);
        host.Button(1, true);
        host.Pump(60);
        host.MoveBy(0, -5);
        host.Pump(60);
        host.DestroyParent();
        host.ClosePlugin();
        host.Button(1, false);
    }
    // Still alive: no X error reached this process's handler as a fatal one.
    SUCCEED();
}

TEST_F(X11EditorWindowTest, AnOpenWithoutAWindowAnswers0AndTheEffectStaysUsable) {
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    Display* display = host.XDisplay();
    const Window root = DefaultRootWindow(display);
    const Pixmap pixmap = XCreatePixmap(display, root, 16, 16, 24);
    XSetWindowAttributes attributes{};
    const Window inputOnly =
        XCreateWindow(display, root, 0, 0, 16, 16, 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    const Window destroyed = XCreateSimpleWindow(display, root, 0, 0, 16, 16, 0, 0, 0);
    XDestroyWindow(display, destroyed);
    XSync(display, False);
    const struct {
        const char* what;
        std::uintptr_t window;
    } cases[] = {{"no window", 0},
                 {"an id that names nothing", 0x7FFFFFF0u},
                 {"a pixmap", pixmap},
                 {"an input-only window", inputOnly},
                 {"a destroyed window", destroyed}};
    auto open = [&](std::uintptr_t window) {
        return host.Plugin().Dispatch(vst2::effEditOpen, 0, 0, reinterpret_cast<void*>(window));
    };
    for (const auto& c : cases) {
        EXPECT_EQ(open(c.window), 0) << c.what;
        vst2::ERect* rect = nullptr;
        EXPECT_EQ(host.Plugin().Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
        EXPECT_TRUE(rect != nullptr && rect->right == 0 && rect->bottom == 0) << c.what;
        host.Idle();
    }
    // No display at all: the editor's own connection cannot be opened.
    const std::string displayName = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", ":4711", 1);
    EXPECT_EQ(open(host.Parent()), 0) << "no display";
    setenv("DISPLAY", displayName.c_str(), 1);

    // The failed opens left no count behind: one good open and one close make and remove the editor.
    EXPECT_EQ(host.OpenEditor(), 1);
    host.Pump(60);
    EXPECT_EQ(host.Children().size(), 1u);
    host.CloseEditor();
    XSync(display, False);
    EXPECT_TRUE(host.Children().empty()) << "one close balances the one open that made an editor";
    std::vector<float> left(64, 0.25f), right(64, -0.25f), outLeft(64), outRight(64);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    host.Plugin().ProcessReplacing(inputs, outputs, 64);
    EXPECT_TRUE(std::isfinite(outLeft[63])) << "the effect still plays";
    XFreePixmap(display, pixmap);
    XDestroyWindow(display, inputOnly);
}

TEST_F(X11EditorWindowTest, AHostThatDestroysItsWindowBeforeClosingTheEditorSurvives) {
    // An error of an earlier request on the editor's connection, read by a later trap's first round
    // trip, must reach the trap's handler rather than the host's.
    EXPECT_EQ(xtest::StatusWithXlibsDefaultHandler([] {
                  Display* display = XOpenDisplay(nullptr);
                  {
                      platform::x11::X11ErrorTrap idle(display, false);
                      XMapWindow(display, 0x7FFFFFF0u);
                  }
                  {
                      platform::x11::X11ErrorTrap close(display);
                      if (!close.Lost(0x7FFFFFF0u))
                          return 2;
                  }
                  XCloseDisplay(display);
                  return 0;
              }),
              0);
    // Hosts close their frame (flushed, not synchronised), idle the editor once or more, then close it.
    // In every fourth cycle the editor certainly draws after its window is gone: it has a knob to
    // redraw (the host moved the parameter and the refresh is due) when it idles while the host holds
    // the server with its window's destruction not yet sent, so the error about that picture arrives
    // only after the idle call.
    for (const int idles : {1, 2, 5}) {
        const int status = xtest::StatusWithXlibsDefaultHandler([&] {
            alarm(60); // a wedged server grab ends the child instead of the test run
            EditorHost host(*library_, 24);
            Display* display = host.XDisplay();
            for (int cycle = 0; cycle < 60; ++cycle) {
                if (!host.Valid() || host.OpenEditor() != 1)
                    return 2;
                const bool held = cycle % 4 == 3;
                if (held) {
                    // First the whole pictures (the first one, and the first refresh's), which would
                    // not fit the connection's queue while the server is held.
                    host.Pump(80);
                    host.Plugin().SetParameter(1, 0.1f + 0.2f * static_cast<float>(cycle / 4 % 4));
                    usleep(60000);
                    XGrabServer(display);
                    XFlush(display);
                }
                host.DestroyParent(held ? EditorHost::Delivery::Buffered : EditorHost::Delivery::Flushed);
                host.Idle();
                if (held) {
                    XUngrabServer(display);
                    XFlush(display);
                }
                for (int i = 1; i < idles; ++i)
                    host.Idle();
                host.CloseEditor();
                if (!host.CreateParent())
                    return 3;
            }
            return host.OpenEditor() == 1 ? 0 : 4;
        });
        EXPECT_EQ(status, 0) << idles << " idle calls between the parent's destruction and the close";
    }
}

TEST_F(X11EditorWindowTest, TwoHundredOpenCloseCyclesLeaveNothingBehind) {
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    OpenAndSettle(host);
    host.CloseEditor();
    const int descriptors = OpenDescriptors();
    const int rootChildren = RootChildren(host.XDisplay());
    const int clients = ServerClients(host.XDisplay());
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_EQ(host.OpenEditor(), 1);
        host.Idle();
        host.Idle();
        host.CloseEditor();
    }
    XSync(host.XDisplay(), False);
    EXPECT_EQ(OpenDescriptors(), descriptors) << "a display connection or pipe was left open";
    EXPECT_EQ(RootChildren(host.XDisplay()), rootChildren) << "a window was left on the screen";
    EXPECT_EQ(ServerClients(host.XDisplay()), clients)
        << "the server still serves a connection of the editor";
    EXPECT_TRUE(host.Children().empty());
}

// Values the way a saved session holds them: none of them a multiple of 0.01, which is all a knob shows.
float SessionValue(int index) {
    return static_cast<float>(index % 97) / 97.0f + 0.004321f;
}

// A session in the host: every value not a multiple of 0.01. The user opens the editor, looks at every
// channel and LFO, leaves it idle, closes it, and opens and closes it once more. The effect and the host
// end as they began, bit for bit, and the host heard of no change.
TEST_F(X11EditorWindowTest, OpeningIdlingAndClosingTheEditorChangesNoValue) {
    ReferenceEditor reference;
    ASSERT_NE(reference.form, nullptr);
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    for (int i = 0; i < 181; ++i)
        host.Plugin().SetParameter(i, SessionValue(i));
    host.TestHost().ClearLogs();

    for (int opening = 0; opening < 2; ++opening) {
        OpenAndSettle(host);
        for (std::size_t t = 0; t < 8 && opening == 0; ++t)
            for (const auto* row : {&reference.form->ChannelButtons, &reference.form->LfoButtons}) {
                const platform::Point button = ReferenceEditor::Centre(*(*row)[t]);
                host.MoveTo(button.x, button.y);
                host.Click(1);
                host.Pump(80); // past the next refresh
            }
        host.MoveTo(kWidth + 10, kHeight + 10);
        host.Pump(300);
        host.CloseEditor();
    }
    for (int i = 0; i < 181; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(host.Plugin().GetParameter(i)),
                  std::bit_cast<std::uint32_t>(SessionValue(i)))
            << "parameter " << i;
    EXPECT_EQ(host.TestHost().CountCalls(vst2::audioMasterAutomate), 0u) << "the host was sent automation";
    EXPECT_EQ(host.TestHost().CountCalls(vst2::audioMasterBeginEdit), 0u);
}

// A preset chosen in the editor's menu reaches the host: every value it changes is reported with the
// value the file holds, then the host is asked to show them all again.
TEST_F(X11EditorWindowTest, APresetLoadedFromTheMenuReportsEveryChangedValueToTheHost) {
    presets::ParameterValues values{};
    for (int i = 0; i < 181; ++i)
        values[static_cast<std::size_t>(i)] = 1.0f - SessionValue(i);
    const presets::FxpBytes bytes = presets::WriteFxp("Session", values);
    std::ofstream(presets_ / "Session.fxp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EditorHost host(*library_, 24);
    ASSERT_TRUE(host.Valid()) << host.Problem();
    for (int i = 0; i < 181; ++i)
        host.Plugin().SetParameter(i, SessionValue(i));
    OpenAndSettle(host);
    host.TestHost().ClearLogs();

    ASSERT_NE(OpenPresetMenu(host), 0u);
    host.Key("Down");
    host.Key("Down");
    host.Key("Return");
    host.MoveTo(kWidth + 10, kHeight + 10);
    ASSERT_TRUE(
        host.PumpUntil([&] { return host.TestHost().CountCalls(vst2::audioMasterUpdateDisplay) > 0; }, 3000))
        << "the load never asked the host to update its display";

    const std::vector<testhost::Automation>& reported = host.TestHost().Automations;
    ASSERT_EQ(reported.size(), 181u) << "every value differs from the session's";
    for (int i = 0; i < 181; ++i) {
        EXPECT_EQ(reported[static_cast<std::size_t>(i)].index, i);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(reported[static_cast<std::size_t>(i)].value),
                  std::bit_cast<std::uint32_t>(values[static_cast<std::size_t>(i)]))
            << "parameter " << i;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(host.Plugin().GetParameter(i)),
                  std::bit_cast<std::uint32_t>(values[static_cast<std::size_t>(i)]))
            << "parameter " << i;
    }
    const std::vector<testhost::HostCall>& calls = host.TestHost().Calls;
    const auto update = std::find_if(calls.begin(), calls.end(), [](const testhost::HostCall& call) {
        return call.opcode == vst2::audioMasterUpdateDisplay;
    });
    EXPECT_TRUE(std::none_of(update, calls.end(), [](const testhost::HostCall& call) {
        return call.opcode == vst2::audioMasterAutomate;
    })) << "the display update comes after the values";
    EXPECT_EQ(host.TestHost().CountCalls(vst2::audioMasterUpdateDisplay), 1u);
    host.CloseEditor();
}

} // namespace
