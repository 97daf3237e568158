#include "borealis/editor/borealis_editor.h"

#include "gui/editor_scale.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

#include "gui/controls.h"
#include "gui/editor_base.h"
#include "gui/old_vu_meter.h"
#include "host/audioeffect.h"
#include "host/audioeffectx.h"
#include "platform/tick_count.h"
#include "toolkit/toolkit.h"

using namespace toolkit;

const char* const kEditorVersionText = "v.1.7.0";

namespace {

// Readouts vanish this long after the mouse left their knob.
constexpr std::uint32_t kReadoutShowMs = 2000;

// A bitmap loaded by resource number, released when it goes out of scope (the views that use
// it keep references of their own).
class BitmapRef {
public:
    BitmapRef(int id, double scale) : bitmap(new CBitmap(id, scale)) {}
    ~BitmapRef() { bitmap->forget(); }
    BitmapRef(const BitmapRef&) = delete;
    BitmapRef& operator=(const BitmapRef&) = delete;
    bool ok() const { return bitmap->isLoaded(); }
    CBitmap* get() const { return bitmap; }
    CCoord width() const { return bitmap->getWidth(); }
    CCoord height() const { return bitmap->getHeight(); }

private:
    CBitmap* bitmap;
};

std::uint32_t platformClock() { return orv::platform::tickCount(); }

// The meter geometry, the same in both plug-ins: face, cover, lamp, pivot, hold readouts.
struct MeterGeometry {
    int face, cover, lamp;
    CCoord x;  // left edge of the face
};
constexpr CCoord kMeterTop = 34;
constexpr CCoord kFaceHeight = 70;
constexpr CCoord kCoverHeight = 21;

}  // namespace

BorealisEditor::BorealisEditor(AudioEffect* effect, const EditorLayout& layout, std::unique_ptr<EditorEffectLink> link)
    : CPresetSystemEditor(effect, layout.presetBar), layout(layout), link(std::move(link)), clock(platformClock) {
    rect = editorRectFor(layout.width, layout.height, scale);
}

void BorealisEditor::setScale(int percent) {
    // The next open builds the frame at this scale; an open one keeps its own.
    scale = percent / 100.0;
    rect = editorRectFor(layout.width, layout.height, scale);
    scaleChosen = true;
}

void BorealisEditor::chooseScale(void* parentWindow) {
    if (nextScale && !frame) {
        setScale(nextScale);
        nextScale = 0;
    }
    if (!scaleChosen) setScale(chosenEditorScale(parentWindow, kBmpFrame));
}

int BorealisEditor::requestEditorScale(long long percent) {
    if (orv::platform::isEditorScale(percent)) setScale(static_cast<int>(percent));
    return static_cast<int>(std::lround(scale * 100.0));
}

void BorealisEditor::changeScale(int percent) {
    storeEditorScale(percent);
    if (percent == static_cast<int>(std::lround(scale * 100.0))) return;
    const ERect wanted = editorRectFor(layout.width, layout.height, percent / 100.0);
    auto* fx = dynamic_cast<AudioEffectX*>(effect);
    if (fx && fx->sizeWindow(wanted.right - wanted.left, wanted.bottom - wanted.top)) {
        pendingScale = percent;
        return;
    }
    // The host keeps its window as it is: so does the editor, until the window is opened again.
    nextScale = percent;
    if (scaleNote) {
        scaleNote->setVisible(true);
        scaleNote->invalid();
    }
}

void BorealisEditor::rebuildAtScale(int percent) {
    void* parent = systemWindow;
    const bool settingsShown = shownPage == settingsPage;
    CPresetSystemEditor::close();
    releaseWindow();
    setScale(percent);
    systemWindow = parent;
    if (!build() || !CPresetSystemEditor::open(parent)) return;
    if (settingsShown) showPage(settingsPage);
}

bool BorealisEditor::getRect(ERect** r) {
    if (!frame) chooseScale(systemWindow);
    return CPresetSystemEditor::getRect(r);
}

BorealisEditor::~BorealisEditor() {
    // The effect is going away with its editor: release the window without talking to it.
    if (frame) {
        CPresetSystemEditor::close();
        releaseWindow();
    }
}

