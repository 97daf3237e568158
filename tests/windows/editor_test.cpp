// The editors of both plug-in DLLs inside a host's window: they open as children of it, draw,
// turn mouse, wheel and keyboard messages into parameter changes that reach the host, keep
// themselves serviced with their window timer, and open and close cleanly many times.
#include "tests/windows/check.h"
#include "tests/windows/plugin_dll.h"

#include <windows.h>
#include <dlgs.h>
#include <gdiplus.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

struct Automation {
    VstInt32 index;
    float value;
};
std::vector<Automation> automations;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate) automations.push_back({index, opt});
    return 0;
}

bool automated(VstInt32 index, float value) {
    for (const Automation& a : automations)
        if (a.index == index && std::fabs(a.value - value) < 1e-6f) return true;
    return false;
}

bool anyAutomation(VstInt32 index) {
    for (const Automation& a : automations)
        if (a.index == index) return true;
    return false;
}

// Handles the messages of every window of this thread for `ms` milliseconds, as a host's
// message loop does (no effEditIdle calls).
void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

// A top-level window standing in for the host's editor window. It does not clip its children,
// so its device context shows what the editor drew.
class HostWindow {
public:
    HostWindow(int width, int height) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "OrvTestHost";
        RegisterClassA(&wc);  // fails harmlessly when already registered
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        hwnd = CreateWindowExA(0, "OrvTestHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        pump(20);
    }
    ~HostWindow() {
        if (hwnd) DestroyWindow(hwnd);
    }
    HWND hwnd = nullptr;
};

// The client area of `window` as shown, 0x00RRGGBB per pixel, rows from the top.
std::vector<std::uint32_t> capture(HWND window, int width, int height) {
    std::vector<std::uint32_t> pixels;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        if (BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY)) {
            GdiFlush();
            const auto* p = static_cast<const std::uint32_t*>(bits);
            pixels.assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
            for (std::uint32_t& px : pixels) px &= 0xFFFFFF;
        }
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return pixels;
}

size_t distinctColours(const std::vector<std::uint32_t>& pixels) {
    std::set<std::uint32_t> colours(pixels.begin(), pixels.end());
    return colours.size();
}

// Pixels that differ between two captures inside a rectangle.
int changedPixels(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, int width, RECT r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (a[static_cast<size_t>(y * width + x)] != b[static_cast<size_t>(y * width + x)]) ++n;
    return n;
}

// A plug-in started with the recording host, its editor open in a host window.
struct EditorSession {
    explicit EditorSession(const char* file) : dll(file) {
        automations.clear();
        fx = dll.start(recordingHost);
        if (!fx || !(fx->flags & effFlagsHasEditor)) return;
        ERect* rect = nullptr;
        if (!dll.dispatch(effEditGetRect, 0, 0, &rect) || !rect) return;
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        host = new HostWindow(width, height);
        opened = dll.dispatch(effEditOpen, 0, 0, host->hwnd) != 0;
        editor = GetWindow(host->hwnd, GW_CHILD);
        pump(150);
    }
    ~EditorSession() {
        if (opened) dll.dispatch(effEditClose);
        dll.closeEffect();
        delete host;
    }
    bool ready() const { return fx && opened && editor; }
    float parameter(int index) const { return fx->getParameter(fx, index); }
    void post(UINT message, WPARAM w, int x, int y) { PostMessageA(editor, message, w, MAKELPARAM(x, y)); }
    void click(int x, int y, WPARAM keys = 0) {
        post(WM_LBUTTONDOWN, MK_LBUTTON | keys, x, y);
        post(WM_LBUTTONUP, keys, x, y);
        pump(80);
    }
    void wheel(int x, int y, int notches) {
        POINT p{x, y};
        ClientToScreen(editor, &p);
        PostMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA), MAKELPARAM(p.x, p.y));
        pump(80);
    }
    void key(WPARAM vk) {
        PostMessageA(editor, WM_KEYDOWN, vk, 1);
        PostMessageA(editor, WM_KEYUP, vk, 1 | (3u << 30));
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) PostMessageA(editor, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
    std::vector<std::uint32_t> shot() { return capture(host->hwnd, width, height); }

    PluginDll dll;
    AEffect* fx = nullptr;
    HostWindow* host = nullptr;
    HWND editor = nullptr;
    int width = 0, height = 0;
    bool opened = false;
};

