#include "toolkit/x11window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>

#include <cstdlib>

#include "toolkit/cframe.h"

namespace toolkit {
namespace {

// Set while the window is created: a bad parent id must fail the open, not end the host.
bool creationFailed = false;
int noteCreationError(Display*, XErrorEvent*) {
    creationFailed = true;
    return 0;
}

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
    XSync(display, False);
    creationFailed = false;
    XErrorHandler previous = XSetErrorHandler(noteCreationError);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask;
    Window w = XCreateWindow(display, parentWindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                             CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    XWindowAttributes info{};
    XSync(display, False);
    if (!creationFailed) XGetWindowAttributes(display, w, &info);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (creationFailed || !info.visual) {
        XCloseDisplay(display);
        display = nullptr;
        return;
    }
    window = w;
    parent = parentWindow;
    windowSurface = cairo_xlib_surface_create(display, window, info.visual, width, height);
    XMapWindow(display, window);
    XFlush(display);
}

X11Window::~X11Window() {
    if (windowSurface) cairo_surface_destroy(windowSurface);
    if (display) {
        if (window) XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
}

void X11Window::pump() {
    if (!display) return;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        handle(event);
    }
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
        default:
            break;
    }
}

void X11Window::present(cairo_surface_t* source, const std::vector<CRect>& rects) {
    if (!windowSurface || !source) return;
    cairo_t* cr = cairo_create(windowSurface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, source, 0, 0);
    for (const CRect& r : rects) cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(windowSurface);
    XFlush(display);
}

void X11Window::takeKeyboard() {
    if (!display) return;
    XWindowAttributes info{};
    if (XGetWindowAttributes(display, window, &info) && info.map_state == IsViewable) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XFlush(display);
    }
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
