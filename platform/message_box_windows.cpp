// Windows message box: a plain MessageBoxA with no owner window. Tests install a handler
// instead, since a real message box waits for a click that never comes in an unattended run.
#include "platform/message_box.h"

#include <windows.h>

namespace orv::platform {
namespace {
MessageBoxHandler& handler() {
    static MessageBoxHandler h;
    return h;
}
}  // namespace

void messageBox(const std::string& text, const std::string& caption) {
    if (handler()) {
        handler()(text, caption);
        return;
    }
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void setMessageBoxHandler(MessageBoxHandler h) { handler() = std::move(h); }

}  // namespace orv::platform
