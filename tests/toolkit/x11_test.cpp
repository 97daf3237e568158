// A frame embedded in a real X window under Xvfb: real X events pumped from idle change a
// control, expose events redraw, and a bad parent window fails the open instead of the process.
// A host that destroys its window first, or whose X server goes away, keeps running with its
// own error handlers in place.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support.h"
#include "tests/support/address_sanitizer.h"
#include "tests/support/private_x_server.h"
#include "tests/support/x_pointer.h"

#if ORV_TEST_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

namespace tktest {
namespace {

// Starts a private Xvfb for the suite when one is installed, else uses $DISPLAY, else skips.
class EmbeddedFrame : public ::testing::Test {
public:
    static void SetUpTestSuite() { server.start("320x240x24"); }
    static void TearDownTestSuite() { server.stop(); }

protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !(host = XOpenDisplay(nullptr))) GTEST_SKIP() << "no X server (Xvfb or DISPLAY)";
        // The host's window, which the frame is embedded in.
        hostWindow = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 100, 80, 0, 0, 0);
        XMapWindow(host, hostWindow);
        XSync(host, False);
    }
    void TearDown() override {
        if (!host) return;
        if (hostWindow) XDestroyWindow(host, hostWindow);
        XCloseDisplay(host);
    }

    // Idles the frame until `done` holds or a second has passed.
    template <class F>
    bool idleUntil(CFrame* frame, F done) {
        for (int i = 0; i < 100; ++i) {
            frame->idle();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    static orvtest::PrivateXServer server;
    Display* host = nullptr;
    Window hostWindow = 0;
};

orvtest::PrivateXServer EmbeddedFrame::server;

TEST_F(EmbeddedFrame, RealButtonAndMotionEventsDragAKnobAndExposeRedraws) {
    RecordingEditor editor;
    RecordingListener listener;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(hostWindow), &editor);
    ASSERT_TRUE(frame->isOpen());
    ASSERT_TRUE(frame->isEmbedded());
    const Window own = reinterpret_cast<Window>(frame->getSystemWindow());
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(host, own, &root, &parent, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(parent, hostWindow);

    CBitmap* strip = new CBitmap(kStrip11);
    auto* knob = new CAnimKnob(CRect(40, 40, 50, 50), &listener, 12, 11, 10, strip);
    strip->forget();
    frame->addView(knob);
    frame->idle();

    XEvent press = orvtest::pointerEvent(host, own, ButtonPress, Button1, 45, 45, 0);
    orvtest::sendPointer(host, press);
    XEvent motion = orvtest::pointerEvent(host, own, MotionNotify, 0, 45, -55, Button1Mask);
    orvtest::sendPointer(host, motion);
    XEvent release = orvtest::pointerEvent(host, own, ButtonRelease, Button1, 45, -55, Button1Mask);
    orvtest::sendPointer(host, release);

    EXPECT_TRUE(idleUntil(frame, [&] { return !editor.ends.empty(); }));
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-6);
    EXPECT_EQ(editor.begins, std::vector<std::int32_t>{12});
    EXPECT_FALSE(listener.calls.empty());

    // Wheel buttons turn the knob.
    XEvent wheel = orvtest::pointerEvent(host, own, ButtonPress, Button4, 45, 45, 0);
    orvtest::sendPointer(host, wheel);
    EXPECT_TRUE(idleUntil(frame, [&] { return knob->getValue() > 0.505f; }));

    // The window shows the knob's image after an expose.
    XClearArea(host, own, 0, 0, 100, 80, True);
    XSync(host, False);
    frame->idle();
    XSync(host, False);
    XImage* image = XGetImage(host, own, 45, 45, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const CColor expected = stripColor(5);
    EXPECT_EQ((pixel >> 16) & 0xff, expected.red);
    EXPECT_EQ((pixel >> 8) & 0xff, expected.green);
    EXPECT_EQ(pixel & 0xff, expected.blue);

    frame->forget();
}

TEST_F(EmbeddedFrame, DoubleClicksAreRecognisedFromTheEventTimes) {
    struct Noting : CView {
        using CView::CView;
        std::vector<CButtonState> presses;
        CMouseEventResult onMouseDown(CPoint&, const CButtonState& b) override {
            presses.push_back(b);
            return kMouseEventHandled;
        }
        CMouseEventResult onMouseUp(CPoint&, const CButtonState&) override { return kMouseEventHandled; }
    };
    RecordingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(hostWindow), &editor);
    ASSERT_TRUE(frame->isOpen());
    auto* view = new Noting(CRect(0, 0, 100, 80));
    frame->addView(view);
    const Window own = reinterpret_cast<Window>(frame->getSystemWindow());
    const Time times[] = {1000, 1200, 1400, 3000};
    for (Time t : times) {
        XEvent press = orvtest::pointerEvent(host, own, ButtonPress, Button1, 10, 10, ControlMask);
        press.xbutton.time = t;
        orvtest::sendPointer(host, press);
        XEvent release = orvtest::pointerEvent(host, own, ButtonRelease, Button1, 10, 10, Button1Mask | ControlMask);
        release.xbutton.time = t + 50;
        orvtest::sendPointer(host, release);
    }
    EXPECT_TRUE(idleUntil(frame, [&] { return view->presses.size() == 4; }));
    ASSERT_EQ(view->presses.size(), 4u);
    EXPECT_FALSE(view->presses[0].isDoubleClick());
    EXPECT_TRUE(view->presses[1].isDoubleClick());
    EXPECT_FALSE(view->presses[2].isDoubleClick());  // a third click starts over
    EXPECT_FALSE(view->presses[3].isDoubleClick());
    EXPECT_TRUE(view->presses[1] & kControl);
    frame->forget();
}

