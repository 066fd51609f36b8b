// VorelanEn2_ui.so embedded as hosts embed X11 interfaces (suil, ui:parent), under the test display:
// it opens as a 780 x 303 child of the host's window, a host's port event moves the knob on the screen
// without a write back, a knob drag reaches the port through the write function as one touch, the LFO
// lights follow the processor's EditorState, the panic button, a preset chosen in the menu (every
// changed value as a port write, the name as a message) and "Save as" (the new name as a message) reach
// the host, and it closes without an X error.
#include "engine/ParameterTable.h"
#include "lv2/Lv2Contract.h"
#include "presets/FxpFile.h"
#include "tests/lv2/lib/Lv2UiHost.h"

#include <gtest/gtest.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, Bool) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "tests/support/XlibDefaultHandler.h"

namespace {

namespace fs = std::filesystem;
using Host = lv2host::Lv2UiHost;

constexpr int kWidth = 780;
constexpr int kHeight = 303;
// The Mix knob (parameter 1) and the panic label, in the editor's client coordinates.
constexpr int kMixX = 718 + 24, kMixY = 128 + 24;
constexpr int kPanicX = 704 + 38, kPanicY = 4 + 10;

// Idles as a host's timer does (every 10 ms) until done answers true or ms have passed.
bool IdleUntil(Host& ui, const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        ui.Idle();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
void IdleFor(Host& ui, int ms) {
    IdleUntil(
        ui, [] { return false; }, ms);
}

// The widget's pixels in a rectangle (0x00RRGGBB each).
std::vector<unsigned long> Pixels(Host& ui, int x, int y, int w, int h) {
    XSync(ui.GetDisplay(), False);
    XImage* image = XGetImage(ui.GetDisplay(), ui.Widget(), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    if (image == nullptr)
        return pixels;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            pixels.push_back(XGetPixel(image, i, j) & 0xFFFFFFul);
    XDestroyImage(image);
    return pixels;
}

// Pointer input through XTest at the editor's client coordinates (the host's window is at the screen's
// origin and the editor at the window's).
void MoveTo(Host& ui, int x, int y) {
    XTestFakeMotionEvent(ui.GetDisplay(), DefaultScreen(ui.GetDisplay()), x, y, CurrentTime);
    XSync(ui.GetDisplay(), False);
}
void Button(Host& ui, unsigned button, bool down) {
    XTestFakeButtonEvent(ui.GetDisplay(), button, down ? True : False, CurrentTime);
    XSync(ui.GetDisplay(), False);
}
void Key(Host& ui, const char* name) {
    const KeyCode code = XKeysymToKeycode(ui.GetDisplay(), XStringToKeysym(name));
    XTestFakeKeyEvent(ui.GetDisplay(), code, True, CurrentTime);
    XTestFakeKeyEvent(ui.GetDisplay(), code, False, CurrentTime);
    XSync(ui.GetDisplay(), False);
}

// Forgets what the host recorded, opens the preset menu with a right click on the editor and chooses
// its entry at position (1 is the first) with the keyboard.
void ChooseFromPresetMenu(Host& ui, int position) {
    ui.ClearRecords();
    MoveTo(ui, 400, 290);
    Button(ui, 3, true);
    Button(ui, 3, false);
    IdleFor(ui, 300);
    for (int i = 0; i < position; ++i)
        Key(ui, "Down");
    Key(ui, "Return");
}

// The processor's EditorState message with every LFO at level.
void SendEditorState(Host& ui, lv2host::Lv2World& world, float level) {
    std::uint64_t buffer[32];
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, world.Urids().MapData());
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge, &object, 0, ui.Urid(lv2::kEditorStateUri));
    const std::vector<float> levels(8, level);
    lv2_atom_forge_key(&forge, ui.Urid(lv2::kLfoLevelsKey));
    lv2_atom_forge_vector(&forge, sizeof(float), ui.Urid(LV2_ATOM__Float), 8, levels.data());
    lv2_atom_forge_key(&forge, ui.Urid(lv2::kSampleRateKey));
    lv2_atom_forge_float(&forge, 48000.0f);
    lv2_atom_forge_key(&forge, ui.Urid(lv2::kTempoKey));
    lv2_atom_forge_float(&forge, 128.0f);
    lv2_atom_forge_pop(&forge, &object);
    ui.PortEvent(lv2::kNotify, reinterpret_cast<const LV2_Atom*>(buffer));
}

// The messages the interface wrote to the processor, by type.
std::vector<const Host::Write*> Messages(const Host& ui, LV2_URID otype) {
    std::vector<const Host::Write*> found;
    for (const Host::Write& write : ui.Writes())
        if (write.port == lv2::kControl && write.protocol != 0 &&
            reinterpret_cast<const LV2_Atom_Object*>(write.Atom())->body.otype == otype)
            found.push_back(&write);
    return found;
}

TEST(Lv2Ui, WorksInAHostWindowAndClosesCleanly) {
    if (const char* display = std::getenv("DISPLAY"); !display || !*display)
        GTEST_SKIP() << "no X display";
    // A preset folder of this test's own with one preset whose every value differs from the factory's.
    const fs::path root = fs::temp_directory_path() / ("vorelan-lv2ui-" + std::to_string(::getpid()));
    const fs::path folder = root / "QarnoAudio" / "VorelanEn2";
    fs::create_directories(folder);
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    presets::ParameterValues values{};
    for (int i = 0; i < engine::kParameterCount; ++i)
        values[static_cast<std::size_t>(i)] =
            1.0f - engine::kParameters[static_cast<std::size_t>(i)].factory * 0.5f;
    const presets::FxpBytes bytes = presets::WriteFxp("Session", values);
    std::ofstream(folder / "Session.fxp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    lv2host::Lv2World world(VORELAN_DIST_DIR);
    {
        Host ui(world, lv2::kPluginUri);
        Window rootWindow = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        ASSERT_TRUE(XQueryTree(ui.GetDisplay(), ui.Widget(), &rootWindow, &parent, &children, &count));
        XFree(children);
        EXPECT_EQ(parent, ui.Parent()) << "the editor is a child of the host's window";
        EXPECT_EQ(ui.RequestedSize(), std::make_pair(kWidth, kHeight));
        XWindowAttributes attributes{};
        XGetWindowAttributes(ui.GetDisplay(), ui.Widget(), &attributes);
        EXPECT_EQ(attributes.width, kWidth);
        EXPECT_EQ(attributes.height, kHeight);

        // As hosts do: every control's value right after instantiation.
        for (int i = 0; i < engine::kParameterCount; ++i)
            ui.PortEvent(lv2::ParameterPort(i), engine::kParameters[static_cast<std::size_t>(i)].factory);
        IdleFor(ui, 200);

        // A host's change moves the knob on the screen, and nothing is written back.
        ui.PortEvent(lv2::ParameterPort(1), 0.0f);
        IdleFor(ui, 120);
        const auto knobAtZero = Pixels(ui, kMixX - 24, kMixY - 24, 48, 48);
        ui.PortEvent(lv2::ParameterPort(1), 1.0f);
        IdleFor(ui, 120);
        EXPECT_NE(Pixels(ui, kMixX - 24, kMixY - 24, 48, 48), knobAtZero) << "the Mix knob did not move";
        ui.PortEvent(lv2::ParameterPort(1), 0.0f);
        IdleFor(ui, 120);
        EXPECT_EQ(Pixels(ui, kMixX - 24, kMixY - 24, 48, 48), knobAtZero);
        EXPECT_TRUE(ui.Writes().empty()) << "an interface answers no port event with a write";

        // The LFO lights follow the processor's state.
        SendEditorState(ui, world, 0.0f);
        IdleFor(ui, 100);
        const auto dark = Pixels(ui, 0, 0, kWidth, kHeight);
        SendEditorState(ui, world, 1.0f);
        IdleFor(ui, 100);
        EXPECT_NE(Pixels(ui, 0, 0, kWidth, kHeight), dark) << "the LFO lights stayed dark";

        // A drag up the Mix knob: writes to its port, bracketed by one touch.
        MoveTo(ui, kMixX, kMixY);
        IdleFor(ui, 50);
        Button(ui, 1, true);
        IdleFor(ui, 50);
        for (int step = 0; step < 8; ++step) {
            XTestFakeRelativeMotionEvent(ui.GetDisplay(), 0, -5, CurrentTime);
            XSync(ui.GetDisplay(), False);
            IdleFor(ui, 30);
        }
        Button(ui, 1, false);
        IdleFor(ui, 100);
        ASSERT_FALSE(ui.Writes().empty()) << "the drag wrote nothing";
        for (const Host::Write& write : ui.Writes()) {
            EXPECT_EQ(write.port, lv2::ParameterPort(1));
            EXPECT_EQ(write.protocol, 0u);
        }
        EXPECT_GT(ui.Writes().back().Value(), 0.0f);
        ASSERT_GE(ui.Touches().size(), 2u);
        EXPECT_TRUE(ui.Touches().front().port == lv2::ParameterPort(1) && ui.Touches().front().grabbed);
        EXPECT_TRUE(ui.Touches().back().port == lv2::ParameterPort(1) && !ui.Touches().back().grabbed);

        // The panic label's double click is a Panic message.
        ui.ClearRecords();
        MoveTo(ui, kPanicX, kPanicY);
        Button(ui, 1, true);
        Button(ui, 1, false);
        Button(ui, 1, true);
        Button(ui, 1, false);
        EXPECT_TRUE(IdleUntil(
            ui, [&] { return !Messages(ui, ui.Urid(lv2::kPanicUri)).empty(); }, 2000));

        // The preset from the menu: each value it changes as a port write, then its name in a message.
        ChooseFromPresetMenu(ui, 2);
        MoveTo(ui, kWidth + 10, kHeight + 10);
        ASSERT_TRUE(IdleUntil(
            ui, [&] { return !Messages(ui, ui.Urid(lv2::kPresetLoadedUri)).empty(); }, 3000))
            << "the load sent no PresetLoaded message";
        int changed = 0;
        for (const Host::Write& write : ui.Writes()) {
            const int parameter = lv2::PortParameter(write.port);
            if (write.protocol != 0 || parameter < 0)
                continue;
            ++changed;
            EXPECT_EQ(write.Value(), values[static_cast<std::size_t>(parameter)])
                << "parameter " << parameter;
        }
        // Mix was set to 0 above and the preset's Mix differs from it as from every factory value.
        EXPECT_EQ(changed, engine::kParameterCount);
        const auto* loaded = reinterpret_cast<const LV2_Atom_Object*>(
            Messages(ui, ui.Urid(lv2::kPresetLoadedUri)).front()->Atom());
        const LV2_Atom* name = nullptr;
        lv2_atom_object_get(loaded, ui.Urid(lv2::kProgramNameKey), &name, 0);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(reinterpret_cast<const char*>(name + 1), "Session");

        // "Save as", the menu's first entry, with no dialog program on the PATH: the editor asks for the
        // name itself, writes the preset and renames the program.
        const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", root.c_str(), 1);
        ChooseFromPresetMenu(ui, 1);
        IdleFor(ui, 300);
        for (const char* key : {"p", "a", "d", "Return"})
            Key(ui, key);
        const bool renamed = IdleUntil(
            ui, [&] { return !Messages(ui, ui.Urid(lv2::kProgramNameUri)).empty(); }, 3000);
        setenv("PATH", path.c_str(), 1);
        ASSERT_TRUE(renamed) << "Save as sent no ProgramName message";
        EXPECT_TRUE(fs::exists(folder / "pad.fxp"));
        const auto* saved = reinterpret_cast<const LV2_Atom_Object*>(
            Messages(ui, ui.Urid(lv2::kProgramNameUri)).front()->Atom());
        name = nullptr;
        lv2_atom_object_get(saved, ui.Urid(lv2::kProgramNameKey), &name, 0);
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(reinterpret_cast<const char*>(name + 1), "pad");
        EXPECT_EQ(ui.XErrors(), 0);
    }
    fs::remove_all(root);
}

// Hosts close their plug-in window (flushed, not synchronised), idle the interface once or more, then
// clean it up, with Xlib's default error handler, which ends the process on any X error that reaches it.
// In every fourth cycle the interface certainly draws after its window is gone: a knob moved by the
// host is due to be redrawn when it idles while a second connection holds the server, having destroyed
// the window, so the error about that picture comes only after the idle call. That connection lets go
// after 50 ms on a thread of its own, so an interface that waits for the server meanwhile is only late.
TEST(Lv2Ui, SurvivesAHostThatDestroysItsWindowBeforeTheCleanup) {
    if (const char* display = std::getenv("DISPLAY"); !display || !*display)
        GTEST_SKIP() << "no X display";
    lv2host::Lv2World world(VORELAN_DIST_DIR);
    lv2host::UiHostOptions defaultHandler;
    defaultHandler.countErrors = false;
    for (const int idles : {1, 2, 5}) {
        const int status = xtest::StatusWithXlibsDefaultHandler([&] {
            alarm(60); // a wedged server ends the child instead of the test run
            Display* holder = XOpenDisplay(nullptr);
            if (holder == nullptr)
                return 3;
            for (int cycle = 0; cycle < 60; ++cycle) {
                try {
                    Host ui(world, lv2::kPluginUri, {}, defaultHandler);
                    const bool held = cycle % 4 == 3;
                    std::thread release;
                    if (held) {
                        // First the whole pictures, which would not fit the connection's queue while the
                        // server is held.
                        IdleFor(ui, 80);
                        ui.PortEvent(lv2::ParameterPort(1), 0.1f + 0.2f * static_cast<float>(cycle / 4 % 4));
                        usleep(60000);
                        XGrabServer(holder);
                        ui.DestroyParent(false, holder);
                        XSync(holder, False);
                        release = std::thread([holder] {
                            usleep(50000);
                            XUngrabServer(holder);
                            XFlush(holder);
                        });
                    } else {
                        ui.DestroyParent(true);
                    }
                    ui.Idle();
                    if (release.joinable())
                        release.join();
                    for (int i = 1; i < idles; ++i)
                        ui.Idle();
                } catch (const std::exception&) {
                    return 2; // the interface did not instantiate
                }
            }
            XCloseDisplay(holder);
            return 0;
        });
        EXPECT_EQ(status, 0) << idles << " idle calls between the parent's destruction and the cleanup";
    }
}

// A host that hands over no window, an id that names none, a pixmap or a window destroyed already gets no
// interface (instantiate answers null), no X error, and a good interface afterwards.
TEST(Lv2Ui, AnInterfaceWithoutAWindowIsNotMadeAndTheHostGoesOn) {
    if (const char* display = std::getenv("DISPLAY"); !display || !*display)
        GTEST_SKIP() << "no X display";
    lv2host::Lv2World world(VORELAN_DIST_DIR);
    EXPECT_EQ(xtest::StatusWithXlibsDefaultHandler([&] {
                  Display* display = XOpenDisplay(nullptr);
                  const Window root = DefaultRootWindow(display);
                  const Window destroyed = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
                  XDestroyWindow(display, destroyed);
                  const Pixmap pixmap =
                      XCreatePixmap(display, root, 8, 8, static_cast<unsigned>(DefaultDepth(display, 0)));
                  XSync(display, False);
                  int code = 10;
                  for (const unsigned long parent : {0ul, 0x1FFFFFF0ul, destroyed, pixmap}) {
                      lv2host::UiHostOptions options;
                      options.countErrors = false;
                      options.parent = parent;
                      try {
                          Host ui(world, lv2::kPluginUri, {}, options);
                          return code; // an interface without a window to live in
                      } catch (const std::runtime_error&) {
                      }
                      ++code;
                  }
                  lv2host::UiHostOptions good;
                  good.countErrors = false;
                  Host ui(world, lv2::kPluginUri, {}, good);
                  IdleFor(ui, 100);
                  XFreePixmap(display, pixmap);
                  XCloseDisplay(display);
                  return 0;
              }),
              0)
        << "10: a null parent, 11: an id of no window, 12: a destroyed window, 13: a pixmap made an "
           "interface; 1: "
           "an X error reached the host";
}

} // namespace