bool BorealisEditor::open(void* parentWindow) {
    if (failed()) return false;
    if (frame) close();
    // The window is built from the effect's current values: what is pending is already there.
    if (EditorValueFeed* feed = valueFeed()) feed->discard();
    readoutTick = clock();
    forcedReadout = -1;
    leftButtonAtLastChange = false;
    knobMode = kLinearMode;
    chooseScale(parentWindow);
    systemWindow = parentWindow;  // the frame is built inside the host's window
    if (!build()) return false;
    return CPresetSystemEditor::open(parentWindow);
}

bool BorealisEditor::build() {
    BitmapRef background(kBmpFrame, scale);
    frame = createEditorFrame(this, systemWindow, background.get());
    if (!frame) return false;
    frame->setClock(clock);
    frame->setTooltipSource(this);

    BitmapRef mainBack(kBmpMainPage, scale), settingsBack(kBmpSettingsPage, scale);
    if (!mainBack.ok() || !settingsBack.ok()) return false;
    // The pages stop above the preset bar so that they never cover it, whichever is shown.
    auto pageRect = [&](const BitmapRef& b) {
        CCoord h = b.height();
        if (h > layout.presetBar.mainTop) h = layout.presetBar.mainTop;
        return CRect(0, 0, b.width(), h);
    };
    mainPage = new CViewContainer(pageRect(mainBack), frame, mainBack.get());
    settingsPage = new CViewContainer(pageRect(settingsBack), frame, settingsBack.get());
    if (!buildMainPage() || !buildSettingsPage()) return false;
    showPage(mainPage);
    return true;
}

