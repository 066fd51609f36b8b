#pragma once

#include <memory>

namespace host {

class AudioEffect;

// Window message that hands the effect object to a freshly created form: WParam carries the
// effect, LParam is 0. 0x400 is the first user message number on Windows.
inline constexpr unsigned kEditorAttachMessage = 0x400 + 961;

// A live editor form: a window that is a child of the host's window. Destroying the form destroys
// its window and everything on it.
class EditorForm {
public:
    virtual ~EditorForm() = default;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // Posts kEditorAttachMessage with the effect to the form's window; it is delivered later by the
    // event loop, after the editor's open call has returned.
    virtual void PostAttachMessage(AudioEffect& effect) = 0;
    // Called on every editor idle of the host before the effect's idle handler. Forms whose events
    // are driven by the host's idle calls (no event loop of their own) do their work here.
    virtual void Idle() {}
};

// The form class an effect's editor shows.
class EditorFormFactory {
public:
    virtual ~EditorFormFactory() = default;
    // Creates a visible form whose window is a child of parentWindow, placed at (0, 0) of the parent
    // with its designed size. Answers null when the window cannot be created.
    virtual std::unique_ptr<EditorForm> CreateForm(void* parentWindow) = 0;
};

} // namespace host
