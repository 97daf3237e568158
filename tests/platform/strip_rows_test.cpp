// Strips stored with their frames' rows interleaved: the row order, and a frame-tops chunk that
// lies about the image.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/strip_rows.h"

namespace {

using orv::platform::restoreStripOrder;
using orv::platform::storedFrameTops;
using orv::platform::storedRowOrder;

void appendBigEndian(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void appendChunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& data,
                 std::uint32_t length) {
    appendBigEndian(png, length);
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    appendBigEndian(png, 0);  // the CRC is not checked here
}

// The start of a PNG of `height` rows: signature, header, then a frame-tops chunk whose length
// field says `length` (its real length unless a test makes it lie) and an image data chunk.
std::vector<unsigned char> pngWithTops(std::uint32_t height, const std::vector<std::uint32_t>& tops,
                                       long long length = -1) {
    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> header;
    appendBigEndian(header, 4);
    appendBigEndian(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    appendChunk(png, "IHDR", header, 13);
    std::vector<unsigned char> data;
    for (std::uint32_t t : tops) appendBigEndian(data, t);
    appendChunk(png, "orFs", data, length < 0 ? static_cast<std::uint32_t>(data.size()) : static_cast<std::uint32_t>(length));
    appendChunk(png, "IDAT", {0}, 1);
    return png;
}

TEST(StripRows, FramesOfUnequalHeightAreInterleavedAndPutBack) {
    // Three frames of 3, 2 and 3 rows, as 1.25 x a 2-row frame might round.
    const std::vector<int> tops = {0, 3, 5, 8};
    EXPECT_EQ(storedRowOrder(tops), (std::vector<int>{0, 3, 5, 1, 4, 6, 2, 7}));
    // Rows of 2 bytes, 3 bytes apart; the byte past each row is never touched.
    std::vector<unsigned char> pixels(8 * 3, 0xee);
    const std::vector<int> order = storedRowOrder(tops);
    for (int i = 0; i < 8; ++i) pixels[i * 3] = pixels[i * 3 + 1] = static_cast<unsigned char>(order[i]);
    restoreStripOrder(pixels.data(), 8, 2, 3, tops);
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(pixels[y * 3], y);
        EXPECT_EQ(pixels[y * 3 + 1], y);
        EXPECT_EQ(pixels[y * 3 + 2], 0xee);
    }
}

TEST(StripRows, TopsAreReadOnlyWhenTheyFitTheImage) {
    EXPECT_EQ(storedFrameTops(pngWithTops(8, {0, 3, 5, 8}).data(), pngWithTops(8, {0, 3, 5, 8}).size()),
              (std::vector<int>{0, 3, 5, 8}));
    const std::vector<std::vector<std::uint32_t>> lies = {
        {0, 3, 5, 9},         // past the last row
        {0, 3, 5, 7},         // short of it
        {1, 3, 8},            // not from the first row
        {0, 5, 3, 8},         // not rising
        {0, 3, 3, 8},         // an empty frame
        {8},                  // no frame at all
        {0xffffffffu, 8},     // a top that would wrap
    };
    for (const auto& tops : lies) {
        const std::vector<unsigned char> png = pngWithTops(8, tops);
        EXPECT_TRUE(storedFrameTops(png.data(), png.size()).empty()) << tops.size();
    }
    // A length not a whole number of tops, and one that runs past the end of the data.
    std::vector<unsigned char> png = pngWithTops(8, {0, 4, 8}, 10);
    EXPECT_TRUE(storedFrameTops(png.data(), png.size()).empty());
    png = pngWithTops(8, {0, 4, 8}, 0x7ffffff0);
    EXPECT_TRUE(storedFrameTops(png.data(), png.size()).empty());
    // Cut short anywhere, the data gives no tops and is never read past its end.
    const std::vector<unsigned char> whole = pngWithTops(8, {0, 4, 8});
    for (std::size_t n = 0; n + 1 < whole.size() - 13; ++n) {
        std::vector<unsigned char> cut(whole.begin(), whole.begin() + n);
        EXPECT_TRUE(storedFrameTops(cut.data(), cut.size()).empty()) << n;
    }
    EXPECT_TRUE(storedFrameTops(nullptr, 100).empty());
    // Tops that do not fit the decoded rows leave the pixels alone.
    std::vector<unsigned char> pixels = {1, 2, 3, 4};
    restoreStripOrder(pixels.data(), 4, 1, 1, {0, 2, 5});
    EXPECT_EQ(pixels, (std::vector<unsigned char>{1, 2, 3, 4}));
}

}  // namespace