bool BorealisEditor::buildMainPage() {
    AudioEffect* fx = effect;
    // Latency displays.
    for (std::size_t k = 0; k < layout.latency.size() && k < 2; ++k) {
        const EditorLatencyDisplay& shown = layout.latency[k];
        CBitmap* back = nullptr;
        std::unique_ptr<BitmapRef> bitmap;
        if (shown.backgroundBitmap) {
            bitmap = std::make_unique<BitmapRef>(shown.backgroundBitmap, scale);
            if (!bitmap->ok()) return false;
            back = bitmap->get();
        }
        auto* display = new CBackDisplay(shown.rect, back, kNoFrame);
        if (back) display->setBackOffset(shown.backgroundOffset);
        else display->setTransparency(true);
        display->setFont(kNormalFontVerySmall);
        display->setFontColor(layout.latencyText);
        display->setValueToText(shown.format);
        display->setMouseEnabled(false);
        display->setValue(shown.samples ? link->latencySamples() : link->latencyMs());
        latencyDisplays[k] = display;
        mainPage->addView(display);
    }

    // Meters.
    const MeterGeometry geometry[2] = {{kBmpLeftFace, kBmpLeftCover, kBmpLeftLamp, 49},
                                       {kBmpRightFace, kBmpRightCover, kBmpRightLamp, 256}};
    for (int c = 0; c < 2; ++c) {
        const MeterGeometry& g = geometry[c];
        BitmapRef face(g.face, scale), cover(g.cover, scale), lamp(g.lamp, scale);
        if (!face.ok() || !cover.ok() || !lamp.ok()) return false;
        const CCoord x = g.x;
        auto* meter = new COldVuMeter(CRect(x, kMeterTop, x + face.width(), kMeterTop + kFaceHeight + kCoverHeight),
                                      this, kTagMeter, face.get(), cover.get(), CPoint(x + 66, 85),
                                      CPoint(x, kMeterTop + kFaceHeight), lamp.get(), CPoint(x + 72, 116), 3, 70, 55,
                                      70, CRect(x + 84, 87, x + 134, 97), CRect(x + 10, 87, x + 60, 97));
        if (c == 0) {
            meter->setDefaultValue(0.0001f);
            meter->setVuLevel(0.001f);
            meter->setOver(0.001f);
            meter->setPpmLevel(0.001f);
        } else {
            meter->setDefaultValue(0);
            meter->setVuLevel(0);
            meter->setOver(0);
            meter->setPpmLevel(0);
        }
        meters[c] = meter;
        mainPage->addView(meter);
    }

    // Buttons and selectors: the Power button, then the selectors, then the other buttons.
    auto addButton = [&](const EditorButton& b) {
        BitmapRef bitmap(b.bitmap, scale);
        if (!bitmap.ok()) return false;
        auto* button = new COrvOnOffButton(CRect(b.x, b.y, b.x + bitmap.width(), b.y + bitmap.height() / 2), this,
                                           b.tag, bitmap.get());
        button->setValue(fx->getParameter(b.tag));
        if (b.tag == kTagScMonit) scMonitButton = button;
        controls.push_back(button);
        mainPage->addView(button);
        return true;
    };
    for (std::size_t k = 0; k < layout.buttons.size(); ++k) {
        if (!addButton(layout.buttons[k])) return false;
        if (k != 0) continue;
        for (const EditorSelector& s : layout.selectors) {
            BitmapRef bitmap(s.bitmap, scale);
            if (!bitmap.ok()) return false;
            const CCoord imageHeight = bitmap.height() / 3;
            auto* selector = new CVerticalSwitch(CRect(s.x, s.y, s.x + bitmap.width(), s.y + imageHeight), this, s.tag,
                                                 3, imageHeight, 3, bitmap.get());
            selector->setValue(fx->getParameter(s.tag));
            controls.push_back(selector);
            mainPage->addView(selector);
        }
    }

    // Knobs, each followed by its readout (kept aside until the mouse rests on the knob).
    knobs.reserve(layout.knobs.size());
    for (const EditorKnob& k : layout.knobs) {
        BitmapRef bitmap(k.bitmap, scale);
        if (!bitmap.ok() || k.frames <= 0) return false;
        const CCoord imageHeight = bitmap.height() / k.frames;
        auto* knob = new CAnimKnob2(CRect(k.x, k.y, k.x + bitmap.width(), k.y + imageHeight), this, k.tag, k.frames,
                                    imageHeight, bitmap.get());
        knob->setDefaultValue(k.resetValue);
        knob->setValue(fx->getParameter(k.tag));
        controls.push_back(knob);
        mainPage->addView(knob);
        KnobEntry entry{&k, knob, nullptr};
        if (k.readout.tag) {
            auto* readout = new CTextEdit(k.readout.rect, this, k.readout.tag);
            readout->setFont(kNormalFontVerySmall);
            readout->setHoriAlign(kCenterText);
            readout->setBackColor(layout.readoutBack);
            readout->setFrameColor(layout.readoutBack);
            readout->setFontColor(layout.readoutText);
            entry.readout = readout;
            writeReadout(entry);
        }
        knobs.push_back(entry);
    }

    auto* pageSwitch = new CViewContainerSwitch(layout.mainPageSwitch, this, kTagMainPageSwitch);
    controls.push_back(pageSwitch);
    mainPage->addView(pageSwitch);
    return true;
}

bool BorealisEditor::buildSettingsPage() {
    BitmapRef knobBitmap(layout.settingsKnobBitmap, scale), pageBitmap(kBmpSettingsPage, scale);
    if (!knobBitmap.ok() || !pageBitmap.ok() || layout.settingsKnobFrames <= 0) return false;
    const CCoord imageHeight = knobBitmap.height() / layout.settingsKnobFrames;
    for (const EditorSetting& s : layout.settings) {
        auto* knob = new CAnimKnob2(CRect(s.x, s.y, s.x + knobBitmap.width(), s.y + imageHeight), this, s.tag,
                                    layout.settingsKnobFrames, imageHeight, knobBitmap.get());
        knob->setDefaultValue(s.resetValue);
        knob->setValue(effect->getParameter(s.tag));
        controls.push_back(knob);
        settingsPage->addView(knob);

        // The display shows the page's own art behind its text.
        auto* display = new CBackDisplay(s.displayRect, pageBitmap.get(), kNoFrame);
        display->setBackOffset(s.displayRect.getTopLeft());
        display->setFont(kNormalFontVerySmall);
        display->setFontColor(layout.settingsText);
        display->setValueToText(s.format);
        display->setMouseEnabled(false);
        display->setValue(link->unitValue(s.tag));
        settingsDisplays.emplace_back(s.tag, display);
        settingsPage->addView(display);
    }
    settingsPage->addView(new CLabel2(layout.versionLabel, kEditorVersionText));
    if (!layout.scaleMenu.isEmpty()) {
        scaleMenu = new COptionMenu(layout.scaleMenu, this, kTagEditorScale);
        const int current = static_cast<int>(std::lround(scale * 100.0));
        int index = 0;
        for (const int percent : orv::platform::kEditorScales) {
            const std::string entry = "Editor size " + std::to_string(percent) + " %";
            scaleMenu->addEntry(entry.c_str());
            if (percent == current) scaleMenu->setCurrent(index);
            ++index;
        }
        scaleMenu->setFont(kNormalFontVerySmall);
        scaleMenu->setFontColor(layout.settingsText);
        // Dark like the wells of the page's displays, with their text colour.
        scaleMenu->setBackColor(MakeCColor(22, 24, 27));
        scaleMenu->setFrameColor(MakeCColor(70, 74, 80));
        controls.push_back(scaleMenu);
        settingsPage->addView(scaleMenu);
        scaleNote = new CLabel2(layout.scaleNote, "The new size shows when the editor is opened again.");
        scaleNote->setVisible(false);
        settingsPage->addView(scaleNote);
    }
    auto* pageSwitch = new CViewContainerSwitch(layout.settingsPageSwitch, this, kTagSettingsPageSwitch);
    controls.push_back(pageSwitch);
    settingsPage->addView(pageSwitch);
    return true;
}

