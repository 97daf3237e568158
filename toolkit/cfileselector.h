#pragma once
// File dialogs. A selector is set up with a title, a starting folder, file extensions and a
// default file name, then run modally. On Linux it runs `zenity` or, failing that, `kdialog`
// when one of them is installed, and reports "cancelled" when neither is; on Windows it shows
// the common open or save dialog. Tests and tools can
// install a chooser function that answers in place of the dialog.
#include <functional>
#include <string>
#include <vector>

#include "toolkit/baseobject.h"

namespace toolkit {

class CFrame;

class CFileExtension {
public:
    CFileExtension(const char* description, const char* extension, const char* mimeType = nullptr, int macType = 0);
    const std::string& getDescription() const { return description; }
    const std::string& getExtension() const { return extension; }
    const std::string& getMimeType() const { return mimeType; }

private:
    std::string description;
    std::string extension;
    std::string mimeType;
};

class CNewFileSelector : public CBaseObject {
public:
    enum Style { kSelectFile, kSelectSaveFile, kSelectDirectory };

    // What a chooser is asked for.
    struct Request {
        Style style;
        std::string title;
        std::string initialDirectory;
        std::string defaultSaveName;
        std::vector<CFileExtension> extensions;
        const CFileExtension* defaultExtension;
        bool multipleSelection;
    };
    // Returns the chosen paths; an empty list means cancelled.
    using Chooser = std::function<std::vector<std::string>(const Request&)>;

    // A selector for `frame`'s window (the frame may be null).
    static CNewFileSelector* create(CFrame* frame, Style style = kSelectFile);

    void setTitle(const char* title) { request.title = title ? title : ""; }
    void setInitialDirectory(const char* path) { request.initialDirectory = path ? path : ""; }
    void setDefaultSaveName(const char* name) { request.defaultSaveName = name ? name : ""; }
    void addFileExtension(const CFileExtension& extension) { request.extensions.push_back(extension); }
    void setDefaultExtension(const CFileExtension& extension);
    void setAllowMultiFileSelection(bool state) { request.multipleSelection = state; }

    // Shows the dialog and waits for it; true when at least one file was chosen.
    bool runModal();
    int getNumSelectedFiles() const { return static_cast<int>(selected.size()); }
    // Path of chosen file `index`, or null.
    const char* getSelectedFile(int index) const;
    const Request& getRequest() const { return request; }

    // Replaces the system dialog for every selector (null restores it).
    static void setChooser(Chooser chooser);
    // The system dialog: zenity or kdialog, or nothing, on Linux; the common dialogs on Windows.
    static std::vector<std::string> runSystemDialog(const Request& request);

    bool isTypeOf(const char* name) const override;

private:
    CNewFileSelector(CFrame* frame, Style style);

    CFrame* frame;
    Request request;
    std::vector<CFileExtension> defaultExtensionStore;
    std::vector<std::string> selected;
};

}  // namespace toolkit
