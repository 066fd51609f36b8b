#pragma once

#include "platform/MessageBox.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::x11 {

// Something a message box can be shown in: an open editor window. Its own idle shows what was queued.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Called from any thread, with the router's lock held: queue the message and nothing else.
    virtual void QueueMessage(const std::string& caption, const std::string& text) = 0;
};

// Plain Xlib has no message box, so message boxes asked for while an editor is open appear as panels
// inside an editor: inside the editor whose idle ran last on the asking thread (the one whose form, or
// whose effect's idle handler, is asking), else inside the editor whose idle ran last anywhere, else the
// newest one. Without an editor the system's message box is used. The router is the message-box handler
// while editors are registered and no other handler is installed.
//
// Editors may live on different threads of the host. The router hands a message over with its lock held
// and only queues it there; the editor shows it on its own thread at its next idle. An editor unregisters
// first thing when it is destroyed, which waits for a hand-over in progress, so the router never calls
// an editor that is being destroyed.
class MessageRouter : public MessageBoxHandler {
public:
    // The one router of the module.
    static MessageRouter& Instance();

    void Show(const std::string& caption, const std::string& text, MessageIcon icon) override;

    void Register(MessageTarget* target);
    // After it returns, the router never calls target again.
    void Unregister(MessageTarget* target);
    // The target's idle is running on the calling thread.
    void MarkIdle(MessageTarget* target);

private:
    struct Entry {
        MessageTarget* target;
        std::thread::id idleThread;
        std::uint64_t lastIdle = 0; // 0: no idle yet
    };
    MessageTarget* TargetFor(std::thread::id thread) const;

    std::mutex mutex_;
    std::vector<Entry> live_; // oldest first
    std::uint64_t idles_ = 0;
    bool installed_ = false;
};

} // namespace platform::x11