void BorealisEditor::showPage(CViewContainer* page) {
    if (!frame || !page || page == shownPage) return;
    if (shownPage) frame->removeView(shownPage, true);
    page->remember();  // the frame's reference; the editor keeps its own
    frame->addView(page);
    shownPage = page;
    frame->invalid();
}

void BorealisEditor::swapPages() { showPage(shownPage == mainPage ? settingsPage : mainPage); }

void BorealisEditor::close() {
    CPresetSystemEditor::close();
    // The side-chain monitor is a listening aid of the open window only.
    if (scMonitButton && scMonitButton->getValue() >= 0.5f) {
        scMonitButton->setValue(0);
        if (effect) effect->setParameter(kTagScMonit, 0);
    }
    releaseWindow();
    systemWindow = nullptr;
}

void BorealisEditor::releaseWindow() {
    for (KnobEntry& k : knobs) {
        if (k.readout && mainPage && mainPage->isChild(k.readout)) mainPage->removeView(k.readout, true);
        if (k.readout) k.readout->forget();
    }
    knobs.clear();
    controls.clear();
    settingsDisplays.clear();
    meters[0] = meters[1] = nullptr;
    latencyDisplays[0] = latencyDisplays[1] = nullptr;
    scMonitButton = nullptr;
    scaleMenu = nullptr;
    scaleNote = nullptr;
    if (frame) {
        frame->forget();  // releases the shown page and everything on it
        frame = nullptr;
    }
    if (mainPage) mainPage->forget();
    if (settingsPage) settingsPage->forget();
    mainPage = settingsPage = shownPage = nullptr;
}

void BorealisEditor::idle() {
    if (failed()) return;
    if (pendingScale && frame) {
        // Outside every event of the old window: it can go.
        const int percent = pendingScale;
        pendingScale = 0;
        rebuildAtScale(percent);
    }
    // Changes first, so this pass draws them; then again for what the pass itself brought (an
    // answered file dialog, the user's events).
    takeParameterChanges();
    CPresetSystemEditor::idle();
    takeParameterChanges();
    if (!frame || shownPage != mainPage) return;
    feedMeters();
    releaseHolds();
    updateReadoutUnderMouse();
    const std::uint32_t now = clock();
    if (leftButtonAtLastChange && !frame->getCurrentMouseButtons().isLeftButton()) {
        // The drag that changed the knob has ended: its readout now stays the usual time.
        leftButtonAtLastChange = false;
        readoutTick = now;
    }
    if (now - readoutTick > kReadoutShowMs && !leftButtonAtLastChange) hideReadouts(false);
}

void BorealisEditor::feedMeters() {
    for (int c = 0; c < 2; ++c) {
        if (!meters[c]) continue;
        const EditorMeterChannel m = link->meter(c);
        meters[c]->setAll(m.vu, m.over, m.ppm, m.ppmHold, m.vuHold);
        meters[c]->invalid();  // the needles move on every tick
    }
}

