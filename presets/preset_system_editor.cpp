#include "presets/preset_system_editor.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "gui/controls.h"
#include "platform/registry.h"
#include "platform/tick_count.h"
#include "presets/file_names.h"
#include "toolkit/toolkit.h"

using namespace toolkit;

namespace {

// Bitmaps of the preset-bar buttons (three images each) and of the rocker (five images).
constexpr int kSaveBankBitmap = 19994;
constexpr int kDefaultBankBitmap = 19990;
constexpr int kLoadBankBitmap = 19993;
constexpr int kSavePresetBitmap = 19999;
constexpr int kDefaultPresetBitmap = 19899;
constexpr int kLoadPresetBitmap = 19998;
constexpr int kRockerBitmap = 19997;
constexpr int kStoreABitmap = 19995;
constexpr int kRecallABitmap = 19991;
constexpr int kStoreBBitmap = 19996;
constexpr int kRecallBBitmap = 19992;

// The menu shows every entry and no text or frame of its own: the window art draws the button.
constexpr std::int32_t kPresetMenuStyle = kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle;

constexpr CColor kNameTextColor = MakeCColor(36, 36, 32);
constexpr CColor kNameBackColor = MakeCColor(209, 227, 238);
constexpr CColor kNameFrameColor = MakeCColor(36, 36, 32);

constexpr const char* kDefaultPresetValue = "DefaultPreset";
constexpr const char* kDefaultBankValue = "DefaultBank";
constexpr const char* kMemoAValue = "MemoA";
constexpr const char* kMemoBValue = "MemoB";
constexpr const char* kCurrDirValue = "CurrDir";
constexpr const char* kCurrBankValue = "CurrBank";
constexpr const char* kCurrPresetValue = "CurrPreset";

// Double-click stores, Ctrl+double-click (0.5) deletes.
constexpr float kDeleteBelow = 0.75f;
// The value of a load button clicked with the right button: load endian-reversed.
constexpr float kReversedLoad = 0.5f;

// Horizontal extent of each control; the same in both plug-ins.
struct Column {
    std::int32_t tag;
    CCoord left, right;
    bool kickBand;
};
constexpr Column kColumns[] = {
    {CPresetSystemEditor::kTagSaveBank, 20, 32, false},
    {CPresetSystemEditor::kTagDefaultBank, 32, 69, true},
    {CPresetSystemEditor::kTagLoadBank, 70, 82, false},
    {CPresetSystemEditor::kTagSavePreset, 91, 103, false},
    {CPresetSystemEditor::kTagDefaultPreset, 103, 150, true},
    {CPresetSystemEditor::kTagLoadPreset, 150, 162, false},
    {CPresetSystemEditor::kTagPresetName, 175, 292, false},
    {CPresetSystemEditor::kTagPresetMenu, 293, 305, false},
    {CPresetSystemEditor::kTagPresetRocker, 313, 344, false},
    {CPresetSystemEditor::kTagStoreMemoA, 352, 364, false},
    {CPresetSystemEditor::kTagRecallMemoA, 374, 386, false},
    {CPresetSystemEditor::kTagStoreMemoB, 395, 407, false},
    {CPresetSystemEditor::kTagRecallMemoB, 417, 429, false},
};

// A preset name as a terminated string (names of 24 characters are stored unterminated).
std::string nameOf(const PresetRecord& preset) {
    return std::string(preset.name, strnlen(preset.name, kPresetNameLength));
}

// Copies `text` into a buffer of kDirectoryCapacity bytes, cut to fit.
void copyBuffer(char* buffer, const std::string& text) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(CPresetSystemEditor::kDirectoryCapacity - 1));
    std::memcpy(buffer, text.data(), n);
    std::memset(buffer + n, 0, CPresetSystemEditor::kDirectoryCapacity - n);
}

}  // namespace

CPresetSystemEditor::CPresetSystemEditor(AudioEffect* effect, const PresetBarBands& b)
    : AEffGUIEditor(effect), bands(b) {
    // The folder the dialogs start in until a remembered one is loaded.
    char cwd[kDirectoryCapacity] = {};
    if (getcwd(cwd, sizeof cwd)) copyBuffer(currentDirectory, cwd);
}

