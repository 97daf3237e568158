#pragma once
// CPresetSystemEditor: the editor-side half of the preset system and the base of each plug-in's
// editor. It builds the preset bar inside the editor window (name field, preset menu,
// previous/next rocker, load and save buttons for presets and banks, default preset and
// default bank buttons, store and recall buttons of the memories A and B), moves records
// between the effect's preset store, preset and bank files, the per-user store and the
// controls, and reloads the stored defaults when the plug-in starts.
//
// How a plug-in editor uses it:
//   open(parent):   create `frame` (createEditorFrame), add its own controls, then call
//                   CPresetSystemEditor::open(parent), which adds the preset bar.
//   close():        call CPresetSystemEditor::close() first, then release the frame.
//   idle():         call CPresetSystemEditor::idle() first, then do its own idle work.
//   valueChanged(): call CPresetSystemEditor::valueChanged(control) first; it handles the tags
//                   59 to 77 below and ignores every other tag.
#include <cstdint>
#include <string>

#include "presets/preset_file_record.h"
#include "presets/preset_system_effect.h"
#include "toolkit/aeffguieditor.h"
#include "toolkit/ccontrol.h"
#include "toolkit/geometry.h"

namespace toolkit {
class CTextEdit;
class COptionMenu;
class CBitmap;
class CNewFileSelector;
}  // namespace toolkit
class CPSKickButton;
class CSaveLoadButton;
class CPSRockerSwitch;

// Vertical position of the preset bar in a plug-in's window (editor pixels): the main band of
// the name field, menu, rocker and load/save/memory buttons, and the kick band of the two
// default buttons. Horizontal positions are the same in both plug-ins.
struct PresetBarBands {
    toolkit::CCoord mainTop;
    toolkit::CCoord mainBottom;
    toolkit::CCoord kickTop;
    toolkit::CCoord kickBottom;
};
inline constexpr PresetBarBands kBorealisPresetBar{444, 458, 446, 456};
inline constexpr PresetBarBands kKestrelPresetBar{362, 376, 364, 374};

// Where the stored defaults, memories and remembered locations live (shared by both plug-ins).
inline constexpr const char* kPresetStoreKey = "SOFTWARE\\Orv-tonekraft\\Orv_Borealis";

