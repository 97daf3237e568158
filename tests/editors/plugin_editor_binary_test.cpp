// Both plug-ins as a host loads them: the shipped shared objects carry their editors, which
// open offscreen (no parent window), follow automation and open and close many times.
#include <string>

#include "../host/plugin_fixture.h"

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

INSTANTIATE_TEST_SUITE_P(Plugins, PluginEditor,
                         ::testing::Values(Plugin{ORV_BOREALIS_PATH, 450, 460}, Plugin{ORV_KESTREL_PATH, 450, 378}));

}  // namespace
