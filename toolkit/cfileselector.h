#pragma once
// File dialogs. A selector is set up with a title, a starting folder, file extensions and a
// default file name, then started. On Linux it runs `zenity` or, failing that, `kdialog` as a
// child process and returns at once: the editor keeps working while the dialog is open and
// polls for the answer from its idle calls. With neither program installed it reports that
// (and says on stderr what to install). On Windows it shows the common open or save dialog,
// which is modal and has answered when start() returns. Tests and tools can install a chooser
// function that answers at once in place of the dialog.
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
    // Where a dialog stands.
    enum Progress {
        kNotStarted,
        kRunning,      // open; poll() again later
        kChosen,       // at least one file was chosen
        kCancelled,    // closed without a choice, ended, or the program failed
        kUnavailable,  // no dialog program is installed
    };
    // A short note for the editor to show when no dialog program is installed.
    static constexpr const char* kNoDialogHint = "Install zenity or kdialog";

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

    // Opens the dialog and returns without waiting for it (see the note at the top). A dialog
    // still open from an earlier start is ended first.
    Progress start();
    // Looks for the dialog's answer without waiting.
    Progress poll();
    // Ends an open dialog: its program is stopped and reaped, and nothing is chosen.
    void cancel();
    Progress getProgress() const { return progress; }
    bool isRunning() const { return progress == kRunning; }

    // Opens the dialog and waits for it; true when at least one file was chosen.
    bool runModal();
    int getNumSelectedFiles() const { return static_cast<int>(selected.size()); }
    // Path of chosen file `index`, or null.
    const char* getSelectedFile(int index) const;
    const Request& getRequest() const { return request; }

    // Replaces the system dialog for every selector (null restores it).
    static void setChooser(Chooser chooser);

    bool isTypeOf(const char* name) const override;

private:
    CNewFileSelector(CFrame* frame, Style style);
    ~CNewFileSelector() override;
    void finish(std::vector<std::string> chosen);

    // The system dialog, one implementation per platform. Start returns kRunning, or the final
    // state when the dialog has already answered; pollSystemDialog waits up to `waitMs` for it.
    Progress startSystemDialog();
    Progress pollSystemDialog(int waitMs);
    void endSystemDialog();

    struct Process;  // the running dialog program, where there is one

    CFrame* frame;
    Request request;
    std::vector<CFileExtension> defaultExtensionStore;
    std::vector<std::string> selected;
    Progress progress = kNotStarted;
    bool starting = false;  // inside start(): a modal dialog or chooser has not returned yet
    Process* process = nullptr;
};

}  // namespace toolkit