class CPresetSystemEditor : public toolkit::AEffGUIEditor,
                            public toolkit::CControlListener,
                            public CPresetSystemEditorHooks {
public:
    // Control tags of the preset bar; the plug-in editors use other tags for their own controls.
    enum : std::int32_t {
        kTagPresetName = 59,
        kTagPresetRocker = 60,
        kTagLoadBank = 61,
        kTagSaveBank = 62,
        kTagLoadPreset = 63,
        kTagSavePreset = 64,
        kTagPresetMenu = 71,
        kTagDefaultBank = 72,
        kTagDefaultPreset = 73,
        kTagStoreMemoA = 74,
        kTagStoreMemoB = 75,
        kTagRecallMemoA = 76,
        kTagRecallMemoB = 77,
    };

    // Background bitmap of the editor window; the name field and the menu show it through.
    static constexpr int kBackgroundBitmap = 19000;
    // Interval of the idle timer that services the editor when the host sends no idle calls.
    static constexpr std::uint32_t kIdleTimerMs = 50;
    static constexpr int kMenuItemsPerColumn = 10;
    static constexpr int kDirectoryCapacity = 257;

    // `effect` should be a CPresetSystemEffect; with anything else (or null) every preset
    // operation does nothing. The remembered folder starts as the process's working directory.
    CPresetSystemEditor(AudioEffect* effect, const PresetBarBands& bands = kBorealisPresetBar);
    // Ends an open file dialog and writes the remembered folder and file names that this
    // instance changed to the store.
    ~CPresetSystemEditor() override;

    // Adds the preset bar to `frame` (which the plug-in editor has created) and starts the idle
    // timer. False, with nothing added, when there is no frame or no preset store.
    bool open(void* parentWindow) override;
    // Stops the idle timer, ends an open file dialog (nothing is loaded or saved) and forgets
    // the preset-bar controls (the frame owns them).
    void close() override;
    // The host's idle call and the idle timer's tick: acts on a file dialog's answer once it
    // has come, and lets the frame handle events and redraw.
    void idle() override;

    // The load and save dialogs run while the editor goes on working; one at a time.
    bool isFileDialogOpen() const;
    // How long a note in the name field (such as what to install for file dialogs) stays.
    static constexpr std::uint32_t kNoticeMs = 3000;
    bool isNoticeShown() const { return notice.shown; }

    void presetNameChanged(const char* name) override;
    void loadStoredDefaults() override;
    virtual void loadBankRecord(const BankFileRecord& record, bool reversed);
    virtual void saveBankRecord(BankFileRecord& record);
    virtual void loadPresetRecord(const PresetFileRecord& record, bool reversed);
    virtual void savePresetRecord(PresetFileRecord& record);

    void valueChanged(toolkit::CControl* control) override;

    // The idle timer. The toolkit has no timer service: a running timer is due when 50 ms have
    // passed since it last fired; idle() fires it when due, and a window pump may call
    // serviceIdleTimer() to run idle() when the host sends no idle calls.
    bool isIdleTimerRunning() const { return idleTimer.running; }
    bool isIdleTimerDue() const;
    // Runs idle() when the timer is running and due; true when it ran.
    bool serviceIdleTimer() override;
    std::uint32_t getIdleTimerTicks() const { return idleTimer.ticks; }

    // Read access for the plug-in editors and tests.
    CPresetSystemEffect* getPresetEffect() const;
    const PresetBarBands& getBands() const { return bands; }
    const char* getCurrentDirectory() const { return currentDirectory; }
    const char* getCurrentBankFile() const { return currentBankFile; }
    const char* getCurrentPresetFile() const { return currentPresetFile; }
    toolkit::CTextEdit* getNameField() const { return nameField; }
    toolkit::COptionMenu* getPresetMenu() const { return presetMenu; }
    CPSRockerSwitch* getRocker() const { return rocker; }
    // The preset-bar control with `tag`, or null (also while closed).
    toolkit::CControl* getPresetBarControl(std::int32_t tag) const;

protected:
    // The rectangles of the preset-bar controls for the bands of this plug-in.
    toolkit::CRect presetBarRect(std::int32_t tag) const;
    void runLoadDialog(bool bank, bool reversed);
    void runSaveDialog(bool bank);
    // Starts `selector` for the purpose given, or acts at once when it has already answered.
    void startFileDialog(toolkit::CNewFileSelector* selector, bool bank, bool save, bool reversed);
    // Acts on the open dialog's answer when it has come.
    void pollFileDialog();
    // Ends the open dialog, if any, without acting on it.
    void endFileDialog();
    void loadChosenFile(const std::string& chosen, bool bank, bool reversed);
    void saveChosenFile(std::string chosen, bool bank);
    // A note shown for a while in the name field, then the preset's name again.
    void showNotice(const char* text);
    void updateNotice();
    void restoreNameAfterNotice();
    // Splits a chosen path at its last '/' into the remembered folder and file name, and
    // marks the parts it took as changed.
    void rememberPath(const char* path, char* fileName);
    // Stores the current preset (or bank) under `name`, or deletes the value.
    void storePresetValue(const char* name);
    void storeBankValue(const char* name);
    void recallPresetValue(const char* name);
    // Shows `name` in the name field and as the title of the menu's current entry.
    void showName(const char* name);

    PresetBarBands bands;

    char currentDirectory[kDirectoryCapacity] = {};
    char currentBankFile[kDirectoryCapacity] = {};
    char currentPresetFile[kDirectoryCapacity] = {};
    // Which of the three this instance has set since it read them from the store.
    struct {
        bool directory = false, bankFile = false, presetFile = false;
    } rememberedChanged;

    toolkit::CTextEdit* nameField = nullptr;
    toolkit::COptionMenu* presetMenu = nullptr;
    CPSRockerSwitch* rocker = nullptr;
    CSaveLoadButton* loadBankButton = nullptr;
    CSaveLoadButton* saveBankButton = nullptr;
    CPSKickButton* defaultBankButton = nullptr;
    CSaveLoadButton* loadPresetButton = nullptr;
    CSaveLoadButton* savePresetButton = nullptr;
    CPSKickButton* defaultPresetButton = nullptr;
    CPSKickButton* storeAButton = nullptr;
    CPSKickButton* recallAButton = nullptr;
    CPSKickButton* storeBButton = nullptr;
    CPSKickButton* recallBButton = nullptr;

    struct FileDialog {
        toolkit::CNewFileSelector* selector = nullptr;
        bool bank = false;
        bool save = false;
        bool reversed = false;
    } fileDialog;

    struct Notice {
        bool shown = false;
        std::uint32_t since = 0;
        std::string text;
    } notice;

    struct IdleTimer {
        bool running = false;
        std::uint32_t lastFired = 0;
        std::uint32_t ticks = 0;
    } idleTimer;
};
