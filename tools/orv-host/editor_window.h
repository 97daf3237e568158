#pragma once
// The host's own top-level window that a plug-in's editor opens inside, and a screenshot of it.
#include <string>

namespace orvhost {

// False, with the reason, for an editor size outside 1 to 8192 pixels either way.
inline bool usableEditorSize(int width, int height, std::string& error) {
    if (width > 0 && height > 0 && width <= 8192 && height <= 8192) return true;
    error = "the editor reported an unusable size";
    return false;
}

class EditorWindow {
public:
    EditorWindow() = default;
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // Creates and shows a window of the given client size. False with a reason in `error`.
    // Sizes outside 1 to 8192 pixels either way are refused, here and by resize().
    bool create(int width, int height, const std::string& title, std::string& error);
    // Gives the window a new client size (the editor's, once it is open). False with a reason.
    bool resize(int width, int height, std::string& error);
    // The system handle a plug-in expects as its parent (an X11 Window id on Linux).
    void* parentHandle() const;
    // Moves the mouse pointer off the window, so that a screenshot shows no hover state or
    // tooltip that depends on where the pointer happened to be.
    void movePointerAway();
    // Handles the window's own events without blocking; false once the user closed it.
    bool pump();
    // Writes what the window shows, child windows included, as a PNG.
    bool capture(const std::string& pngPath, std::string& error);
    void destroy();

private:
    struct Impl;
    Impl* impl = nullptr;
};

}  // namespace orvhost
