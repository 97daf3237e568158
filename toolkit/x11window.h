#pragma once
// The X window of an embedded frame: a child of the host's window on a display connection of
// its own. Events are read without blocking when the frame idles and are passed to the frame's
// dispatch operations; drawing is copied from the frame's image surface.
//
// The host may destroy its window (and with it ours) before it closes the editor, or lose its
// X server. Every Xlib call of the window therefore runs inside an error trap: X errors on our
// connection are recorded instead of reaching the process's handler (whose default ends the
// process), a lost connection marks the window dead instead of exiting, and the process's own
// handlers are put back when the call returns. Once the window is gone or the connection is
// lost, the window no longer touches X except to release what it holds.
#include <cairo.h>

#include <vector>

#include "toolkit/geometry.h"

typedef struct _XDisplay Display;
union _XEvent;

namespace toolkit {

class CFrame;

class X11Window {
public:
    X11Window(unsigned long parentWindow, int width, int height, CFrame& frame);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    bool isOpen() const { return window != 0; }
    // False once the window has been destroyed from outside or the connection was lost.
    bool isAlive() const { return window != 0 && !windowGone && !connectionLost; }
    unsigned long id() const { return window; }
    Display* getDisplay() const { return display; }
    // X errors our own calls caused (and that were kept from the process's handler).
    unsigned getErrorCount() const { return errorCount; }

    // Handles every event already queued; never waits for more.
    void pump();
    // Copies `rects` of `source` to the window.
    void present(cairo_surface_t* source, const std::vector<CRect>& rects);
    // Directs the keyboard to this window (while a text field is being edited).
    void takeKeyboard();
    // Gives the keyboard back to the host's window when this window holds it.
    void returnKeyboard();

    // Bookkeeping of one trapped stretch of Xlib calls; see x11window.cpp.
    struct TrapRecord {
        Display* display = nullptr;
        unsigned errors = 0;
        bool windowError = false;  // an error about our window or its drawable
        bool connectionLost = false;
        unsigned long window = 0;
    };

private:
    void handle(union _XEvent& event);
    // Takes what a trapped stretch recorded into the window's state.
    void absorb(const TrapRecord& record);

    CFrame& frame;
    Display* display = nullptr;
    unsigned long window = 0;
    unsigned long parent = 0;
    cairo_surface_t* windowSurface = nullptr;
    bool windowGone = false;
    bool connectionLost = false;
    unsigned errorCount = 0;
    unsigned long lastPressTime = 0;
    unsigned int lastPressButton = 0;
    int lastPressX = 0;
    int lastPressY = 0;
    bool lastPressWasDouble = false;
};

}  // namespace toolkit
