#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace validate {

// The host's window an editor opens in: a plain top-level window of the window system (an X11
// window on Linux, a Win32 window on Windows), owned by the thread that creates it and used only there.
class EditorParent {
public:
    // Null, with the reason in whyNot, when there is no window system to be had (no X display).
    static std::unique_ptr<EditorParent> Create(std::string& whyNot);
    virtual ~EditorParent() = default;
    // What a host passes in effEditOpen's ptr.
    virtual void* Handle() = 0;
    // The host's message loop: delivers whatever is pending and returns at once.
    virtual void Pump() = 0;
    // The host destroys its window (editors inside it go with it), as a host closing its frame does:
    // the request is sent, not waited for. The next Handle is a new window.
    virtual void Destroy() = 0;
    // A handle that names no window an editor can open in, chosen by seed: one never given out, one
    // that is not a window (a pixmap, a menu), an input-only window, a destroyed window.
    virtual void* Bogus(std::uint32_t seed) = 0;
    // What the editor did to the host's window system that a host cannot live with: an error of the
    // editor's own requests that reached the host's error handler, or an error handler of the
    // plug-in left installed. Empty when none; each problem is told once.
    virtual std::string Problem() = 0;
};

} // namespace validate
