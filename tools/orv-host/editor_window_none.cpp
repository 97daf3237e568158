// Builds without a window system: the editor command reports that it cannot show a window.
#include "tools/orv-host/editor_window.h"

namespace orvhost {

struct EditorWindow::Impl {};

EditorWindow::~EditorWindow() {}
bool EditorWindow::create(int, int, const std::string&, std::string& error) {
    error = "editor windows are not supported by this build";
    return false;
}
void* EditorWindow::parentHandle() const { return nullptr; }
bool EditorWindow::pump() { return false; }
bool EditorWindow::capture(const std::string&, std::string& error) {
    error = "editor windows are not supported by this build";
    return false;
}
void EditorWindow::destroy() {}

}  // namespace orvhost
