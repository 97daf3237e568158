#pragma once
// Strips of frames (a knob's positions, a switch's states) are embedded with their rows stored
// frame by frame interleaved: row 0 of every frame, then row 1 of every frame, and so on. The
// frames differ only in a few pixels, so each stored row nearly repeats the one above it, which
// the PNG row filters and deflate take to almost nothing; in strip order the repeats lie a whole
// frame apart, beyond deflate's reach at the larger editor sizes. A private PNG chunk holds the
// frames' top rows; an image without it is stored in strip order.
#include <cstddef>
#include <vector>

namespace orv::platform {

// The type of the chunk that holds the frame tops: ancillary, private, safe to copy, so that
// any PNG reader that does not know it skips it.
constexpr char kFrameTopsChunk[] = "orFs";

// For each stored row, the strip row it holds, when rows are stored frame by frame interleaved
// for frames starting at rows `tops` (a rising list from row 0, ending with the image's height).
std::vector<int> storedRowOrder(const std::vector<int>& tops);

// The frame tops a PNG's chunk gives, checked against the image's own height: empty when the
// PNG has no such chunk or the chunk is not a rising list from row 0 to the height.
std::vector<int> storedFrameTops(const unsigned char* png, std::size_t size);

// Puts the rows of an image read from a PNG with frame tops `tops` back in strip order: `rows`
// rows of `rowBytes` bytes each, `stride` bytes apart. Leaves the pixels alone when the tops do
// not fit the rows.
void restoreStripOrder(unsigned char* pixels, int rows, std::size_t rowBytes, std::size_t stride,
                       const std::vector<int>& tops);

}  // namespace orv::platform