void BorealisEditor::releaseHolds() {
    // A hold stays two seconds of audio, then starts again from rest.
    const double limit = 2.0 * link->sampleRate();
    for (int c = 0; c < 2; ++c) {
        const EditorMeterChannel m = link->meter(c);
        if (m.vuHoldAge >= limit) link->releaseVuHold(c);
        if (m.ppmHoldAge >= limit) link->releasePpmHold(c);
    }
}

void BorealisEditor::updateReadoutUnderMouse() {
    std::int32_t tag = forcedReadout;
    if (tag == -1) {
        CPoint where;
        if (!frame->getCurrentMouseLocation(where)) return;
        CView* view = mainPage->getViewAt(mainPage->frameToLocal(where));
        auto* control = dynamic_cast<CControl*>(view);
        if (!control) return;
        tag = control->getTag();
    }
    KnobEntry* entry = knobByTag(tag);
    if (!entry) entry = knobByReadout(tag);
    if (!entry || !entry->readout) return;
    readoutTick = clock();
    showReadout(*entry);
}

void BorealisEditor::showReadout(KnobEntry& entry) {
    if (mainPage->isChild(entry.readout)) return;
    writeReadout(entry);
    entry.readout->remember();  // the page's reference
    mainPage->addView(entry.readout);
    entry.readout->invalid();
}

void BorealisEditor::hideReadouts(bool all) {
    if (!mainPage) return;
    for (KnobEntry& k : knobs) {
        if (!k.readout || !mainPage->isChild(k.readout)) continue;
        // Text being typed stays until the user finishes it.
        if (!all && k.readout->isTyping()) continue;
        mainPage->removeView(k.readout, true);
    }
}

void BorealisEditor::writeReadout(KnobEntry& entry) {
    if (!entry.readout) return;
    char text[32] = {};
    readoutText(entry.layoutEntry->readout.text, link->unitValue(entry.layoutEntry->tag), text);
    entry.readout->setText(text);
    entry.readout->setValue(entry.knob->getValue());
    entry.readout->invalid();
}

EditorValueFeed* BorealisEditor::valueFeed() const {
    auto* fx = dynamic_cast<CPresetSystemEffect*>(effect);
    return fx ? &fx->editorFeed() : nullptr;
}

void BorealisEditor::takeParameterChanges() {
    EditorValueFeed* feed = valueFeed();
    if (!feed || !frame) return;
    EditorValueFeed::Taken taken;
    if (!feed->take(taken)) return;
    // Each page switch swaps the pages once; an even number leaves them as they are.
    if (taken.pageSwitches & 1u) swapPages();
    for (int index = 0; index < EditorValueFeed::kSlots && frame; ++index)
        if (taken.changed & (std::uint64_t{1} << index)) setParameter(index, taken.values[index]);
}

void BorealisEditor::setParameter(std::int32_t index, float value) {
    if (!frame) return;
    if (index == kTagMainPageSwitch || index == kTagSettingsPageSwitch) {
        swapPages();
        return;
    }
    // S.C.Ext and S.C.Monit show what the user last clicked.
    if (index == layout.scExtTag || index == kTagScMonit) return;
    CControl* control = getControl(index);
    if (!control) return;
    control->setValue(effect->getParameter(index));
    control->invalid();
    if (KnobEntry* entry = knobByTag(index)) writeReadout(*entry);
    if (CBackDisplay* display = getSettingsDisplay(index)) {
        display->setValue(link->unitValue(index));
        display->invalid();
    }
}

void BorealisEditor::valueChanged(CControl* control) {
    handleValueChanged(control);
    // The user's own change (and a preset it loaded) shows at once, not at the next idle pass.
    takeParameterChanges();
}

