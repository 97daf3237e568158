#include "toolkit/win32window.h"

#include <windows.h>
#include <windowsx.h>
#include <gdiplus.h>

#include "platform/module_handle.h"
#include "toolkit/cframe.h"

namespace toolkit {
namespace {

constexpr char kClassName[] = "OrvEditorFrame";
constexpr UINT_PTR kTimerId = 1;

// The window class is registered with this module's handle while windows of it exist, and
// unregistered with the last one, so that a module unloaded and loaded again registers afresh.
int windowCount = 0;

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

HINSTANCE thisModule() {
    if (void* recorded = orv::platform::moduleHandle()) return static_cast<HINSTANCE>(recorded);
    // A program that links the toolkit itself records no handle: take the module of this code.
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&windowProcedure), &module);
    return module;
}

bool registerClass() {
    if (windowCount > 0) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProcedure;
    wc.hInstance = thisModule();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (RegisterClassExA(&wc)) return true;
    // Left behind by an earlier copy of this module that was not unloaded cleanly: replace it.
    if (GetLastError() == ERROR_CLASS_ALREADY_EXISTS && UnregisterClassA(kClassName, wc.hInstance))
        return RegisterClassExA(&wc) != 0;
    return false;
}

void unregisterClass() {
    if (windowCount == 0) UnregisterClassA(kClassName, thisModule());
}

// Buttons and modifiers of a mouse message (its key state), with Alt from the keyboard.
std::int32_t buttonsFromKeyState(WPARAM keys) {
    std::int32_t b = 0;
    if (keys & MK_LBUTTON) b |= kLButton;
    if (keys & MK_MBUTTON) b |= kMButton;
    if (keys & MK_RBUTTON) b |= kRButton;
    if (keys & MK_SHIFT) b |= kShift;
    if (keys & MK_CONTROL) b |= kControl;
    if (GetKeyState(VK_MENU) < 0) b |= kAlt;
    return b;
}

std::int32_t modifiersFromKeyState(WPARAM keys) { return buttonsFromKeyState(keys) & (kShift | kControl | kAlt); }

unsigned char virtualKey(WPARAM vk) {
    switch (vk) {
        case VK_RETURN: return kVKeyReturn;
        case VK_ESCAPE: return kVKeyEscape;
        case VK_BACK: return kVKeyBack;
        case VK_DELETE: return kVKeyDelete;
        case VK_TAB: return kVKeyTab;
        case VK_LEFT: return kVKeyLeft;
        case VK_RIGHT: return kVKeyRight;
        case VK_UP: return kVKeyUp;
        case VK_DOWN: return kVKeyDown;
        case VK_HOME: return kVKeyHome;
        case VK_END: return kVKeyEnd;
        default: return 0;
    }
}

unsigned char keyModifiers() {
    unsigned char m = 0;
    if (GetKeyState(VK_SHIFT) < 0) m |= kKeyModifierShift;
    if (GetKeyState(VK_CONTROL) < 0) m |= kKeyModifierControl;
    if (GetKeyState(VK_MENU) < 0) m |= kKeyModifierAlternate;
    return m;
}

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window && window->id() == hwnd) return window->handle(message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

Win32Window::Win32Window(void* parent, int width, int height, CFrame& frame) : frame(frame) {
    HWND parentWindow = static_cast<HWND>(parent);
    if (!parentWindow || !IsWindow(parentWindow) || !registerClass()) return;
    ++windowCount;
    // The procedure forwards messages once `window` is known; until then (creation messages)
    // it answers them by default.
    HWND hwnd = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                width, height, parentWindow, nullptr, thisModule(), this);
    if (!hwnd) {
        --windowCount;
        unregisterClass();
        return;
    }
    window = hwnd;
    SetTimer(hwnd, kTimerId, kTimerMs, nullptr);
}

Win32Window::~Win32Window() {
    if (!window) return;
    HWND hwnd = static_cast<HWND>(window);
    KillTimer(hwnd, kTimerId);
    if (GetCapture() == hwnd) ReleaseCapture();
    // No more messages to this object while the window goes.
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    window = nullptr;
    DestroyWindow(hwnd);
    --windowCount;
    unregisterClass();
}

void Win32Window::paint(void* dc, CNativeSurface* source) {
    if (!source) return;
    const UINT w = source->GetWidth(), h = source->GetHeight();
    Gdiplus::Rect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data{};
    if (source->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppRGB, &data) != Gdiplus::Ok) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = data.Stride / 4;
    info.bmiHeader.biHeight = -static_cast<LONG>(h);  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(static_cast<HDC>(dc), 0, 0, static_cast<int>(w), static_cast<int>(h), 0, 0, static_cast<int>(w),
                  static_cast<int>(h), data.Scan0, &info, DIB_RGB_COLORS, SRCCOPY);
    source->UnlockBits(&data);
}

