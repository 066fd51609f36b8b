// The X11 interface host, proven on the test probe's interface: embedded in the host's window, its
// writes and touches recorded, port events delivered, closed without an X error.
#include "tests/lv2/lib/Lv2UiHost.h"

#include <gtest/gtest.h>
#include <lv2/atom/forge.h>

#include <chrono>
#include <cstdlib>
#include <thread>

// Last: Xlib's macros (None, Bool) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr char kProbe[] = "urn:qarnoaudio:lv2-test-probe";

// Idle until the interface has written something, as a host's timer would keep calling it.
void idleUntilWritten(lv2host::Lv2UiHost& ui) {
    for (int i = 0; i < 200 && ui.Writes().empty(); ++i) {
        ui.Idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void click(lv2host::Lv2UiHost& ui, unsigned button) {
    XEvent event{};
    event.xbutton.type = ButtonPress;
    event.xbutton.window = ui.Widget();
    event.xbutton.button = button;
    event.xbutton.x = event.xbutton.y = 10;
    XSendEvent(ui.GetDisplay(), ui.Widget(), False, ButtonPressMask, &event);
    XSync(ui.GetDisplay(), False);
}

std::string windowName(lv2host::Lv2UiHost& ui) {
    char* name = nullptr;
    XFetchName(ui.GetDisplay(), ui.Widget(), &name);
    std::string text = name ? name : "";
    XFree(name);
    return text;
}

TEST(Lv2UiHost, EmbedsAnX11InterfaceAndRecordsWhatItTellsTheHost) {
    if (const char* display = std::getenv("DISPLAY"); !display || !*display)
        GTEST_SKIP() << "no X display";
    lv2host::Lv2World world(VORELAN_LV2_PROBE_DIR);
    lv2host::Lv2UiHost ui(world, kProbe);

    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(ui.GetDisplay(), ui.Widget(), &root, &parent, &children, &count));
    XFree(children);
    EXPECT_EQ(parent, ui.Parent()) << "the interface is a child of the host's window";
    EXPECT_EQ(ui.RequestedSize(), std::make_pair(120, 60));

    click(ui, Button1);
    idleUntilWritten(ui);
    ASSERT_EQ(ui.Writes().size(), 1u);
    EXPECT_EQ(ui.Writes()[0].port, 6u);
    EXPECT_EQ(ui.Writes()[0].protocol, 0u);
    EXPECT_EQ(ui.Writes()[0].Value(), 0.75f);
    ASSERT_EQ(ui.Touches().size(), 2u);
    EXPECT_TRUE(ui.Touches()[0].port == 6 && ui.Touches()[0].grabbed);
    EXPECT_TRUE(ui.Touches()[1].port == 6 && !ui.Touches()[1].grabbed);

    ui.ClearRecords();
    click(ui, Button3);
    idleUntilWritten(ui);
    ASSERT_EQ(ui.Writes().size(), 1u);
    EXPECT_EQ(ui.Writes()[0].port, 4u);
    EXPECT_EQ(ui.Writes()[0].protocol, ui.Urid(LV2_ATOM__eventTransfer));
    EXPECT_EQ(reinterpret_cast<const LV2_Atom_Object*>(ui.Writes()[0].Atom())->body.otype,
              ui.Urid("urn:qarnoaudio:lv2-test-probe#Ping"));

    // Host to interface: a control value, then a message from the processor.
    ui.ClearRecords();
    ui.PortEvent(6, 0.25f);
    ui.Idle();
    EXPECT_EQ(windowName(ui), "port 6: 0.25");
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, world.Urids().MapData());
    std::uint64_t buffer[8];
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge, &frame, 0, ui.Urid("urn:qarnoaudio:lv2-test-probe#Info"));
    lv2_atom_forge_pop(&forge, &frame);
    ui.PortEvent(5, reinterpret_cast<const LV2_Atom*>(buffer));
    ui.Idle();
    EXPECT_EQ(windowName(ui),
              "port 5: object " + std::to_string(ui.Urid("urn:qarnoaudio:lv2-test-probe#Info")));
    EXPECT_TRUE(ui.Writes().empty()) << "an interface answers no port event with a write";
    EXPECT_EQ(ui.XErrors(), 0);
}

} // namespace