TEST_F(EmbeddedFrame, TypingTakesTheKeyboardAndReturnOrEscapeGivesItBackToTheHost) {
    RecordingEditor editor;
    RecordingListener listener;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(hostWindow), &editor);
    ASSERT_TRUE(frame->isOpen());
    auto* field = new CTextEdit(CRect(10, 10, 90, 24), &listener, 59, "Init");
    frame->addView(field);
    frame->idle();
    const Window own = reinterpret_cast<Window>(frame->getSystemWindow());
    auto focus = [&] {
        XSync(host, False);
        Window w = 0;
        int revert = 0;
        XGetInputFocus(host, &w, &revert);
        return w;
    };
    ASSERT_TRUE(idleUntil(frame, [&] {
        XWindowAttributes info{};
        return XGetWindowAttributes(host, own, &info) && info.map_state == IsViewable;
    }));
    for (unsigned char finish : {kVKeyReturn, kVKeyEscape}) {
        XSetInputFocus(host, hostWindow, RevertToParent, CurrentTime);
        XSync(host, False);
        frame->dispatchMouseDown(CPoint(20, 15), CButtonState(kLButton));
        // The frame talks to the server on a connection of its own: wait for its request.
        EXPECT_TRUE(idleUntil(frame, [&] { return focus() == own; }));
        VstKeyCode key{0, finish, 0};
        frame->dispatchKeyDown(key);
        EXPECT_FALSE(field->isTyping());
        EXPECT_TRUE(idleUntil(frame, [&] { return focus() == hostWindow; })) << int(finish);
    }
    frame->forget();
}

TEST_F(EmbeddedFrame, ABadParentWindowFailsTheOpen) {
    RecordingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 10, 10), reinterpret_cast<void*>(0x7fffff0UL), &editor);
    EXPECT_FALSE(frame->isOpen());
    frame->idle();
    frame->forget();
}

// The host's error handler: counts what reaches it.
int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

