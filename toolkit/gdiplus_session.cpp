#include "toolkit/gdiplus_session.h"

#include <windows.h>
#include <gdiplus.h>

#include <vector>

namespace toolkit {
namespace {

// The toolkit runs on the host's interface thread only, so the count needs no lock.
int references = 0;
ULONG_PTR token = 0;

}  // namespace

bool acquireGdiplus() {
    if (references == 0) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
            token = 0;
            return false;
        }
    }
    ++references;
    return true;
}

void releaseGdiplus() {
    if (references <= 0) return;
    if (--references == 0) {
        Gdiplus::GdiplusShutdown(token);
        token = 0;
    }
}

int gdiplusReferences() { return references; }

bool writeBitmapPng(Gdiplus::Bitmap& bitmap, const char* path) {
    if (!path) return false;
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> store(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(store.data());
    if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType && std::wstring(encoders[i].MimeType) == L"image/png") {
            const int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
            if (n <= 0) return false;
            std::wstring wide(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], n);
            return bitmap.Save(wide.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
        }
    }
    return false;
}

std::wstring widenText(const char* text) {
    if (!text || !*text) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n > 0) {
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], n);
        wide.resize(static_cast<size_t>(n - 1));
        return wide;
    }
    std::wstring wide;
    for (const char* p = text; *p; ++p) wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return wide;
}

}  // namespace toolkit
