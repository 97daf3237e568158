// The editor host window on Windows: a plain top-level window, closed by its close button, whose
// messages (and those of the plug-in's child windows) are pumped without blocking. A screenshot
// copies the window's client area from its device context into a DIB and writes it as a PNG
// with GDI+'s encoder.
#include "tools/orv-host/editor_window.h"

#include <windows.h>
#include <gdiplus.h>

#include <cstdio>
#include <vector>

#include "tools/orv-host/os.h"
#include "tools/orv-host/output_file.h"

namespace orvhost {
namespace {

constexpr char kClassName[] = "OrvHostEditorWindow";

LRESULT CALLBACK hostWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // The command loop sees the flag and closes the editor before the window goes.
        SetPropA(hwnd, "OrvClosed", reinterpret_cast<HANDLE>(1));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The PNG encoder among GDI+'s image encoders.
bool pngEncoder(CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> store(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(store.data());
    if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType && std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

std::wstring widen(const std::string& s) {
    const int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    return w;
}

// Writes a top-down 32-bit image as a PNG file through GDI+.
bool writePng(const std::vector<std::uint32_t>& pixels, int width, int height, const std::string& path) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    bool ok = false;
    {
        Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppRGB,
                               reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(pixels.data())));
        CLSID clsid;
        ok = bitmap.GetLastStatus() == Gdiplus::Ok && pngEncoder(clsid) &&
             bitmap.Save(widen(path).c_str(), &clsid, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return ok;
}

}  // namespace

struct EditorWindow::Impl {
    HWND window = nullptr;
    int width = 0, height = 0;
    bool closed = false;
};

EditorWindow::~EditorWindow() { destroy(); }

bool EditorWindow::create(int width, int height, const std::string& title, std::string& error) {
    destroy();
    if (!usableEditorSize(width, height, error)) return false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = hostWindowProcedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "cannot register the host window class";
        return false;
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    HWND hwnd = CreateWindowExA(0, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!hwnd) {
        error = "cannot create the host window";
        return false;
    }
    impl = new Impl;
    impl->window = hwnd;
    impl->width = width;
    impl->height = height;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
}

bool EditorWindow::resize(int width, int height, std::string& error) {
    if (!impl) {
        error = "no window to resize";
        return false;
    }
    if (!usableEditorSize(width, height, error)) return false;
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, static_cast<DWORD>(GetWindowLongPtrA(impl->window, GWL_STYLE)), FALSE);
    SetWindowPos(impl->window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    impl->width = width;
    impl->height = height;
    return true;
}

void* EditorWindow::parentHandle() const { return impl ? impl->window : nullptr; }

void EditorWindow::movePointerAway() {
    if (!impl) return;
    // The far corner of the primary screen; harmless where there is no pointer at all.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
}

bool EditorWindow::pump() {
    if (!impl) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            impl->closed = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (GetPropA(impl->window, "OrvClosed")) impl->closed = true;
    return !impl->closed;
}

bool EditorWindow::capture(const std::string& pngPath, std::string& error) {
    if (!impl) {
        error = "no window to capture";
        return false;
    }
    pump();  // pending paints first
    const int w = impl->width, h = impl->height;
    HDC windowDc = GetDC(impl->window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    std::vector<std::uint32_t> pixels;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memoryDc, dib);
        // The window's client area as shown, child windows included (the host window does not
        // clip its children, so its device context covers them)...
        copied = BitBlt(memoryDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY) != FALSE;
        // ...then each child window (the editor) draws itself whole into the image, the part a
        // screen too small to show it cuts off included.
        for (HWND child = GetWindow(impl->window, GW_CHILD); copied && child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(HWND_DESKTOP, impl->window, reinterpret_cast<POINT*>(&r), 2);
            POINT before;
            SetViewportOrgEx(memoryDc, r.left, r.top, &before);
            SendMessageA(child, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memoryDc), PRF_CLIENT);
            SetViewportOrgEx(memoryDc, before.x, before.y, nullptr);
        }
        GdiFlush();
        if (copied) {
            const auto* p = static_cast<const std::uint32_t*>(bits);
            pixels.assign(p, p + static_cast<size_t>(w) * static_cast<size_t>(h));
        }
        SelectObject(memoryDc, old);
        DeleteObject(dib);
    }
    DeleteDC(memoryDc);
    ReleaseDC(impl->window, windowDc);
    if (!copied) {
        error = "cannot read the window's pixels";
        return false;
    }
    OutputPlan plan;
    return planOutput(pngPath, plan, error) && completeOutput(plan, writePng(pixels, w, h, plan.writePath), error);
}

void EditorWindow::destroy() {
    if (!impl) return;
    if (impl->window) DestroyWindow(impl->window);
    delete impl;
    impl = nullptr;
}

}  // namespace orvhost
