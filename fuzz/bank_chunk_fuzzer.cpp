// Bank chunks from a host: arbitrary bytes handed to effSetChunk of either engine.
//
// Input: one control byte, then the chunk. Control bits 0: which engine; 1-2: how the chunk
// is stamped (0 as given, 1 with the engine's identifier, 2 with it byte-reversed, so the
// other-byte-order path is reached at once); 3: hand exactly 2592 bytes (zero-padded or cut)
// instead of the input's own length.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    CPresetSystemEffect& fx = (control & 1) ? static_cast<CPresetSystemEffect&>(orvfuzz::kestrel())
                                            : static_cast<CPresetSystemEffect&>(orvfuzz::borealis());
    std::vector<std::uint8_t> chunk(data + 1, data + size);
    if (control & 8) chunk.resize(kBankChunkSize, 0);
    const int stamp = (control >> 1) & 3;
    if (stamp && chunk.size() >= 8) {
        std::int32_t id = fx.getUniqueID();
        if (stamp == 2) swapWord(&id);
        std::memcpy(chunk.data() + 4, &id, 4);
    }

    // The host keeps its own copy; a null pointer stands for an empty one.
    void* bytes = chunk.empty() ? nullptr : chunk.data();
    const VstIntPtr result = fx.dispatcher(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), bytes, 0.0f);
    if (result != 0 && result != -1) orvfuzz::fail("setChunk answered neither 0 nor -1");
    if (chunk.size() != static_cast<std::size_t>(kBankChunkSize) && result == 0)
        orvfuzz::fail("a chunk of the wrong size was taken");

    // What was taken comes back out as a well-formed native chunk.
    void* out = nullptr;
    if (fx.dispatcher(effGetChunk, 0, 0, &out, 0.0f) != kBankChunkSize || !out) orvfuzz::fail("getChunk failed");
    std::int32_t word;
    std::memcpy(&word, static_cast<std::uint8_t*>(out) + 4, 4);
    if (word != fx.getUniqueID()) orvfuzz::fail("getChunk stamped another identifier");
    std::memcpy(&word, static_cast<std::uint8_t*>(out) + 12, 4);
    if (word < 0 || word >= kNumPresets) orvfuzz::fail("current preset out of range");
    orvfuzz::checkEngine(fx);
    return 0;
}
