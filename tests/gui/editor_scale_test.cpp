// The editor scale kept for the user and the one the screen suggests.
#include <gtest/gtest.h>

#include "gui/editor_scale.h"
#include "platform/registry.h"
#include "tests/support/private_x_server.h"

// After gtest: Xlib's macros (None, Bool) would clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

TEST(EditorScale, TheScreensDpiGivesTheNearestOfferedScale) {
    EXPECT_EQ(editorScaleForDpi(96), 100);
    EXPECT_EQ(editorScaleForDpi(120), 125);
    EXPECT_EQ(editorScaleForDpi(144), 150);
    EXPECT_EQ(editorScaleForDpi(168), 175);
    EXPECT_EQ(editorScaleForDpi(192), 200);
    EXPECT_EQ(editorScaleForDpi(110), 125);  // 114.6 % is nearer 125 than 100
    EXPECT_EQ(editorScaleForDpi(400), 200);  // beyond the largest: the largest
    EXPECT_EQ(editorScaleForDpi(50), 100);
    EXPECT_EQ(editorScaleForDpi(0), 100);
    EXPECT_EQ(editorScaleForDpi(-96), 100);
    EXPECT_EQ(editorScaleForDpi(std::nan("")), 100);
}

TEST(EditorScale, OnlyAnOfferedScaleIsStoredOrRead) {
    // A stored value that is not an offered scale reads as none.
    const std::int32_t garbage = 333;
    orv::platform::registrySetBinary("SOFTWARE\\Orv-tonekraft\\Tamarind", "editorscale", &garbage, sizeof garbage);
    EXPECT_EQ(storedEditorScale(), 0);
    storeEditorScale(130);  // not offered: nothing written
    EXPECT_EQ(storedEditorScale(), 0);
    storeEditorScale(175);
    EXPECT_EQ(storedEditorScale(), 175);
    storeEditorScale(150);
    EXPECT_EQ(chosenEditorScale(nullptr, 19000), 150);  // the stored one, with or without art for it
}

TEST(EditorScale, XftDpiOfTheScreenChoosesWithoutAStoredScale) {
    orvtest::PrivateXServer server;
    if (!server.start()) GTEST_SKIP() << "no X server";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(screenEditorScale(nullptr), 100);  // no Xft.dpi: 100 %
    const char resources[] = "Xft.antialias:\t1\nXft.dpi:\t192\n";
    XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), static_cast<int>(std::strlen(resources)));
    XSync(d, False);
    EXPECT_EQ(screenEditorScale(nullptr), 200);
    XCloseDisplay(d);
}

}  // namespace
