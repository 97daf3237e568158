// The editor as an LV2 X11 UI, hosted as Ardour and jalv host it: inside the host's window
// (ui:parent), on the instance it edits (instance-access), driven by idle calls. It tells the
// host its size; a click on a switch reaches both the plug-in and the host's port, and a preset
// made current reaches the host as port changes.
#include "tests/lv2/plugin_cases.h"
#include "tests/support/private_x_server.h"
#include "tests/support/x_pointer.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <unistd.h>

using namespace orvtest;

namespace {

struct HostSide {
    Lv2Instance* lv2 = nullptr;
    std::vector<std::pair<std::uint32_t, float>> writes;
    int width = 0, height = 0;
};

void writeToHost(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                 const void* buffer) {
    auto* host = static_cast<HostSide*>(controller);
    if (protocol != 0 || size != sizeof(float)) return;
    float v;
    std::memcpy(&v, buffer, sizeof v);
    host->writes.emplace_back(port, v);
    host->lv2->control(port) = v;  // the host sets its port, as Ardour and jalv do
}

int resizeHostWindow(LV2UI_Feature_Handle handle, int width, int height) {
    auto* host = static_cast<HostSide*>(handle);
    host->width = width;
    host->height = height;
    return 0;
}

// Where a click turns the power switch off, in the editor's window.
struct EditorCase {
    PluginCase plugin;
    int powerX, powerY;
};
void PrintTo(const EditorCase& c, std::ostream* os) { *os << c.plugin.name; }

class Lv2Editor : public testing::TestWithParam<EditorCase> {
public:
    static void SetUpTestSuite() { server.start("1280x1024x24"); }
    static void TearDownTestSuite() { server.stop(); }

protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !(display = XOpenDisplay(nullptr))) GTEST_SKIP() << "no X server (Xvfb or DISPLAY)";
    }
    void TearDown() override {
        if (library) dlclose(library);
        if (display) XCloseDisplay(display);
    }
    const LV2UI_Descriptor* uiDescriptor(const LilvPlugin* plugin) {
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(plugin)), nullptr);
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        lilv_free(path);
        if (!library) return nullptr;
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(std::uint32_t)>(dlsym(library, "lv2ui_descriptor"));
        return entry ? entry(0) : nullptr;
    }
    static PrivateXServer server;
    Display* display = nullptr;
    void* library = nullptr;
};

PrivateXServer Lv2Editor::server;

TEST_P(Lv2Editor, OpensAtItsSizeAndItsChangesReachThePluginAndTheHost) {
    const PluginCase& c = GetParam().plugin;
    Lv2Instance lv2(c.uri, 48000);
    ASSERT_TRUE(lv2.ok());
    const LV2UI_Descriptor* ui = uiDescriptor(lv2.plugin());
    ASSERT_NE(ui, nullptr);
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);

    Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1200, 1000, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    HostSide host;
    host.lv2 = &lv2;
    LV2UI_Resize resize{&host, resizeHostWindow};
    LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
    LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(lv2.lilv())};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {lv2.features[0], &parentFeature, &instanceFeature, &resizeFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle handle = ui->instantiate(ui, c.uri, "", writeToHost, &host, &widget, features);
    ASSERT_NE(handle, nullptr);
    for (int i = 0; i < 5; ++i) idle->idle(handle);

    // The size the host was told is the editor's, and the UI's window has it.
    VstReference vst(c, 48000);
    ERect* rect = nullptr;
    ASSERT_EQ(vst.effect()->dispatcher(vst.effect(), effEditGetRect, 0, 0, &rect, 0.0f), 1);
    EXPECT_EQ(host.width, rect->right - rect->left);
    EXPECT_EQ(host.height, rect->bottom - rect->top);
    Window root = 0, up = 0, *children = nullptr;
    unsigned childCount = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    const Window uiWindow = static_cast<Window>(reinterpret_cast<std::uintptr_t>(widget));
    ASSERT_TRUE(XGetGeometry(display, uiWindow, &root, &x, &y, &w, &h, &border, &depth));
    EXPECT_EQ(static_cast<int>(w), host.width);
    EXPECT_EQ(static_cast<int>(h), host.height);
    ASSERT_TRUE(XQueryTree(display, uiWindow, &root, &up, &children, &childCount));
    ASSERT_EQ(childCount, 1u);  // the editor's own window
    const Window editorWindow = children[0];
    XFree(children);

    // Power is on (the Default preset); a click turns it off.
    const std::uint32_t powerPort = orv::lv2::kFirstParameterPort;
    ASSERT_EQ(lv2.control(powerPort), 1.0f);
    orvtest::clickAt(display, editorWindow, GetParam().powerX, GetParam().powerY);
    // The click travels through the X server to the editor's own connection: on a loaded
    // machine it may take a while, so the UI idles until it arrives (2 s at the most).
    bool reported = false;
    for (int i = 0; i < 200 && !reported; ++i) {
        idle->idle(handle);
        for (auto& [port, value] : host.writes) reported |= port == powerPort && value == 0.0f;
        if (!reported) usleep(10000);
    }
    EXPECT_TRUE(reported) << host.writes.size() << " port writes";
    lv2.runSilence(64);
    const std::vector<float> held = currentPresetValues(lv2.savedChunk());
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(held[0], 0.0f);

    // Another preset made current in the plug-in (as its preset bar does) reaches the host as
    // port changes: the host's ports then read the preset's values.
    std::vector<unsigned char> chunk = lv2.savedChunk();
    chunk[12] = 3;
    ASSERT_EQ(lv2.restoreChunk(chunk, UridMap::id(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);
    for (int i = 0; i < 3; ++i) idle->idle(handle);
    const orv::lv2::PluginDescription& d = c.ports();
    for (int i = 1; i < d.numPorts; ++i) {
        const orv::lv2::ParameterPort& p = d.ports[i];
        EXPECT_EQ(lv2.control(orv::lv2::kFirstParameterPort + i), orv::lv2::unitValue(p, (*d.presetValues)[3][p.index]))
            << p.symbol;
    }

    ui->cleanup(handle);
    XDestroyWindow(display, parent);
    XSync(display, False);
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, Lv2Editor,
                         testing::Values(EditorCase{kBorealisCase, 52, 398}, EditorCase{kKestrelCase, 50, 318}),
                         [](const testing::TestParamInfo<EditorCase>& info) { return info.param.plugin.name; });

}  // namespace
