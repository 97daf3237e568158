#pragma once
// The Win32 window of an embedded frame on Windows: a child of the host's window, of a window
// class registered by this module while any of its frames has a window. Messages reach it
// through the host's own message loop; they are turned into the frame's dispatch operations.
// Drawing is copied from the frame's image surface. A window timer ticks the editor's idle
// timer so that the editor keeps being serviced when the host sends no idle calls.
#include <cstdint>
#include <vector>

#include "toolkit/geometry.h"
#include "toolkit/native.h"

namespace toolkit {

class CFrame;

class Win32Window {
public:
    // `parent` is the host's HWND; a null or invalid one leaves the window closed.
    Win32Window(void* parent, int width, int height, CFrame& frame);
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    bool isOpen() const { return window != nullptr; }
    void* id() const { return window; }

    // Messages arrive through the host's message loop: there is nothing to fetch here.
    void pump() {}
    // Copies `rects` of `source` to the window.
    void present(CNativeSurface* source, const std::vector<CRect>& rects);
    // Directs the keyboard to this window (while a text field is being edited).
    void takeKeyboard();
    // Gives the keyboard back to the host's window when this window holds it.
    void returnKeyboard();

    // Interval of the window timer. The editor's idle timer runs at 50 ms; ticking twice as
    // often services it at most half a period late.
    static constexpr unsigned kTimerMs = 25;

    // Handles one message of the window; answers like a window procedure.
    std::intptr_t handle(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

private:
    // Copies the surface to `dc`, which is clipped to what needs it.
    void paint(void* dc, CNativeSurface* source);

    CFrame& frame;
    void* window = nullptr;
    bool trackingLeave = false;
};

}  // namespace toolkit
