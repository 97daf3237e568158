#pragma once
// A lock-free ring of samples between exactly one writing thread and one reading thread, as
// between the file reader and the audio callback. Its length is a power of two and positions
// are masked; the two positions only grow, each written by one side and read by the other
// with acquire/release ordering, so neither side ever waits or locks. Memory is taken once,
// when the ring is made.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

namespace orvhost {

template <typename T>
class SampleRing {
public:
    // Holds at least `minimumSamples` (rounded up to a power of two).
    explicit SampleRing(std::size_t minimumSamples) {
        std::size_t size = 1;
        while (size < minimumSamples) size <<= 1;
        buffer.assign(size, T());
        mask = size - 1;
    }

    std::size_t capacity() const { return mask + 1; }
    // Samples the reader can take now (seen from the reader's side).
    std::size_t readable() const {
        return writePos.load(std::memory_order_acquire) - readPos.load(std::memory_order_relaxed);
    }
    // Room the writer has now (seen from the writer's side).
    std::size_t writable() const {
        return capacity() - (writePos.load(std::memory_order_relaxed) - readPos.load(std::memory_order_acquire));
    }

    // Writer side: copies up to `count` samples in; returns how many fitted.
    std::size_t write(const T* samples, std::size_t count) {
        const std::size_t w = writePos.load(std::memory_order_relaxed);
        const std::size_t n = std::min(count, writable());
        const std::size_t first = std::min(n, capacity() - (w & mask));
        std::copy(samples, samples + first, buffer.data() + (w & mask));
        std::copy(samples + first, samples + n, buffer.data());
        writePos.store(w + n, std::memory_order_release);
        return n;
    }

    // Reader side: copies up to `count` samples out; returns how many there were.
    std::size_t read(T* samples, std::size_t count) {
        const std::size_t r = readPos.load(std::memory_order_relaxed);
        const std::size_t n = std::min(count, readable());
        const std::size_t first = std::min(n, capacity() - (r & mask));
        std::copy(buffer.data() + (r & mask), buffer.data() + (r & mask) + first, samples);
        std::copy(buffer.data(), buffer.data() + (n - first), samples + first);
        readPos.store(r + n, std::memory_order_release);
        return n;
    }

private:
    std::vector<T> buffer;
    std::size_t mask = 0;
    std::atomic<std::size_t> writePos{0};
    std::atomic<std::size_t> readPos{0};
};

}  // namespace orvhost