// Button centres of the main pages (top-left corner plus half of one image).
constexpr int kBorealisPowerX = 42 + 17, kBorealisPowerY = 388 + 24;
constexpr int kBorealisFatX = 250 + 16, kBorealisFatY = 390 + 23;
constexpr int kRatioX = 50 + 18, kRatioY = 165 + 18;
constexpr int kKestrelPowerX = 40 + 18, kKestrelPowerY = 308 + 23;

}  // namespace

ORV_TEST(editor, borealisOpensAsChildAndDraws) {
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.fx);
    CHECK(s.fx->flags & effFlagsHasEditor);
    REQUIRE(s.ready());
    CHECK_EQ(GetParent(s.editor), s.host->hwnd);
    RECT r{};
    GetClientRect(s.editor, &r);
    CHECK_EQ(r.right, s.width);
    CHECK_EQ(r.bottom, s.height);
    const std::vector<std::uint32_t> pixels = s.shot();
    REQUIRE(!pixels.empty());
    // The art has many colours; a failed draw leaves one or a few.
    CHECK(distinctColours(pixels) > 200);
    // Text is drawn: the preset name field shows the preset's name in dark ink on light ground.
    int dark = 0;
    for (int y = 446; y < 457; ++y)
        for (int x = 180; x < 290; ++x) {
            const std::uint32_t p = pixels[static_cast<size_t>(y * s.width + x)];
            if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 300) ++dark;
        }
    CHECK(dark > 20);
}

ORV_TEST(editor, clicksChangeParametersAndReachTheHost) {
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.ready());
    CHECK_EQ(s.parameter(1), 0.0f);
    const std::vector<std::uint32_t> before = s.shot();
    s.click(kBorealisFatX, kBorealisFatY);
    CHECK_EQ(s.parameter(1), 1.0f);
    CHECK(automated(1, 1.0f));
    // The button shows its new state without any idle call from the host.
    pump(150);
    const std::vector<std::uint32_t> after = s.shot();
    CHECK(changedPixels(before, after, s.width, RECT{250, 390, 282, 436}) > 20);

    automations.clear();
    const float power = s.parameter(0);
    s.click(kBorealisPowerX, kBorealisPowerY);
    CHECK(s.parameter(0) != power);
    CHECK(anyAutomation(0));

    // A press outside every control changes nothing.
    automations.clear();
    s.click(5, 140);
    CHECK(automations.empty());
}

ORV_TEST(editor, wheelAndControlClickOnAKnob) {
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.ready());
    const float start = s.parameter(6);
    s.wheel(kRatioX, kRatioY, 3);
    CHECK(s.parameter(6) > start + 0.02f);
    CHECK(anyAutomation(6));
    // Control and click put the knob back to its reset value.
    s.click(kRatioX, kRatioY, MK_CONTROL);
    CHECK(std::fabs(s.parameter(6) - 0.3f) < 1e-6f);
}

ORV_TEST(editor, typingRenamesThePreset) {
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.ready());
    const std::string before = s.dll.text(effGetProgramName);
    s.click(230, 451);
    for (size_t i = 0; i < before.size() + 2; ++i) s.key(VK_BACK);
    s.type("Win");
    s.key(VK_RETURN);
    pump(100);
    CHECK_EQ(s.dll.text(effGetProgramName), std::string("Win"));
    // Escape while typing keeps the name.
    s.click(230, 451);
    s.type("xyz");
    s.key(VK_ESCAPE);
    pump(100);
    CHECK_EQ(s.dll.text(effGetProgramName), std::string("Win"));
}

