// Both plug-ins' editors opened by a test host in a real X window under a private X server:
// a host that destroys its window before it closes the editor keeps running with its own
// error handler, and opening and closing the editor many times leaves no X resources, X
// connections or memory behind.
#include "tests/host/plugin_fixture.h"
#include "tests/support/private_x_server.h"

#include <malloc.h>

#include <cstring>
#include <string>

// Xlib's macros (None, Bool, Status) come after GoogleTest, which uses those names.
#include <X11/Xlib.h>
#ifdef ORV_HAVE_XRES
#include <X11/extensions/XRes.h>
#endif

namespace {

int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

// What the X server holds for all its clients together.
struct ServerResources {
    int clients = 0;
    long windows = 0;
    long pixmaps = 0;
    long gcs = 0;
    long all = 0;
};

ServerResources serverResources(Display* d) {
    ServerResources r;
#ifdef ORV_HAVE_XRES
    int count = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(d, &count, &clients)) return r;
    r.clients = count;
    const Atom window = XInternAtom(d, "WINDOW", False);
    const Atom pixmap = XInternAtom(d, "PIXMAP", False);
    const Atom gc = XInternAtom(d, "GC", False);
    for (int i = 0; i < count; ++i) {
        int types = 0;
        XResType* list = nullptr;
        if (!XResQueryClientResources(d, clients[i].resource_base, &types, &list)) continue;
        for (int t = 0; t < types; ++t) {
            r.all += list[t].count;
            if (list[t].resource_type == window) r.windows += list[t].count;
            if (list[t].resource_type == pixmap) r.pixmaps += list[t].count;
            if (list[t].resource_type == gc) r.gcs += list[t].count;
        }
        XFree(list);
    }
    XFree(clients);
#else
    // Without the resource extension's library: the windows below the root.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
    if (children) XFree(children);
    r.windows = n;
#endif
    return r;
}

unsigned childCount(Display* d, Window w) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    if (children) XFree(children);
    return n;
}

struct Plugin {
    const char* path;
};

class PluginWindow : public ::testing::TestWithParam<Plugin> {
public:
    static void SetUpTestSuite() { server.start("640x560x24"); }
    static void TearDownTestSuite() { server.stop(); }

protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !(host = XOpenDisplay(nullptr))) GTEST_SKIP() << "no X server (Xvfb or DISPLAY)";
        hostErrors = 0;
        previousHandler = XSetErrorHandler(countHostError);
    }
    void TearDown() override {
        if (!host) return;
        XSetErrorHandler(previousHandler);
        XCloseDisplay(host);
    }
    Window makeParent() {
        Window w = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 460, 480, 0, 0, 0);
        XMapWindow(host, w);
        XSync(host, False);
        return w;
    }

    static orvtest::PrivateXServer server;
    Display* host = nullptr;
    XErrorHandler previousHandler = nullptr;
};

orvtest::PrivateXServer PluginWindow::server;

TEST_P(PluginWindow, TheHostMayDestroyItsWindowBeforeClosingTheEditor) {
    LoadedPlugin plugin(GetParam().path);
    ASSERT_NE(plugin.start(), nullptr);
    plugin.dispatch(effMainsChanged, 0, 1);
    for (int round = 0; round < 2; ++round) {
        Window parent = makeParent();
        ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
        plugin.dispatch(effEditIdle);
        EXPECT_EQ(childCount(host, parent), 1u);  // the editor's window
        XDestroyWindow(host, parent);
        XSync(host, False);
        for (int i = 0; i < 5; ++i) {
            plugin.fx->setParameter(plugin.fx, 5, i / 5.0f);  // something to redraw
            plugin.dispatch(effEditIdle);
        }
        plugin.dispatch(effEditClose);
        plugin.dispatch(effEditIdle);
    }
    // Once more with the window open when the effect is closed.
    Window parent = makeParent();
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
    plugin.dispatch(effEditIdle);
    XDestroyWindow(host, parent);
    XSync(host, False);
    plugin.dispatch(effEditIdle);
    plugin.closeEffect();

    EXPECT_EQ(hostErrors, 0);
    EXPECT_EQ(XSetErrorHandler(countHostError), countHostError);
}

TEST_P(PluginWindow, OpeningAndClosingTwoHundredTimesLeavesNothingBehind) {
    LoadedPlugin plugin(GetParam().path);
    ASSERT_NE(plugin.start(), nullptr);
    plugin.dispatch(effMainsChanged, 0, 1);
    Window parent = makeParent();
    auto cycle = [&](int k) {
        ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)), 1);
        plugin.fx->setParameter(plugin.fx, 5, (k % 10) / 10.0f);
        plugin.dispatch(effEditIdle);
        plugin.dispatch(effEditIdle);
        plugin.dispatch(effEditClose);
    };
    for (int k = 0; k < 10; ++k) cycle(k);  // caches of fonts, images and Xlib settle first
    XSync(host, False);
    const ServerResources before = serverResources(host);
    const std::size_t heapBefore = mallinfo2().uordblks;
    for (int k = 0; k < 200; ++k) cycle(k);
    XSync(host, False);
    const ServerResources after = serverResources(host);
    const std::size_t heapAfter = mallinfo2().uordblks;

    EXPECT_EQ(childCount(host, parent), 0u);
    EXPECT_EQ(after.clients, before.clients);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.pixmaps, before.pixmaps);
    EXPECT_EQ(after.gcs, before.gcs);
    EXPECT_EQ(after.all, before.all);
    // A leak of even a few hundred bytes a cycle would show here.
    EXPECT_LT(heapAfter, heapBefore + 64 * 1024) << "heap grew from " << heapBefore << " to " << heapAfter;
    EXPECT_EQ(hostErrors, 0);
    XDestroyWindow(host, parent);
    XSync(host, False);
}

INSTANTIATE_TEST_SUITE_P(Plugins, PluginWindow, ::testing::Values(Plugin{ORV_BOREALIS_PATH}, Plugin{ORV_KESTREL_PATH}),
                         [](const ::testing::TestParamInfo<Plugin>& info) {
                             return std::string(std::strstr(info.param.path, "Kestrel") ? "Kestrel" : "Borealis");
                         });

}  // namespace