// Every instance shares the store. Only the remembered names this instance has taken from a
// dialog since it read them go back, so an instance that never ran a dialog cannot overwrite
// what the user chose in another.
CPresetSystemEditor::~CPresetSystemEditor() {
    endFileDialog();
    if (rememberedChanged.directory)
        orv::platform::registrySetString(kPresetStoreKey, kCurrDirValue, currentDirectory);
    if (rememberedChanged.bankFile) orv::platform::registrySetString(kPresetStoreKey, kCurrBankValue, currentBankFile);
    if (rememberedChanged.presetFile)
        orv::platform::registrySetString(kPresetStoreKey, kCurrPresetValue, currentPresetFile);
}

CPresetSystemEffect* CPresetSystemEditor::getPresetEffect() const {
    auto* fx = dynamic_cast<CPresetSystemEffect*>(effect);
    return fx && fx->getPresets() ? fx : nullptr;
}

CRect CPresetSystemEditor::presetBarRect(std::int32_t tag) const {
    for (const Column& c : kColumns) {
        if (c.tag != tag) continue;
        if (tag == kTagPresetName) {
            // Centred on the main band, as high as its font plus a margin of 2 above and below.
            const CCoord middle = (bands.mainTop + bands.mainBottom) / 2;
            const CCoord half = kNormalFontSmall->size / 2 + 2;
            return CRect(c.left, middle - half, c.right, middle + half);
        }
        return c.kickBand ? CRect(c.left, bands.kickTop, c.right, bands.kickBottom)
                          : CRect(c.left, bands.mainTop, c.right, bands.mainBottom);
    }
    return CRect();
}

bool CPresetSystemEditor::open(void* parentWindow) {
    AEffGUIEditor::open(parentWindow);
    CPresetSystemEffect* fx = getPresetEffect();
    if (!frame || !fx) return false;
    const PresetRecord* presets = fx->getPresets();
    const int current = fx->getCurrentPreset();

    auto* background = new CBitmap(kBackgroundBitmap, scale);

    const CRect nameRect = presetBarRect(kTagPresetName);
    nameField = new CTextEdit(nameRect, this, kTagPresetName, nameOf(presets[current]).c_str(), background);
    nameField->setBackOffset(nameRect.getTopLeft());
    nameField->setFont(kNormalFontSmall);
    nameField->setFontColor(kNameTextColor);
    nameField->setBackColor(kNameBackColor);
    nameField->setFrameColor(kNameFrameColor);
    nameField->setHoriAlign(kCenterText);
    frame->addView(nameField);

    const CRect menuRect = presetBarRect(kTagPresetMenu);
    presetMenu = new COptionMenu(menuRect, this, kTagPresetMenu, background, nullptr, kPresetMenuStyle);
    presetMenu->setBackOffset(menuRect.getTopLeft());
    for (int k = 0; k < kNumPresets; ++k) presetMenu->addEntry(nameOf(presets[k]).c_str());
    presetMenu->setNbItemsPerColumn(kMenuItemsPerColumn);
    presetMenu->setCurrent(current);
    frame->addView(presetMenu);

    auto* rockerBitmap = new CBitmap(kRockerBitmap, scale);
    rocker = new CPSRockerSwitch(presetBarRect(kTagPresetRocker), this, kTagPresetRocker,
                                 rockerBitmap->getHeight() / 5, rockerBitmap, CPoint(), kHorizontal);
    frame->addView(rocker);
    rockerBitmap->forget();

    auto saveLoad = [this](std::int32_t tag, int bitmapNumber) {
        auto* bitmap = new CBitmap(bitmapNumber, scale);
        auto* button = new CSaveLoadButton(presetBarRect(tag), this, tag, bitmap->getHeight() / 3, bitmap, CPoint());
        frame->addView(button);
        bitmap->forget();
        return button;
    };
    auto kick = [this](std::int32_t tag, int bitmapNumber, bool needsDoubleClick) {
        auto* bitmap = new CBitmap(bitmapNumber, scale);
        auto* button = new CPSKickButton(presetBarRect(tag), this, tag, bitmap->getHeight() / 3, bitmap, CPoint(),
                                         needsDoubleClick);
        frame->addView(button);
        bitmap->forget();
        return button;
    };
    loadBankButton = saveLoad(kTagLoadBank, kLoadBankBitmap);
    saveBankButton = saveLoad(kTagSaveBank, kSaveBankBitmap);
    defaultBankButton = kick(kTagDefaultBank, kDefaultBankBitmap, true);
    loadPresetButton = saveLoad(kTagLoadPreset, kLoadPresetBitmap);
    savePresetButton = saveLoad(kTagSavePreset, kSavePresetBitmap);
    defaultPresetButton = kick(kTagDefaultPreset, kDefaultPresetBitmap, true);
    recallAButton = kick(kTagRecallMemoA, kRecallABitmap, false);
    storeAButton = kick(kTagStoreMemoA, kStoreABitmap, false);
    recallBButton = kick(kTagRecallMemoB, kRecallBBitmap, false);
    storeBButton = kick(kTagStoreMemoB, kStoreBBitmap, false);
    background->forget();

    idleTimer.running = true;
    idleTimer.lastFired = orv::platform::tickCount();
    return true;
}

