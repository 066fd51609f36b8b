#pragma once

// A small X11 host for the editor tests: a top-level parent window on the test's own display
// connection, the plug-in binary loaded and driven through its record as a Linux host drives it
// (editor opcodes with the parent's window id, idle calls at a chosen rate), synthetic input through
// XTest, and screenshots of the parent.

#include "tests/host/lib/Host.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace x11test {

// What a window shows: 0x00RRGGBB, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

class EditorHost {
public:
    // Opens the test's display and creates a parent of the given depth (24: the default visual;
    // 32: a TrueColor visual with alpha) at a fixed place on the screen.
    EditorHost(const testhost::PluginLibrary& library, int depth);
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    bool Valid() const { return display_ != nullptr && parent_ != 0 && plugin_ != nullptr; }
    // What is missing when the host is not valid.
    std::string Problem() const {
        return display_ == nullptr ? "no display"
               : parent_ == 0      ? "no parent window"
               : plugin_           ? ""
                                   : "no plug-in";
    }
    Display* XDisplay() const { return display_; }
    Window Parent() const { return parent_; }
    int Depth() const { return depth_; }
    testhost::Host& TestHost() { return host_; }
    testhost::PluginInstance& Plugin() { return *plugin_; }
    // The parent's client origin on the screen.
    int OriginX() const { return originX_; }
    int OriginY() const { return originY_; }

    // Editor opcodes as a host sends them.
    vst2::VstIntPtr OpenEditor();
    void CloseEditor();
    void Idle();
    // effClose; the plug-in is gone afterwards.
    void ClosePlugin();
    // Destroys the parent window as a host does when its editor frame goes away: synchronised, only
    // flushed (as a host closing its frame does), or left in the connection's buffer for the next
    // flush. CreateParent makes a new one.
    enum class Delivery { Synchronised, Flushed, Buffered };
    void DestroyParent(Delivery delivery = Delivery::Synchronised);
    bool CreateParent();

    // Idle calls at hz for milliseconds (the test's own events are flushed first).
    void Pump(int milliseconds, int hz = 50);
    // Idles at hz until done answers true or milliseconds pass; answers done's last answer.
    bool PumpUntil(const std::function<bool()>& done, int milliseconds, int hz = 50);

    // The parent's children (the editor must be the only one).
    std::vector<Window> Children() const;

    // Input through XTest, in the parent's client coordinates.
    void MoveTo(int clientX, int clientY);
    void MoveBy(int dx, int dy);
    void Button(unsigned button, bool down);
    void Click(unsigned button = 1);
    void Key(const char* keysymName);
    void Type(const std::string& text);
    // The pointer's position on the screen.
    void PointerPosition(int& x, int& y) const;

    Screenshot Capture(int width, int height) const;
    // The top-level override-redirect popup menu of any client, or 0.
    Window FindPopupMenu() const;

private:
    const testhost::PluginLibrary& library_;
    testhost::Host host_;
    std::unique_ptr<testhost::PluginInstance> plugin_;
    Display* display_ = nullptr;
    Window parent_ = 0;
    Colormap colormap_ = 0;
    int depth_ = 24;
    int originX_ = 100;
    int originY_ = 120;
};

} // namespace x11test
