#include "tests/lv2/lib/Lv2UiHost.h"

#include <lv2/atom/util.h>
#include <suil/suil.h>

#include <X11/Xlib.h>

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace lv2host {

namespace {

std::atomic<int> xErrors{0};

int countError(Display*, XErrorEvent*) {
    ++xErrors;
    return 0;
}

std::string filePath(const LilvNode* uri) {
    char* path = lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
    if (!path)
        return {};
    std::string text = path;
    lilv_free(path);
    return text;
}

} // namespace

Lv2UiHost::Lv2UiHost(Lv2World& world, const std::string& pluginUri, const std::string& uiUri,
                     const UiHostOptions& options)
    : world_(world), plugin_(world.Plugin(pluginUri)), countsErrors_(options.countErrors) {
    if (!plugin_)
        throw std::runtime_error("no LV2 plug-in " + pluginUri + " in the search path");
    // Find the X11 interface before touching the display, so a missing one is reported as such.
    const Node x11 = world_.NewUri(LV2_UI__X11UI);
    LilvUIs* uis = lilv_plugin_get_uis(plugin_);
    const LilvUI* chosen = nullptr;
    const LilvNode* uiType = nullptr;
    LILV_FOREACH(uis, it, uis) {
        const LilvUI* ui = lilv_uis_get(uis, it);
        const LilvNode* type = nullptr;
        if ((uiUri.empty() || uiUri == NodeText(lilv_ui_get_uri(ui))) &&
            lilv_ui_is_supported(ui, suil_ui_supported, x11.get(), &type)) {
            chosen = ui;
            uiType = type;
            break;
        }
    }
    if (!chosen) {
        lilv_uis_free(uis);
        throw std::runtime_error(pluginUri + " has no X11 interface" + (uiUri.empty() ? "" : " " + uiUri));
    }
    const std::string chosenUri = NodeText(lilv_ui_get_uri(chosen));
    const std::string typeUri = NodeText(uiType);
    lilv_world_load_resource(world_.World(), lilv_ui_get_uri(chosen));
    const std::string bundle = filePath(lilv_ui_get_bundle_uri(chosen));
    const std::string binary = filePath(lilv_ui_get_binary_uri(chosen));
    lilv_uis_free(uis);

    display_ = XOpenDisplay(nullptr);
    if (!display_)
        throw std::runtime_error("no X display to open the interface on");
    if (countsErrors_)
        previousErrorHandler_ = reinterpret_cast<void*>(XSetErrorHandler(countError));
    xErrors = 0;
    if (options.parent) {
        parent_ = *options.parent;
        ownsParent_ = false;
    } else {
        parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 800, 400, 0, 0, 0);
        XStoreName(display_, parent_, "LV2 test host");
        XMapWindow(display_, parent_);
        XSync(display_, False);
    }

    resizeData_ = {this, resize};
    featureData_ = {{LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_))},
                    {LV2_UI__resize, &resizeData_},
                    {LV2_UI__idleInterface, nullptr}};
    for (const LV2_Feature& feature : featureData_)
        features_.push_back(&feature);
    features_.push_back(world_.Urids().MapFeature());
    features_.push_back(world_.Urids().UnmapFeature());
    features_.push_back(nullptr);

    suilHost_ = suil_host_new(write, portIndex, nullptr, nullptr);
    suil_host_set_touch_func(suilHost_, touch);
    instance_ = suil_instance_new(suilHost_, this, LV2_UI__X11UI, pluginUri.c_str(), chosenUri.c_str(),
                                  typeUri.c_str(), bundle.c_str(), binary.c_str(), features_.data());
    if (!instance_) {
        suil_host_free(suilHost_);
        if (ownsParent_)
            XDestroyWindow(display_, parent_);
        XCloseDisplay(display_);
        if (countsErrors_)
            XSetErrorHandler(reinterpret_cast<XErrorHandler>(previousErrorHandler_));
        throw std::runtime_error(chosenUri + " does not instantiate");
    }
    widget_ = static_cast<Window>(reinterpret_cast<std::uintptr_t>(suil_instance_get_widget(instance_)));
    idle_ = static_cast<const LV2UI_Idle_Interface*>(
        suil_instance_extension_data(instance_, LV2_UI__idleInterface));
    XSync(display_, False);
}

Lv2UiHost::~Lv2UiHost() {
    suil_instance_free(instance_);
    suil_host_free(suilHost_);
    if (ownsParent_)
        XDestroyWindow(display_, parent_);
    XSync(display_, False);
    XCloseDisplay(display_);
    if (countsErrors_)
        XSetErrorHandler(reinterpret_cast<XErrorHandler>(previousErrorHandler_));
}

void Lv2UiHost::DestroyParent(bool flush, Display* by) {
    if (!ownsParent_)
        return;
    Display* display = by != nullptr ? by : display_;
    XDestroyWindow(display, parent_);
    if (flush)
        XFlush(display);
    ownsParent_ = false;
}

float Lv2UiHost::Write::Value() const {
    float value = 0;
    if (protocol == 0 && data.size() == sizeof value)
        std::memcpy(&value, data.data(), sizeof value);
    return value;
}

void Lv2UiHost::PortEvent(std::uint32_t port, float value) {
    suil_instance_port_event(instance_, port, sizeof value, 0, &value);
}

void Lv2UiHost::PortEvent(std::uint32_t port, const LV2_Atom* atom) {
    suil_instance_port_event(instance_, port, static_cast<std::uint32_t>(lv2_atom_total_size(atom)),
                             Urid(LV2_ATOM__eventTransfer), atom);
}

int Lv2UiHost::Idle() {
    if (!idle_)
        throw std::runtime_error("the interface has no idle interface");
    const int result = idle_->idle(suil_instance_get_handle(instance_));
    XSync(display_, False);
    return result;
}

void Lv2UiHost::ClearRecords() {
    writes_.clear();
    touches_.clear();
}

int Lv2UiHost::XErrors() const {
    XSync(display_, False);
    return xErrors;
}

void Lv2UiHost::write(void* controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                      const void* buffer) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    static_cast<Lv2UiHost*>(controller)->writes_.push_back({port, protocol, {bytes, bytes + size}});
}

std::uint32_t Lv2UiHost::portIndex(void* controller, const char* symbol) {
    const auto* host = static_cast<Lv2UiHost*>(controller);
    const Node name(lilv_new_string(host->world_.World(), symbol));
    const LilvPort* port = lilv_plugin_get_port_by_symbol(host->plugin_, name.get());
    return port ? lilv_port_get_index(host->plugin_, port) : LV2UI_INVALID_PORT_INDEX;
}

void Lv2UiHost::touch(void* controller, std::uint32_t port, bool grabbed) {
    static_cast<Lv2UiHost*>(controller)->touches_.push_back({port, grabbed});
}

int Lv2UiHost::resize(LV2UI_Feature_Handle handle, int width, int height) {
    auto* host = static_cast<Lv2UiHost*>(handle);
    host->requestedSize_ = std::make_pair(width, height);
    if (host->ownsParent_)
        XResizeWindow(host->display_, host->parent_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    return 0;
}

} // namespace lv2host
