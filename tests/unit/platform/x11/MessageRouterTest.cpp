#include "platform/x11/MessageRouter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace platform::x11 {
namespace {

// An open editor as the router sees it: it records what is queued to it.
struct FakeEditor : MessageTarget {
    void QueueMessage(const std::string&, const std::string& text) override {
        texts.push_back(text);
        if (whileQueued)
            whileQueued();
    }
    std::vector<std::string> texts;
    std::function<void()> whileQueued;
};

void ShowFromAnotherThread(MessageRouter& router, const std::string& text) {
    std::thread([&] { router.Show("VorelanEn2", text, MessageIcon::None); }).join();
}

// Two editors on two threads of the host. A message goes to the editor of the thread that asks; from a
// thread without an editor, to the editor that idled last, which the host may be destroying on its own
// thread at that moment: the destruction waits until the message is handed over, and the router never
// calls into an editor that is going.
TEST(MessageRouterTest, TwoEditorsOneDestroyedWhileTheOtherShowsAMessage) {
    MessageRouter router;
    FakeEditor first;
    FakeEditor second;
    router.Register(&first);
    router.Register(&second);
    EXPECT_EQ(CurrentMessageBoxHandler(), &router) << "message boxes go to the editors while they are open";
    router.MarkIdle(&first);
    std::thread([&] { router.MarkIdle(&second); }).join();

    router.Show("VorelanEn2", "for the first", MessageIcon::None);
    EXPECT_EQ(first.texts, std::vector<std::string>{"for the first"}) << "the asking thread's own editor";
    EXPECT_TRUE(second.texts.empty());

    std::atomic<bool> secondGone{false};
    std::thread closing;
    second.whileQueued = [&] {
        // The host closes the second editor while the router is handing it the message.
        closing = std::thread([&] {
            router.Unregister(&second);
            secondGone = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(secondGone) << "the editor went away while the router was calling it";
    };
    ShowFromAnotherThread(router, "for the newest");
    closing.join();
    EXPECT_EQ(second.texts, std::vector<std::string>{"for the newest"});

    ShowFromAnotherThread(router, "after the close");
    EXPECT_EQ(first.texts.back(), "after the close") << "the remaining editor takes the messages";
    router.Unregister(&first);
    EXPECT_EQ(CurrentMessageBoxHandler(), nullptr) << "with the last editor gone, the system's box again";
}

} // namespace
} // namespace platform::x11
