#pragma once
// The plug-in's own editor as an LV2 X11 UI. It reaches the instance's AEffect record through
// the instance-access feature, opens the editor with effEditOpen in a window of its own inside
// the host's ui:parent, drives effEditIdle from the host's idle calls and tells the host the
// editor's size (ui:resize). Parameter changes the editor or its preset bar makes reach the
// host as port changes through the UI's write function.
#include "lv2/plugin_instance.h"

#include <lv2/ui/ui.h>

namespace orv::lv2 {

const LV2UI_Descriptor& editorUiDescriptor();

}  // namespace orv::lv2
