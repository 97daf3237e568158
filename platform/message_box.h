#pragma once
#include <functional>
#include <string>

namespace orv::platform {

// Shows a message to the user. On Linux it is written to standard error as "caption: text".
void messageBox(const std::string& text, const std::string& caption);

// Tests install a handler to capture messages instead; pass an empty function to restore.
using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;
void setMessageBoxHandler(MessageBoxHandler handler);

}  // namespace orv::platform