ORV_TEST(editor, hostChangesShowWithoutIdleCalls) {
    // The window timer services the editor when the host only runs its message loop.
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.ready());
    const std::vector<std::uint32_t> before = s.shot();
    s.fx->setParameter(s.fx, 1, 1.0f);
    pump(300);
    CHECK(changedPixels(before, s.shot(), s.width, RECT{250, 390, 282, 436}) > 20);
}

ORV_TEST(editor, opensAndClosesManyTimes) {
    PluginDll dll("OrvBorealis.dll");
    REQUIRE(dll.start(recordingHost));
    HostWindow host(450, 460);
    for (int i = 0; i < 25; ++i) {
        CHECK(dll.dispatch(effEditOpen, 0, 0, host.hwnd) != 0);
        pump(20);
        CHECK(GetWindow(host.hwnd, GW_CHILD) != nullptr);
        dll.dispatch(effEditIdle);
        dll.dispatch(effEditClose);
        CHECK(GetWindow(host.hwnd, GW_CHILD) == nullptr);
    }
    // The last window took the class with it, so the module can be unloaded and loaded again.
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    CHECK(!GetClassInfoExA(dll.handle(), "OrvEditorFrame", &info));
    // An editor refuses a parent that is not a window.
    CHECK(dll.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x1234))) == 0);
    dll.dispatch(effEditClose);
}

ORV_TEST(editor, bothPluginsInOneHost) {
    // Both DLLs register their window class under their own module.
    EditorSession b("OrvBorealis.dll");
    EditorSession k("OrvKestrel.dll");
    REQUIRE(b.ready());
    REQUIRE(k.ready());
    CHECK(distinctColours(k.shot()) > 200);
    const float power = k.parameter(0);
    k.click(kKestrelPowerX, kKestrelPowerY);
    CHECK(k.parameter(0) != power);
    CHECK(anyAutomation(0));
}

// Screenshots written by orv-host.exe: the expected size, real content, and (given a second
// file) a different picture, for the two pages of an editor.
int checkScreenshot(const char* path, int width, int height, const char* other) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 2;
    auto read = [](const char* file, std::vector<std::uint32_t>& pixels, int& w, int& h) {
        std::wstring wide;
        for (const char* c = file; *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        Gdiplus::Bitmap bitmap(wide.c_str());
        if (bitmap.GetLastStatus() != Gdiplus::Ok) return false;
        w = static_cast<int>(bitmap.GetWidth());
        h = static_cast<int>(bitmap.GetHeight());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Gdiplus::Color c;
                bitmap.GetPixel(x, y, &c);
                pixels.push_back(c.GetValue() & 0xFFFFFF);
            }
        return true;
    };
    int status = 0;
    {
        std::vector<std::uint32_t> pixels, otherPixels;
        int w = 0, h = 0, ow = 0, oh = 0;
        if (!read(path, pixels, w, h)) {
            std::printf("screenshot: cannot read %s\n", path);
            status = 1;
        } else {
            const size_t colours = distinctColours(pixels);
            std::printf("screenshot: %s is %dx%d with %zu colours\n", path, w, h, colours);
            if (w != width || h != height || colours < 200) status = 1;
            // The host window's own background is black: a bottom row or right column that is
            // black throughout is window the editor never painted (a window cut to the screen).
            bool bottomBlack = w > 0 && h > 0, rightBlack = w > 0 && h > 0;
            for (int x = 0; x < w && bottomBlack; ++x) bottomBlack = pixels[(h - 1) * w + x] == 0;
            for (int y = 0; y < h && rightBlack; ++y) rightBlack = pixels[y * w + w - 1] == 0;
            if (bottomBlack || rightBlack) {
                std::printf("screenshot: the %s edge is unpainted\n", bottomBlack ? "bottom" : "right");
                status = 1;
            }
            if (other) {
                if (!read(other, otherPixels, ow, oh) || ow != w || oh != h) {
                    status = 1;
                } else {
                    const int changed = changedPixels(pixels, otherPixels, w, RECT{0, 0, w, h});
                    std::printf("screenshot: %d pixels differ from %s\n", changed, other);
                    if (changed < w * h / 50) status = 1;
                }
            }
        }
    }
    Gdiplus::GdiplusShutdown(token);
    std::printf(status == 0 ? "screenshot ok\n" : "screenshot BAD\n");
    return status;
}

