#pragma once

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
    virtual void* Handle() const = 0;
    // The host's message loop: delivers whatever is pending and returns at once.
    virtual void Pump() = 0;
};

} // namespace validate
