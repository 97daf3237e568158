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

bool CNewFileSelector::runModal() {
    selected.clear();
    const Chooser& chooser = installedChooser();
    std::vector<std::string> chosen = chooser ? chooser(request) : runSystemDialog(request);
    if (!request.multipleSelection && chosen.size() > 1) chosen.resize(1);
    selected = std::move(chosen);
    return !selected.empty();
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