void CPresetSystemEditor::close() {
    idleTimer.running = false;
    endFileDialog();
    notice.shown = false;
    nameField = nullptr;
    presetMenu = nullptr;
    rocker = nullptr;
    loadBankButton = saveBankButton = loadPresetButton = savePresetButton = nullptr;
    defaultBankButton = defaultPresetButton = nullptr;
    storeAButton = recallAButton = storeBButton = recallBButton = nullptr;
    AEffGUIEditor::close();
}

// The idle timer. The toolkit has no window timers, so the 50 ms timer that keeps the editor
// serviced when a host sends no idle calls is kept here as a due time on the platform's tick
// count: every idle pass counts as a service, and serviceIdleTimer() (the timer's callback, for
// whatever pumps the window) runs an idle pass only when 50 ms have gone by without one.
void CPresetSystemEditor::idle() {
    idleTimer.lastFired = orv::platform::tickCount();
    pollFileDialog();
    updateNotice();
    AEffGUIEditor::idle();
}

bool CPresetSystemEditor::isIdleTimerDue() const {
    return idleTimer.running && orv::platform::tickCount() - idleTimer.lastFired >= kIdleTimerMs;
}

bool CPresetSystemEditor::serviceIdleTimer() {
    if (!isIdleTimerDue()) return false;
    ++idleTimer.ticks;
    idle();  // the plug-in editor's idle, which calls ours
    return true;
}

CControl* CPresetSystemEditor::getPresetBarControl(std::int32_t tag) const {
    switch (tag) {
        case kTagPresetName: return nameField;
        case kTagPresetRocker: return rocker;
        case kTagLoadBank: return loadBankButton;
        case kTagSaveBank: return saveBankButton;
        case kTagLoadPreset: return loadPresetButton;
        case kTagSavePreset: return savePresetButton;
        case kTagPresetMenu: return presetMenu;
        case kTagDefaultBank: return defaultBankButton;
        case kTagDefaultPreset: return defaultPresetButton;
        case kTagStoreMemoA: return storeAButton;
        case kTagStoreMemoB: return storeBButton;
        case kTagRecallMemoA: return recallAButton;
        case kTagRecallMemoB: return recallBButton;
        default: return nullptr;
    }
}

void CPresetSystemEditor::showName(const char* name) {
    if (nameField) nameField->setText(name);
    if (presetMenu) presetMenu->setEntry(presetMenu->getCurrentIndex(), name);
}

void CPresetSystemEditor::presetNameChanged(const char* name) {
    if (name) showName(name);
}

void CPresetSystemEditor::loadStoredDefaults() {
    BankFileRecord bank;
    std::memset(&bank, 0, sizeof bank);
    orv::platform::registryGetBinary(kPresetStoreKey, kDefaultBankValue, &bank, sizeof bank);
    loadBankRecord(bank, false);

    PresetFileRecord preset;
    std::memset(&preset, 0, sizeof preset);
    orv::platform::registryGetBinary(kPresetStoreKey, kDefaultPresetValue, &preset, sizeof preset);
    loadPresetRecord(preset, false);

    std::string text;
    copyBuffer(currentDirectory, orv::platform::registryGetString(kPresetStoreKey, kCurrDirValue, text) ? text : "");
    text.clear();
    copyBuffer(currentBankFile, orv::platform::registryGetString(kPresetStoreKey, kCurrBankValue, text) ? text : "");
    text.clear();
    copyBuffer(currentPresetFile,
               orv::platform::registryGetString(kPresetStoreKey, kCurrPresetValue, text) ? text : "");
    rememberedChanged = {};  // what was just read is not this instance's change
}

