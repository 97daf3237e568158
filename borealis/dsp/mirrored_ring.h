#pragma once
// A power-of-two ring of doubles whose every value is stored twice, at i and i + Size, so that
// the newest Size values can always be read as one contiguous array: filters then run plain
// dot products over memory instead of wrapping indices inside their inner loops.
#include <cstddef>
#include <cstring>

namespace orv::dsp {

template <int Size>
class MirroredRing {
    static_assert(Size > 0 && (Size & (Size - 1)) == 0, "ring size must be a power of two");

public:
    static constexpr int kSize = Size;
    static constexpr unsigned kMask = Size - 1;

    MirroredRing() noexcept { clear(); }

    // All values zero; the next value written goes to position 0.
    void clear() noexcept {
        for (double& v : data_) v = 0.0;
        write_ = kMask;
    }

    void push(double x) noexcept {
        write_ = (write_ + 1) & kMask;
        data_[write_] = x;
        data_[write_ + Size] = x;
    }

    // push(values[0]) .. push(values[count - 1]) in one pass; count in 0 .. Size.
    void push(const double* values, int count) noexcept {
        const unsigned start = (write_ + 1) & kMask;
        const int first = count < static_cast<int>(Size - start) ? count : static_cast<int>(Size - start);
        double* head = data_ + start;
        for (int i = 0; i < first; ++i) head[i] = head[i + Size] = values[i];
        for (int i = first; i < count; ++i) data_[i - first] = data_[i - first + Size] = values[i];
        write_ = (write_ + static_cast<unsigned>(count)) & kMask;
    }

    // The value written `age` pushes ago (0 = newest); age in 0 .. Size - 1.
    double ago(int age) const noexcept { return data_[write_ + Size - static_cast<unsigned>(age)]; }

    // The newest `length` values, oldest first, contiguous; length in 1 .. Size.
    const double* newest(int length) const noexcept {
        return data_ + write_ + Size + 1 - static_cast<unsigned>(length);
    }

    // A delay line in place: pushes buffer[0 .. count - 1] in order, and replaces each with the
    // value pushed `delay` pushes before it (delay in 1 .. Size - 1); the same as push(x) then
    // ago(delay) for each value. Copies whole runs when the values that come out are all
    // older than the block (count <= delay, and both fit in the ring together).
    void pushDelayed(double* buffer, int count, int delay) noexcept {
        if (count <= 0) return;
        if (count > delay || count + delay > Size) {
            for (int i = 0; i < count; ++i) {
                push(buffer[i]);
                buffer[i] = ago(delay);
            }
            return;
        }
        // The values that come out, oldest first; the block's pushes land on ring slots these
        // do not use, since count + delay <= Size.
        const double* out = newest(delay);
        const unsigned start = (write_ + 1) & kMask;
        const unsigned first = count < static_cast<int>(Size - start) ? static_cast<unsigned>(count) : Size - start;
        const unsigned rest = static_cast<unsigned>(count) - first;
        std::memcpy(data_ + start, buffer, first * sizeof(double));
        std::memcpy(data_ + start + Size, buffer, first * sizeof(double));
        if (rest) {
            std::memcpy(data_, buffer + first, rest * sizeof(double));
            std::memcpy(data_ + Size, buffer + first, rest * sizeof(double));
        }
        write_ = (write_ + static_cast<unsigned>(count)) & kMask;
        std::memcpy(buffer, out, static_cast<unsigned>(count) * sizeof(double));
    }

private:
    alignas(64) double data_[2 * Size];
    unsigned write_ = kMask;
};

}  // namespace orv::dsp

namespace orv::dsp {

// The stereo form of MirroredRing: each entry is a (left, right) pair of doubles, stored
// interleaved and twice, so a filter can run both channels in one pass over contiguous,
// 16-byte aligned pairs. `Margin` pairs of zeros lie before and after the stored pairs, so a
// filter may read up to Margin pairs beyond either end of what newest() returns (values it
// multiplies by zero) without leaving the ring's memory.
template <int Size, int Margin = 0>
class MirroredPairRing {
    static_assert(Size > 0 && (Size & (Size - 1)) == 0, "ring size must be a power of two");
    static_assert(Margin >= 0 && Margin % 2 == 0, "the margin keeps the pairs 32-byte aligned");

public:
    static constexpr int kSize = Size;
    static constexpr int kMargin = Margin;
    static constexpr unsigned kMask = Size - 1;

    MirroredPairRing() noexcept { clear(); }

    void clear() noexcept {
        for (double& v : store_) v = 0.0;
        write_ = kMask;
    }

    void push(double left, double right) noexcept {
        write_ = (write_ + 1) & kMask;
        double* a = pairs() + 2 * write_;
        double* b = a + 2 * Size;
        a[0] = b[0] = left;
        a[1] = b[1] = right;
    }

    // The pair written `age` pushes ago (0 = newest); age in 0 .. Size - 1.
    double ago(int age, int channel) const noexcept {
        return pairs()[2 * (write_ + Size - static_cast<unsigned>(age)) + channel];
    }

    // The newest `length` pairs, oldest first, contiguous; length in 1 .. Size.
    const double* newest(int length) const noexcept {
        return pairs() + 2 * (write_ + Size + 1 - static_cast<unsigned>(length));
    }

private:
    // The stored pairs begin after the leading margin.
    double* pairs() noexcept { return store_ + 2 * Margin; }
    const double* pairs() const noexcept { return store_ + 2 * Margin; }

    alignas(64) double store_[4 * Size + 4 * Margin];
    unsigned write_ = kMask;
};

}  // namespace orv::dsp
