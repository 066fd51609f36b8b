// The X11 interface of the test probe: a 120 x 60 child of the host's window. A left click writes 0.75
// to "gain" between touch calls, a right click sends a Ping object to "control"; every port event the
// host delivers is shown in the window's name ("port 6: 0.25", "port 5: object 12" with the object's type
// URID), so a test reads them back from the X server.
#include <lv2/atom/atom.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint32_t kGainPort = 6;
constexpr std::uint32_t kControlPort = 4;

struct ProbeUi {
    Display* display = nullptr;
    Window window = 0;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    LV2_URID eventTransfer = 0, object = 0, ping = 0;
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    Window parent = 0;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    LV2_URID_Map* map = nullptr;
    for (int f = 0; features && features[f]; ++f) {
        const char* uri = features[f]->URI;
        void* data = features[f]->data;
        if (!std::strcmp(uri, LV2_UI__parent))
            parent = static_cast<Window>(reinterpret_cast<std::uintptr_t>(data));
        else if (!std::strcmp(uri, LV2_UI__resize))
            resize = static_cast<const LV2UI_Resize*>(data);
        else if (!std::strcmp(uri, LV2_UI__touch))
            touch = static_cast<const LV2UI_Touch*>(data);
        else if (!std::strcmp(uri, LV2_URID__map))
            map = static_cast<LV2_URID_Map*>(data);
    }
    if (!parent || !map)
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    auto* ui = new ProbeUi{display, 0, write, controller, touch};
    ui->eventTransfer = map->map(map->handle, LV2_ATOM__eventTransfer);
    ui->object = map->map(map->handle, LV2_ATOM__Object);
    ui->ping = map->map(map->handle, "urn:qarnoaudio:lv2-test-probe#Ping");
    ui->window = XCreateSimpleWindow(display, parent, 0, 0, 120, 60, 0, 0, 0);
    XSelectInput(display, ui->window, ButtonPressMask);
    XStoreName(display, ui->window, "probe");
    XMapRaised(display, ui->window);
    XFlush(display);
    if (resize)
        resize->ui_resize(resize->handle, 120, 60);
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(ui->window));
    return ui;
}

void cleanup(LV2UI_Handle handle) {
    auto* ui = static_cast<ProbeUi*>(handle);
    XDestroyWindow(ui->display, ui->window);
    XCloseDisplay(ui->display);
    delete ui;
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) {
    auto* ui = static_cast<ProbeUi*>(handle);
    char text[64] = "";
    if (format == 0 && size == sizeof(float)) {
        std::snprintf(text, sizeof text, "port %u: %g", port, double(*static_cast<const float*>(buffer)));
    } else if (format == ui->eventTransfer && size >= sizeof(LV2_Atom_Object)) {
        const auto* atom = static_cast<const LV2_Atom_Object*>(buffer);
        if (atom->atom.type == ui->object)
            std::snprintf(text, sizeof text, "port %u: object %u", port, atom->body.otype);
    }
    if (text[0]) {
        XStoreName(ui->display, ui->window, text);
        XFlush(ui->display);
    }
}

int idle(LV2UI_Handle handle) {
    auto* ui = static_cast<ProbeUi*>(handle);
    while (XPending(ui->display)) {
        XEvent event;
        XNextEvent(ui->display, &event);
        if (event.type != ButtonPress)
            continue;
        if (event.xbutton.button == Button1) {
            const float value = 0.75f;
            if (ui->touch)
                ui->touch->touch(ui->touch->handle, kGainPort, true);
            ui->write(ui->controller, kGainPort, sizeof value, 0, &value);
            if (ui->touch)
                ui->touch->touch(ui->touch->handle, kGainPort, false);
        } else if (event.xbutton.button == Button3) {
            const LV2_Atom_Object ping{{sizeof(LV2_Atom_Object_Body), ui->object}, {0, ui->ping}};
            ui->write(ui->controller, kControlPort, sizeof ping, ui->eventTransfer, &ping);
        }
    }
    return 0;
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface idleInterface{idle};
    return std::strcmp(uri, LV2_UI__idleInterface) ? nullptr : &idleInterface;
}

const LV2UI_Descriptor kDescriptor{"urn:qarnoaudio:lv2-test-probe#ui", instantiate, cleanup, portEvent,
                                   extensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
