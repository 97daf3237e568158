#include "toolkit/x11window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>

#include <cstdlib>
#include <vector>

#include "toolkit/cframe.h"

namespace toolkit {
namespace {

// The error trap. Xlib has one error handler and one I/O error handler for the whole process,
// so while the window makes its calls it puts its own in place and afterwards gives back the
// ones it found. Errors and lost connections of displays being trapped are recorded in the
// innermost trap's record for that display; those of any other display (the host's own, say,
// from another thread) go on to the handlers the process had before. Xlib reads our connection
// only inside our own calls, so its errors always arrive while a trap is set.
std::vector<X11Window::TrapRecord*>& activeTraps() {
    static std::vector<X11Window::TrapRecord*> traps;
    return traps;
}
XErrorHandler outerErrorHandler = nullptr;
XIOErrorHandler outerIOErrorHandler = nullptr;
int trapDepth = 0;

X11Window::TrapRecord* trapFor(Display* display) {
    std::vector<X11Window::TrapRecord*>& traps = activeTraps();
    for (auto it = traps.rbegin(); it != traps.rend(); ++it)
        if ((*it)->display == display) return *it;
    return nullptr;
}

int noteError(Display* display, XErrorEvent* error) {
    if (X11Window::TrapRecord* record = trapFor(display)) {
        ++record->errors;
        if (error->error_code == BadWindow || error->error_code == BadDrawable) record->windowError = true;
        return 0;
    }
    if (outerErrorHandler && outerErrorHandler != noteError) return outerErrorHandler(display, error);
    return 0;
}

int noteIOError(Display* display) {
    if (X11Window::TrapRecord* record = trapFor(display)) {
        record->connectionLost = true;
        return 0;
    }
    if (outerIOErrorHandler && outerIOErrorHandler != noteIOError) return outerIOErrorHandler(display);
    return 0;
}

#ifdef ORV_HAVE_X_IO_ERROR_EXIT_HANDLER
// Xlib calls this after the I/O error handler instead of exiting: a lost connection of ours
// leaves the host running.
void keepRunning(Display*, void*) {}
#endif

// Connections lost while a window was open, with the window's surface.
struct Abandoned {
    Display* display;
    cairo_surface_t* surface;
};
std::vector<Abandoned>& abandonedConnections() {
    static std::vector<Abandoned> list;
    return list;
}

// One trapped stretch of Xlib calls on `display`. Nested stretches share the outer handlers.
class Trap {
public:
    Trap(Display* display, unsigned long window) {
        record.display = display;
        record.window = window;
        if (trapDepth++ == 0) {
            outerErrorHandler = XSetErrorHandler(noteError);
            outerIOErrorHandler = XSetIOErrorHandler(noteIOError);
        }
        activeTraps().push_back(&record);
    }
    ~Trap() {
        std::vector<X11Window::TrapRecord*>& traps = activeTraps();
        for (auto it = traps.end(); it != traps.begin();) {
            if (*--it == &record) {
                traps.erase(it);
                break;
            }
        }
        if (--trapDepth == 0) {
            // Someone who replaced our handler meanwhile keeps theirs.
            XErrorHandler current = XSetErrorHandler(outerErrorHandler);
            if (current != noteError) XSetErrorHandler(current);
            XIOErrorHandler currentIO = XSetIOErrorHandler(outerIOErrorHandler);
            if (currentIO != noteIOError) XSetIOErrorHandler(currentIO);
            outerErrorHandler = nullptr;
            outerIOErrorHandler = nullptr;
        }
    }
    Trap(const Trap&) = delete;
    Trap& operator=(const Trap&) = delete;

    // Waits until the server has handled every request so far, so that their errors are in.
    void sync() {
        if (!record.connectionLost) XSync(record.display, False);
    }