void CPresetSystemEditor::loadBankRecord(const BankFileRecord& record, bool reversed) {
    CPresetSystemEffect* fx = getPresetEffect();
    if (!fx) return;
    fx->selectPreset(0);
    const RecordByteOrder order =
        recordByteOrder(record.identifier, record.type, fx->getUniqueID(), kBankRecordType, reversed);
    if (order == RecordByteOrder::Rejected) {
        // Preset 0 is current now even though the bank was refused: show it.
        if (presetMenu) presetMenu->setCurrent(0);
        if (nameField) nameField->setText(nameOf(fx->getPresets()[0]).c_str());
        return;
    }

    PresetRecord* presets = fx->getPresets();
    for (int k = 0; k < kNumPresets; ++k) {
        PresetRecord preset = record.presets[k];
        if (order == RecordByteOrder::Swapped) swapPresetValues(preset);
        presets[k] = preset;
        if (presetMenu) presetMenu->setEntry(k, nameOf(preset).c_str());
    }
    if (presetMenu) presetMenu->setCurrent(0);
    if (nameField) nameField->setText(nameOf(presets[0]).c_str());
    fx->selectPreset(0);
}

void CPresetSystemEditor::saveBankRecord(BankFileRecord& record) {
    std::memset(&record, 0, sizeof record);
    CPresetSystemEffect* fx = getPresetEffect();
    if (!fx) return;
    record.identifier = fx->getUniqueID();
    record.type = kBankRecordType;
    for (int k = 0; k < kNumPresets; ++k) record.presets[k] = fx->getPresets()[k];
}

void CPresetSystemEditor::loadPresetRecord(const PresetFileRecord& record, bool reversed) {
    CPresetSystemEffect* fx = getPresetEffect();
    if (!fx) return;
    const RecordByteOrder order =
        recordByteOrder(record.identifier, record.type, fx->getUniqueID(), kPresetRecordType, reversed);
    if (order == RecordByteOrder::Rejected) return;

    const VstInt32 n = fx->getCurrentPreset();
    PresetRecord preset = record.preset;
    if (order == RecordByteOrder::Swapped) swapPresetValues(preset);
    fx->getPresets()[n] = preset;
    const std::string name = nameOf(preset);
    showName(name.c_str());
    fx->renameCurrentPreset(name.c_str());
    fx->selectPreset(n);
}

void CPresetSystemEditor::savePresetRecord(PresetFileRecord& record) {
    std::memset(&record, 0, sizeof record);
    CPresetSystemEffect* fx = getPresetEffect();
    if (!fx) return;
    record.identifier = fx->getUniqueID();
    record.type = kPresetRecordType;
    record.preset = fx->getPresets()[fx->getCurrentPreset()];
}

void CPresetSystemEditor::storePresetValue(const char* name) {
    PresetFileRecord record;
    savePresetRecord(record);
    if (getPresetEffect()) orv::platform::registrySetBinary(kPresetStoreKey, name, &record, sizeof record);
}

void CPresetSystemEditor::storeBankValue(const char* name) {
    BankFileRecord record;
    saveBankRecord(record);
    if (getPresetEffect()) orv::platform::registrySetBinary(kPresetStoreKey, name, &record, sizeof record);
}

void CPresetSystemEditor::recallPresetValue(const char* name) {
    PresetFileRecord record;
    std::memset(&record, 0, sizeof record);
    orv::platform::registryGetBinary(kPresetStoreKey, name, &record, sizeof record);
    loadPresetRecord(record, false);
}