TEST_F(EmbeddedFrame, AParentDestroyedFirstLeavesTheHostAndItsErrorHandlerAlone) {
    hostErrors = 0;
    XErrorHandler before = XSetErrorHandler(countHostError);
    RecordingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(hostWindow), &editor);
    ASSERT_TRUE(frame->isOpen());
    auto* view = new CView(CRect(0, 0, 100, 80));
    frame->addView(view);
    frame->idle();
    EXPECT_EQ(XSetErrorHandler(countHostError), countHostError);  // given back after the open and the idle

    XDestroyWindow(host, hostWindow);
    XSync(host, False);
    hostWindow = 0;
    // Drawing, keyboard requests and closing on a window that is gone.
    for (int i = 0; i < 3; ++i) {
        frame->invalid();
        frame->idle();
    }
    frame->setFocusView(view);
    frame->forget();

    EXPECT_EQ(hostErrors, 0);
    EXPECT_EQ(XSetErrorHandler(before), countHostError);
    // The host's own connection still works.
    Window w = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 10, 10, 0, 0, 0);
    XSync(host, False);
    EXPECT_EQ(hostErrors, 0);
    XDestroyWindow(host, w);
    XSync(host, False);
}

TEST_F(EmbeddedFrame, TheDefaultHandlerIsNeverReachedWhenTheParentGoesFirst) {
    // With Xlib's own handler in place any error of ours would end this process here.
    XSetErrorHandler(nullptr);
    RecordingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(hostWindow), &editor);
    ASSERT_TRUE(frame->isOpen());
    frame->idle();
    XDestroyWindow(host, hostWindow);
    XSync(host, False);
    hostWindow = 0;
    frame->invalid();
    frame->idle();
    frame->forget();
    SUCCEED();
}

TEST_F(EmbeddedFrame, HostErrorsDuringOurCallsStillReachTheHostsHandler) {
    // A request of the host's that fails is answered while the frame pumps its own connection:
    // the host's handler sees it, ours keeps only its own.
    hostErrors = 0;
    XErrorHandler before = XSetErrorHandler(countHostError);
    RecordingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(hostWindow), &editor);
    ASSERT_TRUE(frame->isOpen());
    XMapWindow(host, 0x7fffff0UL);  // a bad window of the host's
    XSync(host, False);
    EXPECT_EQ(hostErrors, 1);
    frame->idle();
    frame->forget();
    XSetErrorHandler(before);
}

TEST_F(EmbeddedFrame, ALostXServerDoesNotEndTheHost) {
    // A second server of its own, which goes away while the frame is open.
    orvtest::PrivateXServer doomed;
    if (!doomed.start("200x200x24")) GTEST_SKIP() << "no second X server";
#if ORV_TEST_ADDRESS_SANITIZER
    // Both connections to the lost server are kept on purpose (closing them could hang), and
    // Xlib no longer points at all it allocated for them: not a leak to report.
    __lsan::ScopedDisabler keptConnections;
#endif
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    Window parent = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 100, 80, 0, 0, 0);
    XMapWindow(other, parent);
    XSync(other, False);
    XErrorHandler errorsBefore = XSetErrorHandler(countHostError);
    XIOErrorHandler ioBefore = XSetIOErrorHandler(nullptr);
    XSetIOErrorHandler(ioBefore);
    RecordingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 100, 80), reinterpret_cast<void*>(parent), &editor);
    ASSERT_TRUE(frame->isOpen());
    frame->idle();
    doomed.stop();  // the server is gone; the host's connection to it is never touched again
    static std::vector<Display*> lostHostConnections;  // kept, as closing it could hang
    lostHostConnections.push_back(other);
    for (int i = 0; i < 3; ++i) {
        frame->invalid();
        frame->idle();
    }
    frame->forget();
    EXPECT_EQ(XSetErrorHandler(errorsBefore), countHostError);
    EXPECT_EQ(XSetIOErrorHandler(ioBefore), ioBefore);
}

}  // namespace
}  // namespace tktest