    X11Window::TrapRecord record;
};

std::int32_t buttonsFromState(unsigned int state) {
    std::int32_t b = 0;
    if (state & Button1Mask) b |= kLButton;
    if (state & Button2Mask) b |= kMButton;
    if (state & Button3Mask) b |= kRButton;
    if (state & ShiftMask) b |= kShift;
    if (state & ControlMask) b |= kControl;
    if (state & Mod1Mask) b |= kAlt;
    return b;
}

std::int32_t modifiersFromState(unsigned int state) {
    return buttonsFromState(state) & (kShift | kControl | kAlt);
}

std::int32_t buttonMask(unsigned int button) {
    switch (button) {
        case Button1: return kLButton;
        case Button2: return kMButton;
        case Button3: return kRButton;
        default: return 0;
    }
}

VstKeyCode keyFromEvent(XKeyEvent& event) {
    char text[8] = {};
    KeySym sym = 0;
    const int n = XLookupString(&event, text, sizeof text - 1, &sym, nullptr);
    VstKeyCode key{0, 0, 0};
    switch (sym) {
        case XK_Return: key.virt = kVKeyReturn; break;
        case XK_KP_Enter: key.virt = kVKeyEnter; break;
        case XK_Escape: key.virt = kVKeyEscape; break;
        case XK_BackSpace: key.virt = kVKeyBack; break;
        case XK_Delete: case XK_KP_Delete: key.virt = kVKeyDelete; break;
        case XK_Tab: key.virt = kVKeyTab; break;
        case XK_Left: case XK_KP_Left: key.virt = kVKeyLeft; break;
        case XK_Right: case XK_KP_Right: key.virt = kVKeyRight; break;
        case XK_Up: case XK_KP_Up: key.virt = kVKeyUp; break;
        case XK_Down: case XK_KP_Down: key.virt = kVKeyDown; break;
        case XK_Home: case XK_KP_Home: key.virt = kVKeyHome; break;
        case XK_End: case XK_KP_End: key.virt = kVKeyEnd; break;
        default:
            if (n == 1 && static_cast<unsigned char>(text[0]) >= 0x20) key.character = static_cast<unsigned char>(text[0]);
            break;
    }
    if (event.state & ShiftMask) key.modifier |= kKeyModifierShift;
    if (event.state & ControlMask) key.modifier |= kKeyModifierControl;
    if (event.state & Mod1Mask) key.modifier |= kKeyModifierAlternate;
    return key;
}

}  // namespace

X11Window::X11Window(unsigned long parentWindow, int width, int height, CFrame& frame) : frame(frame) {
    display = XOpenDisplay(nullptr);
    if (!display) return;
#ifdef ORV_HAVE_X_IO_ERROR_EXIT_HANDLER
    XSetIOErrorExitHandler(display, keepRunning, nullptr);
#endif
    Trap trap(display, 0);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask;
    // A bad parent id fails the open here, with the error recorded by the trap.
    Window w = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                             CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    trap.record.window = w;
    trap.sync();
    XWindowAttributes info{};
    if (!trap.record.errors && !trap.record.connectionLost) {
        XGetWindowAttributes(display, w, &info);
        trap.sync();
    }
    if (trap.record.errors || trap.record.connectionLost || !info.visual) {
        if (w && !trap.record.errors && !trap.record.connectionLost) XDestroyWindow(display, w);
        XCloseDisplay(display);
        display = nullptr;
        return;
    }
    window = w;
    parent = parentWindow;
    windowSurface = cairo_xlib_surface_create(display, window, info.visual, width, height);
    XMapWindow(display, window);
    XFlush(display);
    absorb(trap.record);
}

X11Window::~X11Window() {
    if (!display) return;
    if (connectionLost) {
        // After a lost connection Xlib may still hold the connection's lock, and any further
        // call on it (cairo's included) could wait for ever. What it holds is kept, reachable,
        // and never touched again: a little memory is the price of not hanging the host.
        abandonedConnections().push_back({display, windowSurface});
        display = nullptr;
        windowSurface = nullptr;
        return;
    }
    Trap trap(display, window);
    // The surface goes first: cairo releases its server objects while the connection is open.
    if (windowSurface) cairo_surface_destroy(windowSurface);
    windowSurface = nullptr;
    if (window && isAlive()) XDestroyWindow(display, window);
    // Closing also hands back whatever else the connection holds on the server.
    XCloseDisplay(display);
    display = nullptr;
}

void X11Window::absorb(const TrapRecord& record) {
    errorCount += record.errors;
    if (record.windowError) windowGone = true;
    if (record.connectionLost) connectionLost = true;
}

void X11Window::pump() {
    if (!display || connectionLost) return;
    Trap trap(display, window);
    while (!trap.record.connectionLost && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (!windowGone) handle(event);
    }
    absorb(trap.record);
}

void X11Window::handle(XEvent& event) {
    switch (event.type) {
        case Expose:
            frame.invalidFrameRect(CRect(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                         event.xexpose.y + event.xexpose.height));
            break;
        case ButtonPress: {
            const XButtonEvent& b = event.xbutton;
            const CPoint where(b.x, b.y);
            if (b.button == Button4 || b.button == Button5) {
                frame.dispatchWheel(where, b.button == Button4 ? 1.0f : -1.0f, CButtonState(modifiersFromState(b.state)));
                break;
            }
            const std::int32_t pressed = buttonMask(b.button);
            if (!pressed) break;
            std::int32_t buttons = buttonsFromState(b.state) | pressed;
            const bool isDouble = !lastPressWasDouble && b.button == lastPressButton &&
                                  b.time - lastPressTime <= 400 && std::abs(b.x - lastPressX) <= 4 &&
                                  std::abs(b.y - lastPressY) <= 4;
            if (isDouble) buttons |= kDoubleClick;
            lastPressWasDouble = isDouble;
            lastPressTime = b.time;
            lastPressButton = b.button;
            lastPressX = b.x;
            lastPressY = b.y;
            frame.dispatchMouseDown(where, CButtonState(buttons));
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& b = event.xbutton;
            const std::int32_t released = buttonMask(b.button);
            if (!released) break;
            frame.dispatchMouseUp(CPoint(b.x, b.y), CButtonState(released | modifiersFromState(b.state)));
            break;
        }
        case MotionNotify: {
            // Only the latest position of a burst of motion matters.
            while (XCheckTypedWindowEvent(display, window, MotionNotify, &event)) {
            }
            frame.dispatchMouseMoved(CPoint(event.xmotion.x, event.xmotion.y),
                                     CButtonState(buttonsFromState(event.xmotion.state)));
            break;
        }
        case EnterNotify:
            frame.dispatchMouseMoved(CPoint(event.xcrossing.x, event.xcrossing.y),
                                     CButtonState(buttonsFromState(event.xcrossing.state)));
            break;
        case LeaveNotify:
            if (event.xcrossing.mode == NotifyNormal) frame.dispatchMouseExited();
            break;
        case KeyPress: {
            VstKeyCode key = keyFromEvent(event.xkey);
            frame.dispatchKeyDown(key);
            break;
        }
        case KeyRelease: {
            VstKeyCode key = keyFromEvent(event.xkey);
            frame.dispatchKeyUp(key);
            break;
        }
        case DestroyNotify:
            // The host destroyed its window, and ours with it.
            if (event.xdestroywindow.window == window) windowGone = true;
            break;
        default:
            break;
    }
}

void X11Window::present(cairo_surface_t* source, const std::vector<CRect>& rects) {
    if (!windowSurface || !source || !isAlive()) return;
    Trap trap(display, window);
    cairo_t* cr = cairo_create(windowSurface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, source, 0, 0);
    for (const CRect& r : rects) cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(windowSurface);
    if (!trap.record.connectionLost) XFlush(display);
    absorb(trap.record);
}

void X11Window::takeKeyboard() {
    if (!isAlive()) return;
    Trap trap(display, window);
    XWindowAttributes info{};
    if (XGetWindowAttributes(display, window, &info) && info.map_state == IsViewable) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        trap.sync();
    }
    absorb(trap.record);
}

void X11Window::returnKeyboard() {
    if (!display) return;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    XWindowAttributes info{};
    // A viewable window has a viewable parent, so the parent can take the focus.
    if (focus == window && XGetWindowAttributes(display, window, &info) && info.map_state == IsViewable) {
        XSetInputFocus(display, parent, RevertToParent, CurrentTime);
        XFlush(display);
    }
}

}  // namespace toolkit
