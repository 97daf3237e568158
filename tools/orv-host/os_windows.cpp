#include "tools/orv-host/os.h"

#include <windows.h>

#include <io.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace orvhost {

const char kPluginSuffix[] = ".dll";

void* openLibrary(const std::string& path, std::string& error) {
    // Without a folder in the name LoadLibrary would search the system folders first.
    std::string openPath = path.find_first_of("/\\:") == std::string::npos ? ".\\" + path : path;
    HMODULE library = LoadLibraryA(openPath.c_str());
    if (!library) error = "cannot load " + path + ": Windows error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
}

void* librarySymbol(void* library, const char* name) {
    return library ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name)) : nullptr;
}

void closeLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

long processId() { return static_cast<long>(GetCurrentProcessId()); }

std::string executableFolder() {
    char buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    std::string path(buf, n);
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
// Reserved device names (NUL, CON, ...) name no file on disk.
bool isDeviceName(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "NUL" || name == "CON" || name == "PRN" || name == "AUX";
}
}  // namespace

PathKind pathKind(const std::string& path) {
    if (isDeviceName(path)) return PathKind::Other;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::Regular;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (isDeviceName(a) || isDeviceName(b)) return false;
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool canWriteExisting(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

std::string followLinks(const std::string& path) { return path; }

std::string lastSystemError() { return std::strerror(errno); }

double wallSeconds() {
    LARGE_INTEGER frequency, now;
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&now) || frequency.QuadPart <= 0) return 0.0;
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// rename() of the C runtime refuses to replace an existing file on Windows.
bool replaceFile(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Thread CPU time on Windows advances in scheduler ticks (10 to 16 ms), far too coarse for
// benchmark runs of a few seconds; the performance counter's wall time is used instead. A bench
// run is a single busy thread, so on a quiet machine the two agree.
double threadCpuSeconds() {
    LARGE_INTEGER frequency, now;
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&now) || frequency.QuadPart <= 0) return 0.0;
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool stderrIsTerminal() { return _isatty(2) != 0; }

namespace {
volatile LONG noted = 0;

BOOL WINAPI noteInterruption(DWORD event) {
    // The first event is noted and handled by the command; a second one ends the program.
    if (InterlockedCompareExchange(&noted, event == CTRL_C_EVENT ? 2 : 15, 0) != 0) return FALSE;
    return TRUE;
}
}  // namespace

void catchInterruptions() { SetConsoleCtrlHandler(noteInterruption, TRUE); }

int interruption() { return static_cast<int>(noted); }

}  // namespace orvhost
