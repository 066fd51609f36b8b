// The Linux editor window driven directly, with a clock the test moves: what one host idle call
// delivers, in which order, and what it leaves for the next one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Xlib last: its short macros would clash with gtest's names.
#include "platform/x11/X11EditorWindow.h"

namespace {

using platform::Point;
using platform::Rect;
using platform::ShiftState;
using platform::x11::IdleClock;
using platform::x11::X11EditorWindow;

class ManualClock : public IdleClock {
public:
    std::int64_t NowMs() const override { return now; }
    std::int64_t now = 1000;
};

// Records what the window delivers, as one line per event.
class Recorder : public platform::WindowEvents {
public:
    void MouseDown(platform::MouseButton, ShiftState, Point) override { log.push_back("down"); }
    void MouseMove(ShiftState, Point) override { log.push_back("move"); }
    void MouseUp(platform::MouseButton, ShiftState, Point) override { log.push_back("up"); }
    void DoubleClick(platform::MouseButton, ShiftState, Point) override { log.push_back("double"); }
    void MouseLeave() override {}
    void KeyDown(platform::KeyCode, ShiftState) override {}
    void KeyUp(platform::KeyCode, ShiftState) override {}
    void CaptureLost() override { log.push_back("capture lost"); }
    void FocusLost() override {}
    void PostedMessage(unsigned id, std::uintptr_t, std::intptr_t) override {
        log.push_back("message " + std::to_string(id));
        if (onMessage)
            onMessage(id);
    }
    void TimerTick() override {
        log.push_back("tick");
        if (onTick)
            onTick();
    }
    void Paint(const Rect& area) override {
        log.push_back("paint");
        painted = area;
    }
    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    std::vector<std::string> log;
    Rect painted;
    std::function<void(unsigned)> onMessage;
    std::function<void()> onTick;
};

class X11EditorWindowIdleTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr)
            GTEST_SKIP() << "no X display";
        parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 200, 100, 0, 0, 0);
        XMapWindow(display_, parent_);
        XSync(display_, False);
        pixels_.assign(200 * 100, 0xFF336699u);
        window_ = X11EditorWindow::Create(reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_)), 200,
                                          100, events_, &clock_);
        ASSERT_NE(window_, nullptr);
        window_->SetPicture({pixels_.data(), 200, 100});
    }
    void TearDown() override {
        window_.reset();
        if (display_ != nullptr) {
            if (parent_ != None)
                XDestroyWindow(display_, parent_);
            XCloseDisplay(display_);
        }
    }

    Display* display_ = nullptr;
    Window parent_ = 0;
    ManualClock clock_;
    Recorder events_;
    std::vector<std::uint32_t> pixels_;
    std::unique_ptr<X11EditorWindow> window_;
};

TEST_F(X11EditorWindowIdleTest, OneIdleDeliversMessagesThenAtMostOneTickThenPaints) {
    window_->PostWindowMessage(1985, 7, 0);
    window_->PostWindowMessage(2, 0, 0);
    window_->StartTimer(50);
    EXPECT_TRUE(events_.log.empty()) << "nothing happens before the host's idle call";
    window_->Idle();
    EXPECT_EQ(events_.Take(), (std::vector<std::string>{"message 1985", "message 2", "paint"}))
        << "posted messages in order, no tick before the first period, then the first picture";
    EXPECT_EQ(events_.painted, (Rect{0, 0, 200, 100}));

    clock_.now += 49;
    window_->Idle();
    EXPECT_TRUE(events_.Take().empty());
    clock_.now += 1;
    window_->Idle();
    EXPECT_EQ(events_.Take(), std::vector<std::string>{"tick"});

    // A host that stalled for half a second gets one tick, and the next one a full period later.
    clock_.now += 500;
    window_->Idle();
    window_->Idle();
    EXPECT_EQ(events_.Take(), std::vector<std::string>{"tick"});
    clock_.now += 49;
    window_->Idle();
    EXPECT_TRUE(events_.Take().empty());
    window_->StopTimer();
    clock_.now += 1000;
    window_->Idle();
    EXPECT_TRUE(events_.Take().empty()) << "a stopped timer stays quiet";
}

TEST_F(X11EditorWindowIdleTest, WorkCausedDuringAnIdleWaitsForTheNextOne) {
    window_->Idle();
    events_.Take();
    // A handler that posts again, invalidates and calls idle once more (some hosts do that from their
    // callbacks): the re-entrant call does nothing, the area is painted at the end of this call and the
    // new message waits for the next one.
    events_.onMessage = [this](unsigned id) {
        if (id == 1) {
            window_->PostWindowMessage(2, 0, 0);
            window_->Invalidate({10, 20, 30, 40});
            window_->Idle();
        }
    };
    window_->PostWindowMessage(1, 0, 0);
    window_->Idle();
    EXPECT_EQ(events_.Take(), (std::vector<std::string>{"message 1", "paint"}));
    EXPECT_EQ(events_.painted, (Rect{10, 20, 30, 40})) << "only the invalid area is painted";
    window_->Idle();
    EXPECT_EQ(events_.Take(), std::vector<std::string>{"message 2"});

    // What the window shows is the picture.
    XImage* image = XGetImage(display_, window_->XWindow(), 0, 0, 200, 100, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 150, 80) & 0xFFFFFF, 0x336699u);
    XDestroyImage(image);
}

TEST_F(X11EditorWindowIdleTest, MessagesNotYetDeliveredAreDroppedWithTheWindow) {
    window_->PostWindowMessage(1985, 0, 0);
    window_->StartTimer(50);
    window_.reset();
    EXPECT_TRUE(events_.Take().empty()) << "closing delivers nothing";
    XSync(display_, False);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, parent_, &root, &parent, &children, &count);
    if (children != nullptr)
        XFree(children);
    EXPECT_EQ(count, 0u);
}

TEST_F(X11EditorWindowIdleTest, OnceTheHostHasDestroyedItsWindowNothingIsDrawnAnyMore) {
    window_->Idle();
    events_.Take();
    // The host destroys its window while holding the server, so the editor's next picture reaches the
    // server after the window has gone; the error about it arrives for the next idle call, with the
    // DestroyNotify. (Run alone, this program has Xlib's own handler, which would end it on that error.)
    window_->Invalidate({0, 0, 20, 20});
    XGrabServer(display_);
    XFlush(display_);
    XDestroyWindow(display_, parent_);
    parent_ = None;
    window_->Idle();
    EXPECT_EQ(events_.Take(), std::vector<std::string>{"paint"});
    XUngrabServer(display_);
    XSync(display_, False);
    window_->Idle();
    EXPECT_TRUE(window_->WindowGone());
    window_->Invalidate({0, 0, 200, 100});
    window_->Idle();
    EXPECT_TRUE(events_.Take().empty()) << "nothing is painted into a window that is gone";
    window_->CaptureMouse();
    window_.reset();
}

} // namespace
