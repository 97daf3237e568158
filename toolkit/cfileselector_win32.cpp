// The system file dialog on Windows: the common open and save dialogs, owned by the active
// window (the host's window that holds the editor), with one filter per file extension. They
// are modal, as Windows users expect of them.
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "toolkit/cfileselector.h"

namespace toolkit {
namespace {

// Room for many file names when several may be chosen.
constexpr DWORD kBufferSize = 32768;

// Shows the dialog for `r` and waits for it; the chosen paths, or none.
std::vector<std::string> runSystemDialog(const CNewFileSelector::Request& r) {
    using Selector = CNewFileSelector;
    if (r.style == Selector::kSelectDirectory) return {};  // no folder dialog is needed by the editors
    // Filters: "Description (*.ext)\0*.ext\0" for each extension, ending with an empty pair.
    std::string filter;
    for (const CFileExtension& e : r.extensions) {
        if (e.getExtension().empty()) continue;
        filter += e.getDescription() + " (*." + e.getExtension() + ")";
        filter += '\0';
        filter += "*." + e.getExtension();
        filter += '\0';
    }
    filter += "All files (*.*)";
    filter += '\0';
    filter += "*.*";
    filter += '\0';
    filter += '\0';

    std::string buffer(kBufferSize, '\0');
    if (r.style == Selector::kSelectSaveFile && r.defaultSaveName.size() < kBufferSize - 1)
        std::memcpy(&buffer[0], r.defaultSaveName.data(), r.defaultSaveName.size());
    std::string defaultExtension;
    if (r.defaultExtension) defaultExtension = r.defaultExtension->getExtension();
    else if (!r.extensions.empty()) defaultExtension = r.extensions.front().getExtension();

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = &buffer[0];
    ofn.nMaxFile = kBufferSize;
    ofn.lpstrInitialDir = r.initialDirectory.empty() ? nullptr : r.initialDirectory.c_str();
    ofn.lpstrTitle = r.title.empty() ? nullptr : r.title.c_str();
    ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    BOOL ok;
    if (r.style == Selector::kSelectSaveFile) {
        ofn.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        ok = GetSaveFileNameA(&ofn);
    } else {
        ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        if (r.multipleSelection) ofn.Flags |= OFN_ALLOWMULTISELECT;
        ok = GetOpenFileNameA(&ofn);
    }
    if (!ok) return {};
    // One file: its full path. Several: the folder, then each name, each ended by a zero.
    std::vector<std::string> parts;
    for (const char* p = buffer.c_str(); *p && p < buffer.c_str() + kBufferSize; p += std::strlen(p) + 1)
        parts.emplace_back(p);
    if (parts.size() <= 1) return parts;
    std::vector<std::string> chosen;
    std::string folder = parts.front();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    for (size_t i = 1; i < parts.size(); ++i) chosen.push_back(folder + parts[i]);
    return chosen;
}

}  // namespace

// The common dialogs are modal: they have answered when the start returns, unless the editor
// was closed from inside the dialog's message loop and cancelled it meanwhile.
CNewFileSelector::Progress CNewFileSelector::startSystemDialog() {
    std::vector<std::string> chosen = runSystemDialog(request);
    if (progress == kRunning) finish(std::move(chosen));
    return progress;
}

CNewFileSelector::Progress CNewFileSelector::pollSystemDialog(int) { return progress; }

void CNewFileSelector::endSystemDialog() {}

}  // namespace toolkit
