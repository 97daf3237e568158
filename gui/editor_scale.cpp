#include "gui/editor_scale.h"

#include "platform/registry.h"
#include "platform/resources.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#endif

namespace {

const char kScaleKey[] = "SOFTWARE\\Orv-tonekraft\\Tamarind";
const char kScaleName[] = "editorscale";

}  // namespace

int storedEditorScale() {
    std::int32_t value = 0;
    if (orv::platform::registryGetBinary(kScaleKey, kScaleName, &value, sizeof value) != sizeof value) return 0;
    return orv::platform::isEditorScale(value) ? value : 0;
}

void storeEditorScale(int percent) {
    if (!orv::platform::isEditorScale(percent)) return;
    const std::int32_t value = percent;
    orv::platform::registrySetBinary(kScaleKey, kScaleName, &value, sizeof value);
}

int editorScaleForDpi(double dpi) {
    if (!(dpi > 0.0)) return 100;
    const double wanted = dpi / 96.0 * 100.0;
    int best = 100;
    for (int p : orv::platform::kEditorScales)
        if (std::fabs(p - wanted) < std::fabs(best - wanted)) best = p;
    return best;
}

#ifdef _WIN32
int screenEditorScale(void* parentWindow) {
    // GetDpiForWindow exists from Windows 10 (1607) on; older systems report 100 %.
    using GetDpi = UINT(WINAPI*)(HWND);
    HMODULE user = GetModuleHandleA("user32.dll");
    auto getDpi = user ? reinterpret_cast<GetDpi>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))
                       : nullptr;
    if (!getDpi || !parentWindow) return 100;
    return editorScaleForDpi(static_cast<double>(getDpi(static_cast<HWND>(parentWindow))));
}
#else
int screenEditorScale(void*) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 100;
    int percent = 100;
    // The Xft.dpi resource of the screen's resource database, as desktop toolkits read it.
    if (const char* resources = XResourceManagerString(display)) {
        XrmInitialize();
        XrmDatabase db = XrmGetStringDatabase(resources);
        char* type = nullptr;
        XrmValue value{};
        if (db && XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
            percent = editorScaleForDpi(std::strtod(value.addr, nullptr));
        if (db) XrmDestroyDatabase(db);
    }
    XCloseDisplay(display);
    return percent;
}
#endif

int chosenEditorScale(void* parentWindow, int artProbe) {
    if (const int stored = storedEditorScale()) return stored;
    const int screen = screenEditorScale(parentWindow);
    if (screen == 100) return 100;
    const int probe = orv::platform::scaledResourceNumber(artProbe, screen);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    orv::platform::DrawnImage image;
    if (!orv::platform::findResource(probe, data, size) && !orv::platform::findDrawnImage(probe, image)) return 100;
    return screen;
}
