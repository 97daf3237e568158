#pragma once
// BorealisEditor: the window of an Orv plug-in. Two pages on the frame: the main page with
// knobs, switch buttons, selectors, two needle meters and the latency displays, and the
// meter-settings page with five knobs and their displays. Every control is bound to the
// parameter of its tag; the user's changes go to the effect (automated for parameters the host
// sees). The effect's changes, from whatever thread, arrive through its editor feed and are
// taken on the interface thread: in every idle pass (the host's idle call or the 50 ms timer)
// and right after each of the user's own changes. A typed value readout appears
// above a knob while the mouse rests on it; the meters are fed from the effect on every idle.
// The layout (sizes, bitmaps, positions, tags, conversions) is the plug-in's own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "borealis/editor/editor_hooks.h"
#include "borealis/editor/editor_layout.h"
#include "borealis/editor/editor_link.h"
#include "presets/preset_system_editor.h"
#include "toolkit/ctooltip.h"

namespace toolkit {
class CViewContainer;
class CControl;
class CTextEdit;
class COptionMenu;
}  // namespace toolkit
class COldVuMeter;
class CBackDisplay;
class CLabel2;

class BorealisEditor : public CPresetSystemEditor, public OrvEditorHooks, public toolkit::CTooltipSource {
public:
    BorealisEditor(AudioEffect* effect, const EditorLayout& layout, std::unique_ptr<EditorEffectLink> link);
    ~BorealisEditor() override;

    // The rectangle at the editor's scale (chosen here the first time, if not asked for).
    bool getRect(ERect** rect) override;
    // Builds the window; false when the effect failed to construct or a bitmap is missing.
    bool open(void* parentWindow) override;
    // Switches S.C.Monit off if it was on, then releases the window.
    void close() override;
    // Preset bar, meters, hold release and the readout under the mouse.
    void idle() override;
    // Interface thread only: shows a parameter change (the control, its readout or display
    // follow the effect's current value); 56 and 57 swap the pages. The effect does not call
    // this: its changes come through the feed that takeParameterChanges empties.
    void setParameter(std::int32_t index, float value) override;
    void valueChanged(toolkit::CControl* control) override;
    // Shows every change the effect has published since the last call (nothing while closed).
    void takeParameterChanges();

    // Tooltip of a control: its name on the first line, its value with unit (or what it does)
    // on the second.
    bool tooltipFor(toolkit::CView* view, std::string& text) override;

    void resetMeters() override;
    void refreshLatency() override;
    int requestEditorScale(long long percent) override;

    // Read access for tests and tools.
    const EditorLayout& getLayout() const { return layout; }
    bool isSettingsPageShown() const { return frame && shownPage == settingsPage; }
    // The control of the window with `tag` (knob, button, selector, settings knob, page
    // switch, readout), or null; while closed always null.
    toolkit::CControl* getControl(std::int32_t tag) const;
    toolkit::CTextEdit* getReadout(std::int32_t tag) const;
    // True while the readout with `tag` is shown on the main page.
    bool isReadoutShown(std::int32_t tag) const;
    COldVuMeter* getMeter(int channel) const { return meters[channel & 1]; }
    CBackDisplay* getLatencyDisplay(int k) const { return k >= 0 && k < 2 ? latencyDisplays[k] : nullptr; }
    CBackDisplay* getSettingsDisplay(std::int32_t tag) const;
    // Milliseconds clock of the readout timer; tests may replace it.
    using Clock = std::uint32_t (*)();
    void setClock(Clock c) { clock = c; }

protected:
    // Chooses the scale the first time one is needed (the stored one or the screen's), unless
    // one was asked for. Not at construction: a host may have no connection to the screen yet,
    // and a connection of ours alone, closed again, would make the X server reset.
    void chooseScale(void* parentWindow);
    void setScale(int percent);
    // The user chose another size on the settings page: stored for the user, and the window
    // rebuilt at it on the next idle pass when the host resizes its window, else at the next open.
    void changeScale(int percent);
    void rebuildAtScale(int percent);
    bool scaleChosen = false;
    int pendingScale = 0;
    int nextScale = 0;  // a size refused by the host, taken at the next open
    toolkit::COptionMenu* scaleMenu = nullptr;
    CLabel2* scaleNote = nullptr;

    struct KnobEntry {
        const EditorKnob* layoutEntry;
        toolkit::CControl* knob;
        toolkit::CTextEdit* readout;
    };

    bool build();
    bool buildMainPage();
    bool buildSettingsPage();
    void showPage(toolkit::CViewContainer* page);
    void swapPages();
    void releaseWindow();
    void feedMeters();
    void releaseHolds();
    void updateReadoutUnderMouse();
    void hideReadouts(bool all);
    void showReadout(KnobEntry& entry);
    void writeReadout(KnobEntry& entry);
    void typedIntoReadout(KnobEntry& entry);
    void meterClicked();
    void handleValueChanged(toolkit::CControl* control);
    EditorValueFeed* valueFeed() const;
    KnobEntry* knobByTag(std::int32_t tag);
    KnobEntry* knobByReadout(std::int32_t tag);
    bool failed() const { return !link || link->failed(); }
    const char* nameOf(std::int32_t tag) const;
    bool presetBarTooltip(toolkit::CControl* control, std::string& text);

    const EditorLayout& layout;
    std::unique_ptr<EditorEffectLink> link;

    toolkit::CViewContainer* mainPage = nullptr;
    toolkit::CViewContainer* settingsPage = nullptr;
    toolkit::CViewContainer* shownPage = nullptr;
    std::vector<toolkit::CControl*> controls;  // every tagged control but the readouts
    std::vector<KnobEntry> knobs;
    std::vector<std::pair<std::int32_t, CBackDisplay*>> settingsDisplays;
    COldVuMeter* meters[2] = {nullptr, nullptr};
    CBackDisplay* latencyDisplays[2] = {nullptr, nullptr};
    toolkit::CControl* scMonitButton = nullptr;

    Clock clock;
    std::uint32_t readoutTick = 0;
    bool leftButtonAtLastChange = false;
    // The readout shown regardless of the mouse; -1: the one of the control under the mouse.
    std::int32_t forcedReadout = -1;
};
