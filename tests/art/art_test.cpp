// Checks the embedded editor art of one plug-in (the test binary links exactly one art
// library): every bitmap the editor loads is present, decodes as PNG and has its exact size;
// strips show a different picture in every image; the meter scale matches the needle law.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "expected_art.h"
#include "platform/resources.h"
#include "platform/strip_rows.h"

namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Image = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct Reader {
    const unsigned char* data;
    std::size_t left;
};

cairo_status_t readBytes(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<Reader*>(closure);
    if (length > r->left) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data, length);
    r->data += length;
    r->left -= length;
    return CAIRO_STATUS_SUCCESS;
}

// Decodes an embedded bitmap; null when it is missing or not a readable PNG.
Image load(int id) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!orv::platform::findResource(id, data, size)) return nullptr;
    Reader reader{data, size};
    Image img(cairo_image_surface_create_from_png_stream(readBytes, &reader));
    if (cairo_surface_status(img.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    // A strip is stored with its frames' rows interleaved; put them back in strip order.
    cairo_surface_flush(img.get());
    orv::platform::restoreStripOrder(cairo_image_surface_get_data(img.get()), cairo_image_surface_get_height(img.get()),
                                     4 * static_cast<std::size_t>(cairo_image_surface_get_width(img.get())),
                                     static_cast<std::size_t>(cairo_image_surface_get_stride(img.get())),
                                     orv::platform::storedFrameTops(data, size));
    cairo_surface_mark_dirty(img.get());
    return img;
}

const std::vector<ExpectedBitmap>& expected() {
#if ORV_ART_KESTREL
    static const auto list = kestrelBitmaps();
#else
    static const auto list = borealisBitmaps();
#endif
    return list;
}

// Pixel (x, y) of an ARGB32 image as 0xAARRGGBB.
uint32_t pixel(cairo_surface_t* img, int x, int y) {
    cairo_surface_flush(img);
    const unsigned char* row =
        cairo_image_surface_get_data(img) + y * cairo_image_surface_get_stride(img);
    uint32_t p;
    std::memcpy(&p, row + 4 * x, 4);
    return p;
}

bool sameImage(cairo_surface_t* img, int frameHeight, int a, int b) {
    const int w = cairo_image_surface_get_width(img);
    for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < w; ++x)
            if (pixel(img, x, a * frameHeight + y) != pixel(img, x, b * frameHeight + y))
                return false;
    return true;
}

TEST(EditorArt, EveryBitmapIsEmbeddedAsPngOfItsSize) {
    for (const ExpectedBitmap& e : expected()) {
        SCOPED_TRACE(e.id);
        Image img = load(e.id);
        ASSERT_TRUE(img) << "missing or not a PNG";
        if (e.width == 0) continue;
        EXPECT_EQ(cairo_image_surface_get_width(img.get()), e.width);
        EXPECT_EQ(cairo_image_surface_get_height(img.get()), e.height);
        EXPECT_EQ(e.height % e.images, 0);
    }
}

TEST(EditorArt, UnknownNumbersAreNotFoundAndLeaveTheOutputsAlone) {
    for (int id : {0, -1, 18999, 19037, 19039, 19898, 20000}) {
        const unsigned char marker = 0;
        const unsigned char* data = &marker;
        std::size_t size = 77;
        EXPECT_FALSE(orv::platform::findResource(id, data, size)) << id;
        EXPECT_EQ(data, &marker);
        EXPECT_EQ(size, 77u);
    }
}

// Knob pointers follow the image index and switch states look different, so no two
// neighbouring images of a strip may be equal (and no two states of a switch at all).
TEST(EditorArt, EveryImageOfAStripShowsADifferentState) {
    for (const ExpectedBitmap& e : expected()) {
        if (e.images < 2) continue;
        SCOPED_TRACE(e.id);
        Image img = load(e.id);
        ASSERT_TRUE(img);
        const int h = e.height / e.images;
        for (int k = 0; k + 1 < e.images; ++k)
            EXPECT_FALSE(sameImage(img.get(), h, k, k + 1)) << "images " << k << " and " << k + 1;
        if (e.images <= 5) {
            for (int a = 0; a < e.images; ++a) {
                for (int b = a + 2; b < e.images; ++b) {
                    EXPECT_FALSE(sameImage(img.get(), h, a, b)) << "images " << a << " and " << b;
                }
            }
        }
    }
}

// Controls are drawn straight from their strips, so every bitmap must cover its area fully.
TEST(EditorArt, BitmapsAreOpaque) {
    for (const ExpectedBitmap& e : expected()) {
        SCOPED_TRACE(e.id);
        Image img = load(e.id);
        ASSERT_TRUE(img);
        const int w = cairo_image_surface_get_width(img.get());
        const int h = cairo_image_surface_get_height(img.get());
        int translucent = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) translucent += (pixel(img.get(), x, y) >> 24) != 0xff;
        EXPECT_EQ(translucent, 0);
    }
}

// The meter draws its needle at 150 - (v / 1.44)^1.2 * 120 degrees around the pivot
// (72, 82) of the face; the printed scale must agree with that law.
struct Ray {
    double level;
    double fromRadius, toRadius;
};

bool rayHits(cairo_surface_t* face, const Ray& ray, bool (*test)(uint32_t)) {
    const double pi = 3.14159265358979323846;
    const double a = 5 * pi / 6 - std::pow(ray.level / 1.44, 1.2) * 2 * pi / 3;
    for (double r = ray.fromRadius; r <= ray.toRadius; r += 0.25) {
        const int x = static_cast<int>(std::lround(72 + r * std::cos(a)));
        const int y = static_cast<int>(std::lround(82 - r * std::sin(a)));
        if (test(pixel(face, x, y))) return true;
    }
    return false;
}

bool isDark(uint32_t p) {
    const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
    return r + g + b < 3 * 110;
}
bool isRed(uint32_t p) {
    const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff;
    return r > 150 && r - g > 80;
}

TEST(EditorArt, MeterScaleMatchesTheNeedleLaw) {
    for (int id : {19028, 19031}) {
        SCOPED_TRACE(id);
        Image face = load(id);
        ASSERT_TRUE(face);
        const auto db = [](double d) { return std::pow(10.0, d / 20); };
        // Major marks at -20, -10 and 0 VU reach out beyond the scale line.
        for (double d : {-20.0, -10.0, 0.0})
            EXPECT_TRUE(rayHits(face.get(), {db(d), 66.5, 69}, isDark)) << d << " VU";
        // Between -12 and -11 VU there is no mark, only the dial.
        EXPECT_FALSE(rayHits(face.get(), {db(-11.5), 66.5, 69}, isDark));
        // The zone from 0 to +3 VU is red.
        for (double d : {0.5, 1.5, 2.5})
            EXPECT_TRUE(rayHits(face.get(), {db(d), 62, 65}, isRed)) << d << " VU";
        EXPECT_FALSE(rayHits(face.get(), {db(-3.5), 62, 65}, isRed));
    }
}

}  // namespace
