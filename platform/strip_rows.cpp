#include "platform/strip_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orv::platform {
namespace {

std::uint32_t bigEndian(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool risingFromZeroTo(const std::vector<int>& tops, int height) {
    if (tops.size() < 2 || tops.front() != 0 || tops.back() != height) return false;
    for (std::size_t k = 1; k < tops.size(); ++k)
        if (tops[k] <= tops[k - 1]) return false;
    return true;
}

}  // namespace

std::vector<int> storedRowOrder(const std::vector<int>& tops) {
    std::vector<int> order;
    if (tops.size() < 2) return order;
    int tallest = 0;
    for (std::size_t k = 0; k + 1 < tops.size(); ++k) tallest = std::max(tallest, tops[k + 1] - tops[k]);
    for (int r = 0; r < tallest; ++r)
        for (std::size_t k = 0; k + 1 < tops.size(); ++k)
            if (tops[k] + r < tops[k + 1]) order.push_back(tops[k] + r);
    return order;
}

std::vector<int> storedFrameTops(const unsigned char* png, std::size_t size) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!png || size < 33 || std::memcmp(png, signature, 8) != 0 || std::memcmp(png + 12, "IHDR", 4) != 0)
        return {};
    const std::uint32_t height = bigEndian(png + 20);
    if (height == 0 || height > 0x7fffffff) return {};
    // Chunks: length, type, data, CRC. The tops come before the image data.
    std::size_t at = 8;
    while (size - at >= 12) {
        const std::uint32_t length = bigEndian(png + at);
        if (length > size - at - 12) return {};
        const unsigned char* type = png + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return {};
        if (std::memcmp(type, kFrameTopsChunk, 4) == 0) {
            if (length % 4 != 0 || length / 4 > height + 1) return {};
            std::vector<int> tops;
            for (std::uint32_t i = 0; i < length; i += 4) {
                const std::uint32_t top = bigEndian(type + 4 + i);
                if (top > height) return {};
                tops.push_back(static_cast<int>(top));
            }
            return risingFromZeroTo(tops, static_cast<int>(height)) ? tops : std::vector<int>();
        }
        at += 12 + length;
    }
    return {};
}

void restoreStripOrder(unsigned char* pixels, int rows, std::size_t rowBytes, std::size_t stride,
                       const std::vector<int>& tops) {
    if (!pixels || rows <= 0 || rowBytes > stride || !risingFromZeroTo(tops, rows)) return;
    const std::vector<int> order = storedRowOrder(tops);
    std::vector<unsigned char> stored(pixels, pixels + (rows - 1) * stride + rowBytes);
    for (int i = 0; i < rows; ++i)
        std::memcpy(pixels + order[i] * stride, stored.data() + i * stride, rowBytes);
}

}  // namespace orv::platform
