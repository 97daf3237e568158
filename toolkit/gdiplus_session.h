#pragma once
// GDI+ for the toolkit on Windows. GDI+ is started when the first object that draws with it is
// made (a frame or a bitmap, so never while the module is being loaded) and shut down when the
// last one is gone. Windows only.
#include <string>

namespace Gdiplus {
class Bitmap;
}

namespace toolkit {

// Takes a reference on GDI+, starting it if needed; false when GDI+ cannot be started (no
// reference is held then).
bool acquireGdiplus();
// Gives back a reference taken by acquireGdiplus(); the last one shuts GDI+ down.
void releaseGdiplus();
// Number of references held (for tests).
int gdiplusReferences();

// Writes `bitmap` as a PNG file (the path is 8-bit, in the system's code page); false on failure.
bool writeBitmapPng(Gdiplus::Bitmap& bitmap, const char* path);

// 8-bit text as the wide text GDI+ draws: UTF-8 when it is valid UTF-8, otherwise each byte as
// the Latin-1 character of the same number (as the Linux drawing does).
std::wstring widenText(const char* text);

}  // namespace toolkit