namespace {

// What the open preset menu looked like, read from inside its own loop.
struct MenuSeen {
    int items = -1;
    bool firstChecked = false, otherChecked = false;
    std::vector<int> columnStarts;
} menuSeen;

// Runs from a thread timer inside the popup menu's loop: records the menu's entries, then
// steps down three times (the first step highlights the first entry) and takes the entry.
VOID CALLBACK inspectMenuAndChooseThirdEntry(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND window = FindWindowA("#32768", nullptr);
    HMENU menu = window ? reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0)) : nullptr;
    if (menu) {
        menuSeen.items = GetMenuItemCount(menu);
        for (int i = 0; i < menuSeen.items; ++i) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_STATE;
            GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
            if (info.fType & MFT_MENUBARBREAK) menuSeen.columnStarts.push_back(i);
            if (info.fState & MFS_CHECKED) (i == 0 ? menuSeen.firstChecked : menuSeen.otherChecked) = true;
        }
    }
    for (WPARAM vk : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageA(window, WM_KEYDOWN, vk, 1);
}

}  // namespace

ORV_TEST(editor, presetMenuChoosesAPreset) {
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.ready());
    CHECK_EQ(s.dll.text(effGetProgramName), std::string("Default"));
    SetTimer(nullptr, 0, 200, inspectMenuAndChooseThirdEntry);
    s.click(299, 451);  // the menu button beside the name
    pump(200);
    // Sixteen presets in a column of ten and one of six, the current one checked.
    CHECK_EQ(menuSeen.items, 16);
    CHECK(menuSeen.firstChecked);
    CHECK(!menuSeen.otherChecked);
    CHECK_EQ(menuSeen.columnStarts.size(), static_cast<size_t>(1));
    CHECK(!menuSeen.columnStarts.empty() && menuSeen.columnStarts[0] == 10);
    CHECK_EQ(s.dll.text(effGetProgramName), std::string("PhatMix"));
}

namespace {

std::string dialogAnswer;
int dialogTicks = 0;
bool dialogSeen = false;

// Runs from a thread timer inside the file dialog's loop: types the answer into the file name
// field and presses OK; should the dialog still be there later, it is cancelled so that a
// failing test cannot hang.
VOID CALLBACK answerFileDialog(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowA("#32770", nullptr);
    ++dialogTicks;
    if (dialog && dialogTicks == 2) {
        dialogSeen = true;
        if (!SetDlgItemTextA(dialog, cmb13, dialogAnswer.c_str())) SetDlgItemTextA(dialog, edt1, dialogAnswer.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    } else if (dialog && dialogTicks > 6) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else if (!dialog && dialogTicks > 2) {
        KillTimer(nullptr, id);
    }
}

long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<long>(data.nFileSizeLow);
}

}  // namespace

ORV_TEST(editor, savePresetThroughTheFileDialog) {
    EditorSession s("OrvBorealis.dll");
    REQUIRE(s.ready());
    char temp[MAX_PATH] = {};
    REQUIRE(GetTempPathA(MAX_PATH, temp) > 0);
    // A full Windows path without an extension: the file gets the preset extension.
    const std::string base = std::string(temp) + "orv dialog test";
    DeleteFileA((base + ".orv").c_str());
    dialogAnswer = base;
    dialogTicks = 0;
    dialogSeen = false;
    SetTimer(nullptr, 0, 150, answerFileDialog);
    s.click(97, 451);  // save preset
    pump(300);
    CHECK(dialogSeen);
    CHECK_EQ(fileSize(base + ".orv"), 165L);
    DeleteFileA((base + ".orv").c_str());
}