void BorealisEditor::handleValueChanged(CControl* control) {
    CPresetSystemEditor::valueChanged(control);
    if (!control || !effect || failed()) return;
    const std::int32_t tag = control->getTag();
    if ((tag >= kTagPresetName && tag <= kTagSavePreset) || (tag >= kTagPresetMenu && tag <= kTagRecallMemoB)) return;
    if (tag == kTagEditorScale) {
        const int index = scaleMenu ? scaleMenu->getCurrentIndex() : -1;
        if (index >= 0 && index < static_cast<int>(std::size(orv::platform::kEditorScales)))
            changeScale(orv::platform::kEditorScales[index]);
        return;
    }
    leftButtonAtLastChange = frame && frame->getCurrentMouseButtons().isLeftButton();
    const float value = control->getValue();

    if (tag == layout.scExtTag) {
        // The external key can only be chosen when the host gives the side-chain inputs.
        if (link->hasSideChain()) {
            effect->setParameterAutomated(tag, value);
        } else {
            control->setValue(0);
            control->invalid();
        }
        return;
    }
    if (KnobEntry* entry = knobByReadout(tag)) {
        typedIntoReadout(*entry);
        return;
    }
    if (tag == kTagMeter) {
        meterClicked();
        return;
    }
    if (tag >= 0 && tag <= kLastHostParameter)
        effect->setParameterAutomated(tag, value);
    else
        effect->setParameter(tag, value);  // settings and page switches: not for the host
}

void BorealisEditor::typedIntoReadout(KnobEntry& entry) {
    const EditorReadout& r = entry.layoutEntry->readout;
    if (!isTypedNumber(entry.readout->getText())) {
        // Not a number: the knob keeps its value and the readout shows it again.
        writeReadout(entry);
        return;
    }
    double t = parseNumber(entry.readout->getText());
    if (t < r.typedMin) t = r.typedMin;
    if (t > r.typedMax) t = r.typedMax;
    const float x = readoutToNormalised(r.conversion, t);
    effect->setParameterAutomated(entry.layoutEntry->tag, x);
    if (!frame) return;  // the window may have gone while the effect answered
    entry.knob->setValue(x);
    entry.knob->invalid();
    writeReadout(entry);
}

void BorealisEditor::meterClicked() {
    for (COldVuMeter* m : meters)
        if (m && m->isOverHeld()) {
            for (COldVuMeter* n : meters)
                if (n) n->resetOver();
            break;
        }
    link->clearMeters();
}

namespace {

// Display text without the padding the host's parameter displays carry.
std::string trimmed(const char* text) {
    std::string t = text ? text : "";
    const auto first = t.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return t.substr(first, t.find_last_not_of(' ') - first + 1);
}

}  // namespace

const char* BorealisEditor::nameOf(std::int32_t tag) const {
    for (const EditorControlName& n : layout.names)
        if (n.tag == tag) return n.name;
    return nullptr;
}

bool BorealisEditor::presetBarTooltip(CControl* control, std::string& text) {
    CPresetSystemEffect* fx = getPresetEffect();
    if (!fx) return false;
    const int current = fx->getCurrentPreset();
    char programName[kDisplayTextSize] = {};
    fx->getProgramName(programName);
    const std::string currentName = programName;
    switch (control->getTag()) {
        case kTagPresetName: text = "Preset name\n" + currentName + "\nClick to rename"; return true;
        case kTagPresetMenu:
            text = "Preset " + std::to_string(current + 1) + " of " + std::to_string(kNumPresets) + "\n" + currentName;
            return true;
        case kTagPresetRocker: text = "Previous or next preset\n" + currentName; return true;
        case kTagLoadBank: text = "Load bank\nRight-click: load a byte-reversed bank"; return true;
        case kTagSaveBank: text = "Save bank"; return true;
        case kTagLoadPreset: text = "Load preset\nRight-click: load a byte-reversed preset"; return true;
        case kTagSavePreset: text = "Save preset"; return true;
        case kTagDefaultBank: text = "Default bank\nDouble-click: store, Ctrl+double-click: clear"; return true;
        case kTagDefaultPreset: text = "Default preset\nDouble-click: store, Ctrl+double-click: clear"; return true;
        case kTagStoreMemoA: text = "Store A\nKeeps the current preset in memory A"; return true;
        case kTagRecallMemoA: text = "Recall A\nLoads memory A into the current preset"; return true;
        case kTagStoreMemoB: text = "Store B\nKeeps the current preset in memory B"; return true;
        case kTagRecallMemoB: text = "Recall B\nLoads memory B into the current preset"; return true;
        default: return false;
    }
}