void CPresetSystemEditor::valueChanged(CControl* control) {
    CPresetSystemEffect* fx = getPresetEffect();
    if (!control || !fx) return;
    const float value = control->getValue();
    switch (control->getTag()) {
        case kTagPresetName: {
            if (!nameField) return;
            if (notice.shown) {
                // Entering the note unchanged brings the name back rather than renaming the
                // preset to the note; anything typed over it is a new name.
                notice.shown = false;
                if (notice.text == nameField->getText()) {
                    restoreNameAfterNotice();
                    return;
                }
            }
            const std::string text = std::string(nameField->getText()).substr(0, kPresetNameLength);
            nameField->setText(text.c_str());
            if (presetMenu) presetMenu->setEntry(presetMenu->getCurrentIndex(), text.c_str());
            fx->renameCurrentPreset(text.c_str());
            break;
        }
        case kTagPresetRocker: {
            VstInt32 n = fx->getCurrentPreset();
            if (value > 0 && n < kNumPresets - 1) ++n;
            else if (value < 0 && n > 0) --n;
            else if (value == 0) return;
            const std::string name = nameOf(fx->getPresets()[n]);
            if (presetMenu) presetMenu->setCurrent(n);
            if (nameField) nameField->setText(name.c_str());
            fx->selectPreset(n);
            fx->renameCurrentPreset(name.c_str());
            break;
        }
        case kTagPresetMenu: {
            if (!presetMenu) return;
            const int n = static_cast<int>(value + 0.5f);
            if (n < 0 || n >= kNumPresets) return;
            presetMenu->setCurrent(n);
            fx->selectPreset(n);
            const char* title = presetMenu->getEntry(n);
            const std::string name = title ? title : "";
            fx->renameCurrentPreset(name.c_str());
            if (nameField) nameField->setText(name.c_str());
            break;
        }
        case kTagLoadBank: runLoadDialog(true, value == kReversedLoad); break;
        case kTagLoadPreset: runLoadDialog(false, value == kReversedLoad); break;
        case kTagSaveBank: runSaveDialog(true); break;
        case kTagSavePreset: runSaveDialog(false); break;
        case kTagDefaultBank:
            if (value < kDeleteBelow) orv::platform::registryDeleteValue(kPresetStoreKey, kDefaultBankValue);
            else storeBankValue(kDefaultBankValue);
            break;
        case kTagDefaultPreset:
            if (value < kDeleteBelow) orv::platform::registryDeleteValue(kPresetStoreKey, kDefaultPresetValue);
            else storePresetValue(kDefaultPresetValue);
            break;
        case kTagStoreMemoA: storePresetValue(kMemoAValue); break;
        case kTagStoreMemoB: storePresetValue(kMemoBValue); break;
        case kTagRecallMemoA: recallPresetValue(kMemoAValue); break;
        case kTagRecallMemoB: recallPresetValue(kMemoBValue); break;
        default: break;
    }
}

namespace {

// Path separators: '/', and on Windows the backslash as well, since its file dialogs answer
// with paths such as C:\Presets\Mine.orv.
bool isSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// Position of the last separator in `path`, or npos.
std::size_t lastSeparator(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i)
        if (isSeparator(path[i - 1])) return i - 1;
    return std::string::npos;
}

bool isAbsolute(const std::string& path) {
    if (!path.empty() && isSeparator(path[0])) return true;
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') return true;  // a drive letter
#endif
    return false;
}

// The path a dialog answered, made absolute against the remembered folder. The process's
// working directory belongs to the host and is never changed.
std::string resolvePath(const char* directory, const std::string& path) {
    if (path.empty() || isAbsolute(path) || !directory[0]) return path;
    std::string dir = directory;
    if (!isSeparator(dir.back())) dir += '/';
    return dir + path;
}

}  // namespace

void CPresetSystemEditor::rememberPath(const char* path, char* fileName) {
    const std::size_t separator = lastSeparator(path);
    const char* slash = separator == std::string::npos ? nullptr : path + separator;
    const char* name = slash ? slash + 1 : path;
    const std::size_t dirLength = slash ? static_cast<std::size_t>(slash - path) + 1 : 0;
    const std::size_t nameLength = std::strlen(name);
    // A part that does not fit its buffer leaves the remembered one as it was rather than
    // remembering a cut, wrong path.
    if (slash && dirLength < kDirectoryCapacity) {
        copyBuffer(currentDirectory, std::string(path, dirLength));
        rememberedChanged.directory = true;
    }
    if (nameLength < kDirectoryCapacity) {
        copyBuffer(fileName, name);
        (fileName == currentBankFile ? rememberedChanged.bankFile : rememberedChanged.presetFile) = true;
    }
}

void CPresetSystemEditor::runLoadDialog(bool bank, bool reversed) {
    if (isFileDialogOpen()) return;
    CNewFileSelector* selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectFile);
    if (!selector) return;
    if (bank)
        selector->setTitle(reversed ? "Load bank (endian-reversed)" : "Load bank");
    else
        selector->setTitle(reversed ? "Load preset (endian-reversed)" : "Load preset");
    selector->setInitialDirectory(currentDirectory);
    selector->addFileExtension(bank ? CFileExtension("Orv Bank", "orb") : CFileExtension("Orv Preset", "orv"));
    selector->setAllowMultiFileSelection(false);
    startFileDialog(selector, bank, false, reversed);
}

void CPresetSystemEditor::runSaveDialog(bool bank) {
    if (isFileDialogOpen()) return;
    CNewFileSelector* selector = CNewFileSelector::create(frame, CNewFileSelector::kSelectSaveFile);
    if (!selector) return;
    const CFileExtension extension = bank ? CFileExtension("Orv Bank", "orb") : CFileExtension("Orv Preset", "orv");
    selector->setTitle(bank ? "Save bank" : "Save preset");
    selector->setInitialDirectory(currentDirectory);
    selector->addFileExtension(extension);
    selector->setDefaultExtension(extension);
    selector->setDefaultSaveName(bank ? currentBankFile : currentPresetFile);
    selector->setAllowMultiFileSelection(false);
    startFileDialog(selector, bank, true, false);
}

