#include "harness.h"

#include <cairo.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/resources.h"

namespace pbtest {

using namespace toolkit;

TestEffect::TestEffect(std::int32_t id) : CPresetSystemEffect(nullptr, kBorealisFactoryPresets) {
    setUniqueID(id);
    testEditor = new TestEditor(this, kBorealisPresetBar);
    loadStoredDefaults();
    selectPreset(0);
}

TestEffect::~TestEffect() {
    if (testEditor && testEditor->getFrame()) testEditor->close();
    delete testEditor;
}

bool TestEditor::open(void* parent) {
    frame = new CFrame(CRect(0, 0, 460, 480), nullptr, this);
    if (CPresetSystemEditor::open(parent)) return true;
    frame->forget();
    frame = nullptr;
    return false;
}

void TestEditor::close() {
    CPresetSystemEditor::close();
    if (frame) frame->forget();
    frame = nullptr;
}

Instance::Instance(std::int32_t id) : effect(new TestEffect(id)), editor(effect->testEditor) {
    EXPECT_TRUE(editor->open(nullptr));
    effect->applied.clear();
}

Instance::~Instance() { delete effect; }

void Instance::click(CCoord x, CCoord y, std::int32_t buttons) {
    frame()->dispatchMouseDown(CPoint(x, y), CButtonState(buttons));
    frame()->dispatchMouseUp(CPoint(x, y), CButtonState(buttons & ~(kLButton | kRButton)));
}

void Instance::clickControl(std::int32_t tag, std::int32_t buttons) {
    CControl* c = editor->getPresetBarControl(tag);
    ASSERT_NE(c, nullptr);
    const CRect& r = c->getViewSize();
    click((r.left + r.right) / 2, (r.top + r.bottom) / 2, buttons);
}

void Instance::typeKeys(const char* text) {
    for (; *text; ++text) {
        VstKeyCode k{*text, 0, 0};
        frame()->dispatchKeyDown(k);
    }
}

void Instance::pressReturn() {
    VstKeyCode k{0, kVKeyReturn, 0};
    frame()->dispatchKeyDown(k);
}

void PresetBarTest::SetUp() {
    char pattern[] = "/tmp/orv-presetbar-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    CNewFileSelector::setChooser([this](const CNewFileSelector::Request& r) {
        requests.push_back(r);
        std::vector<std::string> chosen;
        if (!answers.empty()) {
            if (!answers.front().empty()) chosen.push_back(answers.front());
            answers.erase(answers.begin());
        }
        return chosen;
    });
}

void PresetBarTest::TearDown() {
    CNewFileSelector::setChooser(nullptr);
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir, ec);
}

std::map<std::string, std::string> PresetBarTest::storeSnapshot() const {
    std::map<std::string, std::string> snapshot;
    const std::filesystem::path root = dir + "/config";
    if (!std::filesystem::exists(root)) return snapshot;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            snapshot[std::filesystem::relative(entry.path(), root).string()] = readBytes(entry.path().string());
    return snapshot;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string bytesOf(const void* data, std::size_t size) { return std::string(static_cast<const char*>(data), size); }

std::string presetName(const PresetRecord& p) { return std::string(p.name, strnlen(p.name, kPresetNameLength)); }

namespace {

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::string plainPng(int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.3, 0.5, 0.7);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(s, appendPng, &png);
    cairo_surface_destroy(s);
    return png;
}

const std::map<int, std::string>& table() {
    static const std::map<int, std::string> resources = {
        {19000, plainPng(460, 480)}, {19997, plainPng(31, 70)},  {19990, plainPng(37, 30)},
        {19899, plainPng(47, 30)},   {19991, plainPng(12, 42)},  {19992, plainPng(12, 42)},
        {19993, plainPng(12, 42)},   {19994, plainPng(12, 42)},  {19995, plainPng(12, 42)},
        {19996, plainPng(12, 42)},   {19998, plainPng(12, 42)},  {19999, plainPng(12, 42)},
    };
    return resources;
}

}  // namespace
}  // namespace pbtest

namespace orv::platform {
bool findResource(int id, const unsigned char*& data, std::size_t& size) {
    const auto& resources = pbtest::table();
    auto it = resources.find(id);
    if (it == resources.end()) return false;
    data = reinterpret_cast<const unsigned char*>(it->second.data());
    size = it->second.size();
    return true;
}
}  // namespace orv::platform
