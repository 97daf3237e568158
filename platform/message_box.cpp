#include "platform/message_box.h"

#include <cstdio>

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
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void setMessageBoxHandler(MessageBoxHandler h) { handler() = std::move(h); }

}  // namespace orv::platform