bool CPresetSystemEditor::isFileDialogOpen() const {
    return fileDialog.selector && fileDialog.selector->isRunning();
}

void CPresetSystemEditor::startFileDialog(CNewFileSelector* selector, bool bank, bool save, bool reversed) {
    endFileDialog();
    fileDialog.selector = selector;
    fileDialog.bank = bank;
    fileDialog.save = save;
    fileDialog.reversed = reversed;
    // Where the system dialog is modal (Windows), the editor's timer keeps running inside it and
    // the editor may even be closed meanwhile, which ends the dialog and drops our reference:
    // hold one more until the start has returned.
    selector->remember();
    if (selector->start() == CNewFileSelector::kUnavailable) {
        // The toolkit has said on stderr what to install; the user sees it here.
        showNotice(CNewFileSelector::kNoDialogHint);
    }
    if (fileDialog.selector == selector) pollFileDialog();
    selector->forget();
}

void CPresetSystemEditor::pollFileDialog() {
    CNewFileSelector* selector = fileDialog.selector;
    if (!selector || selector->poll() == CNewFileSelector::kRunning) return;
    // Answered (or cancelled): the selector goes before acting, so that the action may start
    // another dialog.
    const std::string chosen = selector->getProgress() == CNewFileSelector::kChosen &&
                                       selector->getNumSelectedFiles() == 1 && selector->getSelectedFile(0)
                                   ? selector->getSelectedFile(0)
                                   : "";
    fileDialog.selector = nullptr;
    selector->forget();
    if (chosen.empty()) return;
    if (fileDialog.save)
        saveChosenFile(chosen, fileDialog.bank);
    else
        loadChosenFile(chosen, fileDialog.bank, fileDialog.reversed);
}

void CPresetSystemEditor::endFileDialog() {
    CNewFileSelector* selector = fileDialog.selector;
    if (!selector) return;
    fileDialog.selector = nullptr;
    selector->cancel();
    selector->forget();
}

void CPresetSystemEditor::showNotice(const char* text) {
    if (!nameField || !text) return;
    notice.shown = true;
    notice.since = orv::platform::tickCount();
    notice.text = text;
    nameField->setText(text);
}

void CPresetSystemEditor::updateNotice() {
    if (!notice.shown || orv::platform::tickCount() - notice.since < kNoticeMs) return;
    notice.shown = false;
    restoreNameAfterNotice();
}

void CPresetSystemEditor::restoreNameAfterNotice() {
    CPresetSystemEffect* fx = getPresetEffect();
    if (!nameField || !fx) return;
    nameField->setText(nameOf(fx->getPresets()[fx->getCurrentPreset()]).c_str());
}

void CPresetSystemEditor::loadChosenFile(const std::string& chosen, bool bank, bool reversed) {
    const std::string path = resolvePath(currentDirectory, chosen);
    rememberPath(path.c_str(), bank ? currentBankFile : currentPresetFile);
    if (bank) {
        BankFileRecord record;
        readRecordFile(path, &record, sizeof record);
        loadBankRecord(record, reversed);
    } else {
        PresetFileRecord record;
        readRecordFile(path, &record, sizeof record);
        loadPresetRecord(record, reversed);
    }
    if (frame) frame->invalid();
}

void CPresetSystemEditor::saveChosenFile(std::string chosen, bool bank) {
    const CFileExtension extension = bank ? CFileExtension("Orv Bank", "orb") : CFileExtension("Orv Preset", "orv");
    // The system dialogs here do not add the default extension; a name that does not end in it
    // gets it.
    const std::size_t slash = lastSeparator(chosen);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (nameStart == chosen.size()) return;  // a folder, not a file
    chosen = withFileExtension(chosen, extension.getExtension());

    const std::string path = resolvePath(currentDirectory, chosen);
    rememberPath(path.c_str(), bank ? currentBankFile : currentPresetFile);
    if (bank) {
        BankFileRecord record;
        saveBankRecord(record);
        writeRecordFile(path, &record, sizeof record);
    } else {
        PresetFileRecord record;
        savePresetRecord(record);
        writeRecordFile(path, &record, sizeof record);
    }
}
