// The editor host window on X11: a plain top-level window, closed by the window manager's close
// button, and captured with XGetImage into a cairo surface for PNG output.
#include "tools/orv-host/editor_window.h"
#include "tools/orv-host/output_file.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdint>
#include <cstdio>

namespace orvhost {

struct EditorWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteAtom = 0;
    int width = 0, height = 0;
    bool closed = false;
};

EditorWindow::~EditorWindow() { destroy(); }

bool EditorWindow::create(int width, int height, const std::string& title, std::string& error) {
    destroy();
    if (!usableEditorSize(width, height, error)) return false;
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        error = "cannot open the X display (is DISPLAY set? try xvfb-run)";
        return false;
    }
    impl = new Impl;
    impl->display = d;
    impl->width = width;
    impl->height = height;
    const int screen = DefaultScreen(d);
    impl->window = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, BlackPixel(d, screen),
                                       BlackPixel(d, screen));
    XStoreName(d, impl->window, title.c_str());
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(d, impl->window, &hints);
    impl->deleteAtom = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, impl->window, &impl->deleteAtom, 1);
    XSelectInput(d, impl->window, StructureNotifyMask);
    XMapWindow(d, impl->window);
    // Wait until the window is really on screen before a plug-in builds its child in it.
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == MapNotify && e.xmap.window == impl->window) break;
    }
    XSync(d, False);
    return true;
}

bool EditorWindow::resize(int width, int height, std::string& error) {
    if (!impl) {
        error = "no window to resize";
        return false;
    }
    if (!usableEditorSize(width, height, error)) return false;
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(impl->display, impl->window, &hints);
    XResizeWindow(impl->display, impl->window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(impl->display, False);
    impl->width = width;
    impl->height = height;
    return true;
}

void* EditorWindow::parentHandle() const {
    return impl ? reinterpret_cast<void*>(static_cast<std::uintptr_t>(impl->window)) : nullptr;
}

void EditorWindow::movePointerAway() {
    if (!impl) return;
    Display* d = impl->display;
    const int screen = DefaultScreen(d);
    // The window sits at the top left corner; the far corner of the screen is outside it unless
    // the screen is no larger than the window, and then the pointer cannot leave it anyway.
    XWarpPointer(d, None, RootWindow(d, screen), 0, 0, 0, 0, DisplayWidth(d, screen) - 1,
                 DisplayHeight(d, screen) - 1);
    XSync(d, False);
}

bool EditorWindow::pump() {
    if (!impl) return false;
    while (XPending(impl->display)) {
        XEvent e;
        XNextEvent(impl->display, &e);
        if (e.type == ClientMessage && static_cast<Atom>(e.xclient.data.l[0]) == impl->deleteAtom) impl->closed = true;
    }
    return !impl->closed;
}

bool EditorWindow::capture(const std::string& pngPath, std::string& error) {
    if (!impl) {
        error = "no window to capture";
        return false;
    }
    XSync(impl->display, False);
    XImage* image = XGetImage(impl->display, impl->window, 0, 0, static_cast<unsigned>(impl->width),
                              static_cast<unsigned>(impl->height), AllPlanes, ZPixmap);
    if (!image) {
        error = "cannot read the window's pixels";
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, impl->width, impl->height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    cairo_surface_flush(surface);
    // Convert through the visual's channel masks, whatever the server's pixel layout.
    auto channel = [](unsigned long pixel, unsigned long mask) -> std::uint32_t {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const unsigned long maxv = mask >> shift;
        return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / maxv);
    };
    for (int y = 0; y < impl->height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < impl->width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            row[x] = (channel(p, image->red_mask) << 16) | (channel(p, image->green_mask) << 8) |
                     channel(p, image->blue_mask);
        }
    }
    cairo_surface_mark_dirty(surface);
    XDestroyImage(image);
    OutputPlan plan;
    bool ok = planOutput(pngPath, plan, error);
    if (ok) ok = completeOutput(plan, cairo_surface_write_to_png(surface, plan.writePath.c_str()) == CAIRO_STATUS_SUCCESS,
                                error);
    cairo_surface_destroy(surface);
    return ok;
}

void EditorWindow::destroy() {
    if (!impl) return;
    if (impl->window) XDestroyWindow(impl->display, impl->window);
    XCloseDisplay(impl->display);
    delete impl;
    impl = nullptr;
}

}  // namespace orvhost
