// orv-host editor: opens a plug-in's editor in an X window.
#include "tools/orv-host/commands.h"
#include "tools/orv-host/session.h"

namespace orvhost {

int runEditor(const Options& o) {
    Plugin plugin;
    std::string error;
    if (!loadAndPrepare(plugin, o, error)) return fail(error);
    if (!(plugin.effect()->flags & effFlagsHasEditor)) return fail("the plug-in has no editor");
    return fail("editor windows are not supported by this build");
}

}  // namespace orvhost
