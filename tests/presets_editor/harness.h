#pragma once
// Test harness of the preset bar: a small effect with the preset store of one plug-in, an
// editor that opens offscreen, a per-test per-user store, a file chooser that answers with a
// queued path, and a resource table of plain bitmaps at the preset bar's sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "presets/preset_system_editor.h"
#include "toolkit/toolkit.h"

namespace pbtest {

constexpr std::int32_t fourCC(char a, char b, char c, char d) {
    return (std::int32_t(a) << 24) | (std::int32_t(b) << 16) | (std::int32_t(c) << 8) | std::int32_t(d);
}
constexpr std::int32_t kBorealisId = fourCC('O', 'r', 'B', 'o');
constexpr std::int32_t kKestrelId = fourCC('O', 'r', 'K', 'e');

class TestEditor;

// An effect as the plug-ins build theirs: editor first, then the stored defaults, then preset 0.
class TestEffect : public CPresetSystemEffect {
public:
    explicit TestEffect(std::int32_t id = kBorealisId);
    ~TestEffect() override;
    // Every value that reached the engine, in order (preset replays included).
    std::vector<std::pair<VstInt32, float>> applied;
    void setParameter(VstInt32 index, float value) override {
        applied.emplace_back(index, value);
        CPresetSystemEffect::setParameter(index, value);
    }
    void processReplacing(float**, float**, VstInt32) override {}
    TestEditor* testEditor = nullptr;
};

class TestEditor : public CPresetSystemEditor {
public:
    using CPresetSystemEditor::CPresetSystemEditor;
    bool open(void* parent) override;
    void close() override;
};

// One plug-in instance with its editor window open offscreen.
struct Instance {
    explicit Instance(std::int32_t id = kBorealisId);
    ~Instance();
    TestEffect* effect;
    TestEditor* editor;
    toolkit::CFrame* frame() const { return editor->getFrame(); }
    void click(toolkit::CCoord x, toolkit::CCoord y, std::int32_t buttons = toolkit::kLButton);
    // Clicks the centre of the preset-bar control with `tag`.
    void clickControl(std::int32_t tag, std::int32_t buttons = toolkit::kLButton);
    void typeKeys(const char* text);
    void pressReturn();
};

// Each test gets a temporary folder for its files and per-user store, and a chooser.
class PresetBarTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string file(const std::string& name) const { return dir + "/" + name; }
    // The next dialog answers `path` (empty: cancelled); requests are recorded.
    void answer(const std::string& path) { answers.push_back(path); }
    // Every stored value: relative path -> bytes.
    std::map<std::string, std::string> storeSnapshot() const;

    std::string dir;
    std::vector<std::string> answers;
    std::vector<toolkit::CNewFileSelector::Request> requests;
};

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
std::string bytesOf(const void* data, std::size_t size);
std::string presetName(const PresetRecord& p);

}  // namespace pbtest
