#pragma once

#include "tests/lv2/lib/Lv2World.h"

#include <lv2/atom/atom.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SuilHostImpl;
struct SuilInstanceImpl;
struct _XDisplay; // Xlib's Display; Xlib's macros (None, Bool, Status) stay out of the users of this header

namespace lv2host {

// How the interface host behaves where hosts differ.
struct UiHostOptions {
    // Whether the host installs an X error handler of its own that counts errors (XErrors); without, the
    // process keeps whichever it has, Xlib's default (which ends the process) in a host that sets none.
    bool countErrors = true;
    // The window given as ui:parent instead of the host's own (a bogus id, a pixmap, a destroyed window;
    // 0 gives a null parent); the host neither maps nor destroys it.
    std::optional<unsigned long> parent;
};

// A host for an LV2 plug-in's X11 interface, as hosts embed one through suil: a parent window of its own
// on the display of DISPLAY, the interface instantiated in it with ui:parent, ui:resize, ui:touch,
// ui:idleInterface and urid:map, its writes and touches recorded, port events delivered, idle called.
// The plug-in itself is not run: a test plays the processor's part.
class Lv2UiHost {
public:
    using Display = _XDisplay;
    using Window = unsigned long; // an X window id

    struct Write {
        std::uint32_t port = 0;
        std::uint32_t protocol = 0; // 0 for a float, else the URID of atom:eventTransfer
        std::vector<std::uint8_t> data;

        float Value() const; // the float of a control write
        const LV2_Atom* Atom() const { return reinterpret_cast<const LV2_Atom*>(data.data()); }
    };
    struct Touch {
        std::uint32_t port = 0;
        bool grabbed = false;
    };

    // The plug-in's X11 interface (uiUri, or its first one). Throws std::runtime_error when there is no
    // display, no such interface, or it does not instantiate.
    Lv2UiHost(Lv2World& world, const std::string& pluginUri, const std::string& uiUri = {},
              const UiHostOptions& options = {});
    ~Lv2UiHost();
    Lv2UiHost(const Lv2UiHost&) = delete;
    Lv2UiHost& operator=(const Lv2UiHost&) = delete;

    Display* GetDisplay() const { return display_; }
    Window Parent() const { return parent_; }
    Window Widget() const { return widget_; }
    // The size the interface asked for through ui:resize, if it did.
    std::optional<std::pair<int, int>> RequestedSize() const { return requestedSize_; }

    void PortEvent(std::uint32_t port, float value);
    void PortEvent(std::uint32_t port, const LV2_Atom* atom); // atom:eventTransfer
    // Calls the interface's idle; answers its result (non-zero: it asks to be closed).
    int Idle();
    // Destroys the host's window, as a host closing its plug-in window does before it cleans up the
    // interface: the request sent (flush) or only queued, and not waited for. Through another connection
    // (by) when that one holds the server, which carries out only its own requests meanwhile.
    void DestroyParent(bool flush, Display* by = nullptr);

    const std::vector<Write>& Writes() const { return writes_; }
    const std::vector<Touch>& Touches() const { return touches_; }
    void ClearRecords();
    // X protocol errors reported in this process since the host was made.
    int XErrors() const;

    LV2_URID Urid(const char* uri) { return world_.Urids().Map(uri); }

private:
    static void write(void* controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                      const void* buffer);
    static std::uint32_t portIndex(void* controller, const char* symbol);
    static void touch(void* controller, std::uint32_t port, bool grabbed);
    static int resize(LV2UI_Feature_Handle handle, int width, int height);

    Lv2World& world_;
    const LilvPlugin* plugin_ = nullptr;
    Display* display_ = nullptr;
    Window parent_ = 0;
    bool ownsParent_ = true;
    Window widget_ = 0;
    SuilHostImpl* suilHost_ = nullptr;
    SuilInstanceImpl* instance_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
    std::optional<std::pair<int, int>> requestedSize_;
    std::vector<Write> writes_;
    std::vector<Touch> touches_;
    LV2UI_Resize resizeData_{};
    std::vector<LV2_Feature> featureData_;
    std::vector<const LV2_Feature*> features_;
    bool countsErrors_ = true;
    void* previousErrorHandler_ = nullptr; // Xlib's handler before this host's
};

} // namespace lv2host
