#pragma once
// Pointer events sent straight to a window (XSendEvent), as the editor would receive them from
// a user's mouse, for tests that press, drag and click controls without a real pointer.
#include <X11/Xlib.h>

namespace orvtest {

// A button or motion event at (x, y) in `w`; `button` is left out of motion events.
inline XEvent pointerEvent(Display* d, Window w, int type, unsigned int button, int x, int y, unsigned int state) {
    XEvent e{};
    // Button and motion events share their leading fields.
    XButtonEvent& b = e.xbutton;
    b.type = type;
    b.display = d;
    b.window = w;
    b.root = DefaultRootWindow(d);
    b.time = CurrentTime;
    b.x = b.x_root = x;
    b.y = b.y_root = y;
    b.state = state;
    b.same_screen = True;
    if (type != MotionNotify) b.button = button;
    return e;
}

// Sends the event to its window with the mask its type is selected by, and waits until the
// server has it.
inline void sendPointer(Display* d, XEvent& e) {
    const int type = e.type;
    const long mask = type == MotionNotify ? PointerMotionMask : type == ButtonPress ? ButtonPressMask : ButtonReleaseMask;
    XSendEvent(d, e.xbutton.window, True, mask, &e);
    XSync(d, False);
}

// A press and release of the first button at (x, y).
inline void clickAt(Display* d, Window w, int x, int y) {
    XEvent press = pointerEvent(d, w, ButtonPress, Button1, x, y, 0);
    sendPointer(d, press);
    XEvent release = pointerEvent(d, w, ButtonRelease, Button1, x, y, Button1Mask);
    sendPointer(d, release);
}

}  // namespace orvtest
