#pragma once
// Both engines with the preset bar's editor half attached (no window is ever opened), so that
// records reach the engines exactly as the plug-in editors pass them on.
#include "fuzz/fuzz_support.h"
#include "platform/resources.h"
#include "presets/preset_system_editor.h"

// No window is opened, so no bitmap is ever loaded: the fuzz targets carry no art.
bool orv::platform::findResource(int, const unsigned char*&, std::size_t&) { return false; }

AEffEditor* createBorealisEditor(Borealis* fx) { return new CPresetSystemEditor(fx, kBorealisPresetBar); }
AEffEditor* createKestrelEditor(Kestrel* fx) { return new CPresetSystemEditor(fx, kKestrelPresetBar); }

namespace orvfuzz {

inline CPresetSystemEditor& editorOf(CPresetSystemEffect& fx) {
    auto* editor = dynamic_cast<CPresetSystemEditor*>(fx.getEditor());
    if (!editor) fail("no preset editor attached");
    return *editor;
}

}  // namespace orvfuzz
