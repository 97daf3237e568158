// orv-host editor under a private X server: both pages of both plug-ins open in a real window
// and are written as screenshots (kept in the build tree for a person to look at).
#include "tests/support/x_server_suite.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/wait.h>

namespace {

class EditorScreenshots : public orvtest::XServerSuite {
protected:
    // Runs orv-host with its output folded in; returns the exit status.
    int host(const std::string& args, std::string& out) {
        FILE* p = popen((std::string(ORV_HOST_PATH) + " " + args + " 2>&1").c_str(), "r");
        if (!p) return -1;
        char buf[1024];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        int raw = pclose(p);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // `orv-host editor PLUGIN OPTIONS --png PNG` into a fresh file; the test fails unless it ran.
    void shoot(const std::string& plugin, const std::string& options, const std::string& png) {
        std::remove(png.c_str());
        std::string out;
        ASSERT_EQ(host("editor " + plugin + " " + options + " --png " + png, out), 0) << out;
    }
};

struct Shot {
    const char* plugin;
    const char* page;
    int width, height;
    std::string name() const { return std::string(plugin).find("Kestrel") != std::string::npos ? "kestrel" : "borealis"; }
};

// Both pages of both plug-ins with their sizes at 100 %.
const Shot kShots[] = {{ORV_BOREALIS_PATH, "main", 450, 460},
                       {ORV_BOREALIS_PATH, "settings", 450, 460},
                       {ORV_KESTREL_PATH, "main", 450, 378},
                       {ORV_KESTREL_PATH, "settings", 450, 378}};

TEST_F(EditorScreenshots, BothPagesOfBothPluginsAreDrawnWhole) {
    for (const Shot& s : kShots) {
        const std::string png = std::string(ORV_TEST_OUTPUT_DIR) + "/editor-" + s.name() + "-" + s.page + ".png";
        ASSERT_NO_FATAL_FAILURE(shoot(s.plugin, std::string("--page ") + s.page + " --seconds 0.5", png));
        cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
        ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << png;
        EXPECT_EQ(cairo_image_surface_get_width(image), s.width) << png;
        EXPECT_EQ(cairo_image_surface_get_height(image), s.height) << png;
        // A window the editor really drew in has art everywhere, not one flat colour.
        std::set<std::uint32_t> colours;
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < cairo_image_surface_get_height(image); y += 3)
            for (int x = 0; x < cairo_image_surface_get_width(image); x += 3)
                colours.insert(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF);
        EXPECT_GT(colours.size(), 500u) << png << " looks empty";
        cairo_surface_destroy(image);
    }
}

TEST_F(EditorScreenshots, PagesDiffer) {
    // The settings page is really another page, not the main page again. The test makes its own
    // screenshots, so it needs no other test to have run before it.
    const std::string dir = ORV_TEST_OUTPUT_DIR;
    const std::string mainPng = dir + "/pages-differ-main.png", settingsPng = dir + "/pages-differ-settings.png";
    for (const auto& [png, page] : {std::make_pair(mainPng, "main"), std::make_pair(settingsPng, "settings")})
        ASSERT_NO_FATAL_FAILURE(shoot(ORV_BOREALIS_PATH, std::string("--page ") + page + " --seconds 0.3", png));
    cairo_surface_t* main = cairo_image_surface_create_from_png(mainPng.c_str());
    cairo_surface_t* settings = cairo_image_surface_create_from_png(settingsPng.c_str());
    ASSERT_EQ(cairo_surface_status(main), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_surface_status(settings), CAIRO_STATUS_SUCCESS);
    const int bytes = cairo_image_surface_get_stride(main) * cairo_image_surface_get_height(main);
    ASSERT_EQ(bytes, cairo_image_surface_get_stride(settings) * cairo_image_surface_get_height(settings));
    int differing = 0;
    for (int i = 0; i < bytes; ++i)
        differing += cairo_image_surface_get_data(main)[i] != cairo_image_surface_get_data(settings)[i];
    EXPECT_GT(differing, bytes / 4);
    cairo_surface_destroy(main);
    cairo_surface_destroy(settings);
}

// The main pages at 100 % and 200 % of one plug-in side by side in one image, for a person to
// compare.
void writeSideBySide(const std::string& small, const std::string& large, const std::string& out) {
    cairo_surface_t* a = cairo_image_surface_create_from_png(small.c_str());
    cairo_surface_t* b = cairo_image_surface_create_from_png(large.c_str());
    const int wa = cairo_image_surface_get_width(a), wb = cairo_image_surface_get_width(b);
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, wa + 16 + wb, cairo_image_surface_get_height(b));
    cairo_t* cr = cairo_create(sheet);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_surface(cr, a, 0, 0);
    cairo_paint(cr);
    cairo_set_source_surface(cr, b, wa + 16, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_EQ(cairo_surface_write_to_png(sheet, out.c_str()), CAIRO_STATUS_SUCCESS) << out;
    for (cairo_surface_t* s : {a, b, sheet}) cairo_surface_destroy(s);
}

// orv-host's --scale: both pages of both plug-ins at every scale, the window that much larger
// (kept in the build tree as editor-NAME-PAGE-PERCENT.png, and the main pages at 100 % and
// 200 % as side-by-side-NAME.png); a scale not offered is refused.
TEST_F(EditorScreenshots, EveryScaleGivesAWindowOfItsSize) {
    const std::string dir = ORV_TEST_OUTPUT_DIR;
    for (const int percent : {100, 125, 150, 175, 200}) {
        for (const Shot& s : kShots) {
            const std::string png = dir + "/editor-" + s.name() + "-" + s.page + "-" + std::to_string(percent) + ".png";
            ASSERT_NO_FATAL_FAILURE(shoot(s.plugin, "--scale " + std::to_string(percent) + " --page " + s.page + " --seconds 0.3", png));
            cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
            ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << png;
            EXPECT_EQ(cairo_image_surface_get_width(image), (s.width * percent + 99) / 100) << png;
            EXPECT_EQ(cairo_image_surface_get_height(image), (s.height * percent + 99) / 100) << png;
            cairo_surface_destroy(image);
        }
    }
    for (const char* name : {"borealis", "kestrel"})
        writeSideBySide(dir + "/editor-" + name + "-main-100.png", dir + "/editor-" + name + "-main-200.png",
                        dir + "/side-by-side-" + name + ".png");
    std::string out;
    EXPECT_NE(host(std::string("editor ") + ORV_BOREALIS_PATH + " --scale 130 --png /tmp/never.png", out), 0);
    EXPECT_NE(out.find("bad --scale"), std::string::npos) << out;
}

// The 200 % window is drawn at that size, not enlarged: against the 100 % window with every
// pixel doubled, a clear share of its pixels differs (the finer edges of text and art).
TEST_F(EditorScreenshots, TwoHundredPerCentIsDrawnNotEnlarged) {
    const std::string dir = ORV_TEST_OUTPUT_DIR;
    const std::string small = dir + "/sharp-100.png", large = dir + "/sharp-200.png";
    for (const auto& [png, percent] : {std::make_pair(small, "100"), std::make_pair(large, "200")})
        ASSERT_NO_FATAL_FAILURE(shoot(ORV_BOREALIS_PATH, std::string("--scale ") + percent + " --seconds 0.3", png));
    cairo_surface_t* a = cairo_image_surface_create_from_png(small.c_str());
    cairo_surface_t* b = cairo_image_surface_create_from_png(large.c_str());
    ASSERT_EQ(cairo_surface_status(a), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_surface_status(b), CAIRO_STATUS_SUCCESS);
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    ASSERT_EQ(cairo_image_surface_get_width(b), 2 * w);
    ASSERT_EQ(cairo_image_surface_get_height(b), 2 * h);
    const unsigned char* pa = cairo_image_surface_get_data(a);
    const unsigned char* pb = cairo_image_surface_get_data(b);
    const int sa = cairo_image_surface_get_stride(a), sb = cairo_image_surface_get_stride(b);
    long differing = 0;
    for (int y = 0; y < 2 * h; ++y)
        for (int x = 0; x < 2 * w; ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(pb[y * sb + 4 * x + c] - pa[(y / 2) * sa + 4 * (x / 2) + c]) > 24) {
                    ++differing;
                    break;
                }
    EXPECT_GT(differing, 4L * w * h / 50) << "of " << 4L * w * h << " pixels";  // more than 2 %
    cairo_surface_destroy(a);
    cairo_surface_destroy(b);
}

TEST_F(EditorScreenshots, NoDisplayIsAClearError) {
    std::string out;
    const std::string saved = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    const int status = host(std::string("editor ") + ORV_BOREALIS_PATH + " --png /tmp/never.png", out);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("cannot open the X display"), std::string::npos) << out;
}

}  // namespace