void Win32Window::present(CNativeSurface* source, const std::vector<CRect>& rects) {
    if (!window || !source || rects.empty()) return;
    HWND hwnd = static_cast<HWND>(window);
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (const CRect& r : rects) {
        HRGN part = CreateRectRgn(static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                                  static_cast<int>(r.bottom));
        CombineRgn(region, region, part, RGN_OR);
        DeleteObject(part);
    }
    SelectClipRgn(dc, region);
    paint(dc, source);
    SelectClipRgn(dc, nullptr);
    DeleteObject(region);
    ReleaseDC(hwnd, dc);
}

void Win32Window::takeKeyboard() {
    if (window && IsWindowVisible(static_cast<HWND>(window))) SetFocus(static_cast<HWND>(window));
}

void Win32Window::returnKeyboard() {
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd || GetFocus() != hwnd) return;
    if (HWND parent = GetParent(hwnd)) SetFocus(parent);
}

std::intptr_t Win32Window::handle(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    HWND hwnd = static_cast<HWND>(window);
    const CPoint where(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            // Views that became dirty are drawn first; the exposed area then comes from the surface.
            frame.idle();
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (dc) paint(dc, frame.getSurface());
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            frame.idle();
            paint(reinterpret_cast<HDC>(wParam), frame.getSurface());
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId) {
                if (CEditorInterface* editor = frame.getEditor()) editor->serviceIdleTimer();
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: {
            std::int32_t pressed = kLButton;
            if (message == WM_MBUTTONDOWN || message == WM_MBUTTONDBLCLK) pressed = kMButton;
            if (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK) pressed = kRButton;
            std::int32_t buttons = buttonsFromKeyState(wParam) | pressed;
            if (message == WM_LBUTTONDBLCLK || message == WM_MBUTTONDBLCLK || message == WM_RBUTTONDBLCLK)
                buttons |= kDoubleClick;
            const CMouseEventResult result = frame.dispatchMouseDown(where, CButtonState(buttons));
            // A view that follows the drag keeps the mouse even outside the window. (A menu or
            // dialog opened by the press has run its own loop by now.)
            if (result == kMouseEventHandled && IsWindow(hwnd)) SetCapture(hwnd);
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            const std::int32_t released =
                message == WM_LBUTTONUP ? kLButton : message == WM_MBUTTONUP ? kMButton : kRButton;
            frame.dispatchMouseUp(where, CButtonState(released | modifiersFromKeyState(wParam)));
            if (!(wParam & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON)) && GetCapture() == hwnd) ReleaseCapture();
            return 0;
        }
        case WM_MOUSEMOVE: {
            if (!trackingLeave) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
                trackingLeave = TrackMouseEvent(&track) != FALSE;
            }
            frame.dispatchMouseMoved(where, CButtonState(buttonsFromKeyState(wParam)));
            return 0;
        }
        case WM_MOUSELEAVE:
            trackingLeave = false;
            frame.dispatchMouseExited();
            return 0;
        case WM_MOUSEWHEEL: {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
            ScreenToClient(hwnd, &p);
            const float distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            const CButtonState state(modifiersFromKeyState(GET_KEYSTATE_WPARAM(wParam)));
            if (frame.dispatchWheel(CPoint(p.x, p.y), distance, state)) return 0;
            break;  // unhandled turns go on to the host's window
        }
        case WM_GETDLGCODE:
            // Hosts that run editors in dialogs must not take Tab, Return or Escape away.
            return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS;
        case WM_KEYDOWN:
        case WM_KEYUP: {
            VstKeyCode key{0, static_cast<unsigned char>(virtualKey(wParam)), keyModifiers()};
            if (key.virt == 0) break;  // characters arrive as WM_CHAR
            const std::int32_t r = message == WM_KEYDOWN ? frame.dispatchKeyDown(key) : frame.dispatchKeyUp(key);
            if (r == kKeyHandled) return 0;
            break;
        }
        case WM_CHAR: {
            // Control characters (Return, Backspace, Escape, Tab) came as keys already.
            if (wParam < 0x20 || wParam == 0x7f || wParam > 0xff) break;
            VstKeyCode key{static_cast<std::int32_t>(wParam), 0, keyModifiers()};
            if (frame.dispatchKeyDown(key) == kKeyHandled) return 0;
            break;
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace toolkit
