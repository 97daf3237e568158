#pragma once
// The X window of an embedded frame: a child of the host's window on a display connection of
// its own. Events are read without blocking when the frame idles and are passed to the frame's
// dispatch operations; drawing is copied from the frame's image surface.
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
    unsigned long id() const { return window; }
    Display* getDisplay() const { return display; }

    // Handles every event already queued; never waits for more.
    void pump();
    // Copies `rects` of `source` to the window.
    void present(cairo_surface_t* source, const std::vector<CRect>& rects);
    // Directs the keyboard to this window (while a text field is being edited).
    void takeKeyboard();
    // Gives the keyboard back to the host's window when this window holds it.
    void returnKeyboard();

private:
    void handle(union _XEvent& event);

    CFrame& frame;
    Display* display = nullptr;
    unsigned long window = 0;
    unsigned long parent = 0;
    cairo_surface_t* windowSurface = nullptr;
    unsigned long lastPressTime = 0;
    unsigned int lastPressButton = 0;
    int lastPressX = 0;
    int lastPressY = 0;
    bool lastPressWasDouble = false;
};

}  // namespace toolkit
