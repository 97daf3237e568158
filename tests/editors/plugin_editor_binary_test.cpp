// Both plug-ins as a host loads them: the shipped shared objects carry their editors, which
// open offscreen (no parent window), follow automation and open and close many times.
#include <cstring>
#include <string>

#include "../host/plugin_fixture.h"
#include "borealis/editor/editor_hooks.h"
#include "platform/registry.h"
#include "tests/support/private_x_server.h"

// After the test headers: Xlib's macros (None, Bool) would clash with names in them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

struct Plugin {
    const char* path;
    short width, height;
};

class PluginEditor : public ::testing::TestWithParam<Plugin> {};

TEST_P(PluginEditor, OpensOffscreenAndSurvivesManyOpenings) {
    LoadedPlugin plugin(GetParam().path);
    AEffect* fx = plugin.start();
    ASSERT_NE(fx, nullptr);
    EXPECT_TRUE(fx->flags & effFlagsHasEditor);
    // At 100 %, whatever the screen this runs on suggests.
    ASSERT_EQ(plugin.dispatch(effVendorSpecific, kEditorScaleRequest, 100), 100);
    ERect* r = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right - r->left, GetParam().width);
    EXPECT_EQ(r->bottom - r->top, GetParam().height);

    plugin.dispatch(effMainsChanged, 0, 1);
    hostLog().automated.clear();
    for (int k = 0; k < 50; ++k) {
        ASSERT_EQ(plugin.dispatch(effEditOpen), 1);
        plugin.dispatch(effEditIdle);
        fx->setParameter(fx, 5, (k % 10) / 10.0f);  // host automation moves the control
        fx->setParameter(fx, 56, 1.0f);             // page switch through the effect
        plugin.dispatch(effEditIdle);
        plugin.dispatch(effEditClose);
    }
    EXPECT_TRUE(hostLog().automated.empty());  // nothing was sent back to the host
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right, GetParam().width);
    // Closing the plug-in with its window open releases the window too.
    ASSERT_EQ(plugin.dispatch(effEditOpen), 1);
    plugin.closeEffect();
}

// With nothing stored, an editor follows the screen: Xft.dpi 192 opens it at 200 %, its
// rectangle twice the size; asked for another scale, it takes that one instead.
TEST_P(PluginEditor, FollowsTheScreensDpiWhenNoScaleIsStored) {
    orvtest::PrivateXServer server;
    if (!server.start("1920x1200x24")) GTEST_SKIP() << "no X server";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    const char resources[] = "Xft.dpi:\t192\n";
    XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), static_cast<int>(std::strlen(resources)));
    XSync(d, False);
    {
        LoadedPlugin plugin(GetParam().path);
        ASSERT_NE(plugin.start(), nullptr);
        ERect* r = nullptr;
        ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &r), 1);
        EXPECT_EQ(r->right - r->left, 2 * GetParam().width);
        EXPECT_EQ(r->bottom - r->top, 2 * GetParam().height);
        EXPECT_EQ(plugin.dispatch(effVendorSpecific, kEditorScaleRequest, 0), 200);
        EXPECT_EQ(plugin.dispatch(effVendorSpecific, kEditorScaleRequest, 125), 125);
        ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &r), 1);
        EXPECT_EQ(r->right, (GetParam().width * 125 + 99) / 100);
        ASSERT_EQ(plugin.dispatch(effEditOpen), 1);
        plugin.dispatch(effEditIdle);
        plugin.dispatch(effEditClose);
    }
    XCloseDisplay(d);
}

// The stored size is the user's, shared by both plug-ins: each opens at it, whatever the screen.
TEST_P(PluginEditor, OpensAtTheStoredSize) {
    const std::int32_t stored = 175;
    ASSERT_TRUE(orv::platform::registrySetBinary("SOFTWARE\\Orv-tonekraft\\Tamarind", "editorscale", &stored,
                                                 sizeof stored));
    {
        LoadedPlugin plugin(GetParam().path);
        ASSERT_NE(plugin.start(), nullptr);
        ERect* r = nullptr;
        ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &r), 1);
        EXPECT_EQ(r->right - r->left, (GetParam().width * 175 + 99) / 100);
        EXPECT_EQ(r->bottom - r->top, (GetParam().height * 175 + 99) / 100);
    }
    orv::platform::registryDeleteValue("SOFTWARE\\Orv-tonekraft\\Tamarind", "editorscale");
}

INSTANTIATE_TEST_SUITE_P(Plugins, PluginEditor,
                         ::testing::Values(Plugin{ORV_BOREALIS_PATH, 450, 460}, Plugin{ORV_KESTREL_PATH, 450, 378}));

}  // namespace