bool BorealisEditor::tooltipFor(CView* view, std::string& text) {
    auto* control = dynamic_cast<CControl*>(view);
    if (!control || !frame || failed()) return false;
    const std::int32_t tag = control->getTag();
    if (getPresetBarControl(tag) == control) return presetBarTooltip(control, text);
    if (KnobEntry* entry = knobByReadout(tag); entry && entry->readout == control) {
        const char* name = nameOf(entry->layoutEntry->tag);
        text = std::string(name ? name : "Value") + "\nType a value, Return sets it, Escape cancels";
        return true;
    }
    if (tag == kTagEditorScale || (scaleNote && control == scaleNote)) {
        text = "Editor size\nThe size the editor is drawn at, kept for every Orv plug-in";
        return true;
    }
    if (dynamic_cast<CLabel2*>(control)) {
        char product[kDisplayTextSize] = {};
        if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->getEffectName(product);
        text = std::string(product) + "\nVersion " + (kEditorVersionText + 2);
        return true;
    }
    if (tag == kTagMeter) {
        text = "Level meter\nClick to clear the over lamps and counts";
        return true;
    }
    if (tag == kTagMainPageSwitch) {
        text = "Meter settings\nClick to set the meters' ballistics";
        return true;
    }
    if (tag == kTagSettingsPageSwitch) {
        text = "Back\nClick to return to the main page";
        return true;
    }
    const char* name = nameOf(tag);
    if (!name || getControl(tag) != control) return false;
    std::string value;
    char buffer[kDisplayTextSize] = {};
    if (KnobEntry* entry = knobByTag(tag)) {
        readoutText(entry->layoutEntry->readout.text, link->unitValue(tag), buffer);
        value = buffer;
    } else if (CBackDisplay* display = getSettingsDisplay(tag)) {
        display->formatValue(link->unitValue(tag), buffer);
        value = buffer;
    } else if (dynamic_cast<COrvOnOffButton*>(control)) {
        value = control->getValue() >= 0.5f ? "On" : "Off";
    } else if (tag >= 0 && tag <= kLastHostParameter) {
        effect->getParameterDisplay(tag, buffer);
        value = trimmed(buffer);
        char label[kDisplayTextSize] = {};
        effect->getParameterLabel(tag, label);
        value += trimmed(label);
    }
    text = value.empty() ? name : std::string(name) + "\n" + value;
    return true;
}

void BorealisEditor::resetMeters() {
    for (COldVuMeter* m : meters)
        if (m) m->resetAll();
}

void BorealisEditor::refreshLatency() {
    for (std::size_t k = 0; k < layout.latency.size() && k < 2; ++k) {
        if (!latencyDisplays[k]) continue;
        latencyDisplays[k]->setValue(layout.latency[k].samples ? link->latencySamples() : link->latencyMs());
        latencyDisplays[k]->invalid();
    }
}

CControl* BorealisEditor::getControl(std::int32_t tag) const {
    for (CControl* c : controls)
        if (c->getTag() == tag) return c;
    for (const KnobEntry& k : knobs)
        if (k.readout && k.readout->getTag() == tag) return k.readout;
    return nullptr;
}

CTextEdit* BorealisEditor::getReadout(std::int32_t tag) const {
    for (const KnobEntry& k : knobs)
        if (k.readout && k.readout->getTag() == tag) return k.readout;
    return nullptr;
}

bool BorealisEditor::isReadoutShown(std::int32_t tag) const {
    CTextEdit* r = getReadout(tag);
    return r && mainPage && mainPage->isChild(r);
}

CBackDisplay* BorealisEditor::getSettingsDisplay(std::int32_t tag) const {
    for (const auto& d : settingsDisplays)
        if (d.first == tag) return d.second;
    return nullptr;
}

BorealisEditor::KnobEntry* BorealisEditor::knobByTag(std::int32_t tag) {
    for (KnobEntry& k : knobs)
        if (k.layoutEntry->tag == tag && k.readout) return &k;
    return nullptr;
}

BorealisEditor::KnobEntry* BorealisEditor::knobByReadout(std::int32_t tag) {
    for (KnobEntry& k : knobs)
        if (k.readout && k.readout->getTag() == tag) return &k;
    return nullptr;
}
