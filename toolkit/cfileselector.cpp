#include "toolkit/cfileselector.h"

#include <cstring>

namespace toolkit {
namespace {

CNewFileSelector::Chooser& installedChooser() {
    static CNewFileSelector::Chooser chooser;
    return chooser;
}

}  // namespace

CFileExtension::CFileExtension(const char* description, const char* extension, const char* mimeType, int)
    : description(description ? description : ""),
      extension(extension ? extension : ""),
      mimeType(mimeType ? mimeType : "") {}

CNewFileSelector::CNewFileSelector(CFrame* frame, Style style) : frame(frame) {
    request.style = style;
    request.defaultExtension = nullptr;
    request.multipleSelection = false;
}

CNewFileSelector* CNewFileSelector::create(CFrame* frame, Style style) { return new CNewFileSelector(frame, style); }

void CNewFileSelector::setDefaultExtension(const CFileExtension& extension) {
    defaultExtensionStore.assign(1, extension);
    request.defaultExtension = &defaultExtensionStore.front();
}

CNewFileSelector::~CNewFileSelector() { endSystemDialog(); }

CNewFileSelector::Progress CNewFileSelector::start() {
    endSystemDialog();
    selected.clear();
    // Running from here on: a modal dialog (or chooser) may pump the host's messages, and an
    // idle call that polls meanwhile must see the dialog as open, not as answered.
    progress = kRunning;
    starting = true;
    if (const Chooser& chooser = installedChooser()) {
        std::vector<std::string> chosen = chooser(request);
        starting = false;
        if (progress == kRunning) finish(std::move(chosen));  // unless cancelled meanwhile
        return progress;
    }
    const Progress answer = startSystemDialog();
    starting = false;
    if (progress == kRunning) progress = answer;  // unless cancelled meanwhile
    return progress;
}

CNewFileSelector::Progress CNewFileSelector::poll() {
    if (progress == kRunning && !starting) progress = pollSystemDialog(0);
    return progress;
}

void CNewFileSelector::cancel() {
    if (progress != kRunning) return;
    endSystemDialog();
    selected.clear();
    progress = kCancelled;
}

void CNewFileSelector::finish(std::vector<std::string> chosen) {
    if (!request.multipleSelection && chosen.size() > 1) chosen.resize(1);
    selected = std::move(chosen);
    progress = selected.empty() ? kCancelled : kChosen;
}

bool CNewFileSelector::runModal() {
    start();
    while (progress == kRunning) progress = pollSystemDialog(100);
    return progress == kChosen;
}

const char* CNewFileSelector::getSelectedFile(int index) const {
    if (index < 0 || index >= getNumSelectedFiles()) return nullptr;
    return selected[static_cast<size_t>(index)].c_str();
}

void CNewFileSelector::setChooser(Chooser chooser) { installedChooser() = std::move(chooser); }

bool CNewFileSelector::isTypeOf(const char* name) const {
    return std::strcmp(name, "CNewFileSelector") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace toolkit
