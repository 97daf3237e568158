#pragma once
// Carries normalised parameter values from whichever thread sets them to the audio thread,
// without a lock and without allocating.
//
// Every value has its own atomic slot and a bit in a "changed" mask. The audio thread takes the
// changed values over at the start of a block, so a block always runs on one set of settings.
// A whole set of values (a preset or a bank being loaded) is bracketed by beginSet and endSet:
// while a set is being written, or when one was written while the audio thread was reading,
// the audio thread keeps its settings for one more block and takes the whole set next time.
#include <atomic>
#include <cstdint>

class ParameterHandover {
public:
    static constexpr int kSlots = 64;

    ParameterHandover() {
        for (auto& v : values_) v.store(0.0, std::memory_order_relaxed);
    }

    // Any thread: a new value for one slot (ignored outside 0..63).
    void publish(int index, double value) {
        if (index < 0 || index >= kSlots) return;
        values_[index].store(value, std::memory_order_seq_cst);
        changed_.fetch_or(std::uint64_t{1} << index, std::memory_order_seq_cst);
    }

    // The thread that loads a preset or a bank, around its values. Sets may nest.
    void beginSet() {
        if (depth_.fetch_add(1, std::memory_order_seq_cst) == 0) version_.fetch_add(1, std::memory_order_seq_cst);
    }
    void endSet() {
        if (depth_.fetch_sub(1, std::memory_order_seq_cst) == 1) {
            wholeSet_.store(true, std::memory_order_seq_cst);
            version_.fetch_add(1, std::memory_order_seq_cst);
        }
    }

    struct Taken {
        std::uint64_t changed = 0;  // which slots of `values` are new
        bool wholeSet = false;      // a preset or bank was loaded since the last take-over
        double values[kSlots];
    };

    // Audio thread (or suspend and resume): the values changed since the last call, all from one
    // consistent state. Returns false, and keeps everything pending, when nothing changed or a
    // set is being written right now.
    bool take(Taken& out) {
        if (changed_.load(std::memory_order_seq_cst) == 0) return false;
        const std::uint32_t before = version_.load(std::memory_order_seq_cst);
        if (before & 1u) return false;
        const std::uint64_t changed = changed_.exchange(0, std::memory_order_seq_cst);
        const bool whole = wholeSet_.exchange(false, std::memory_order_seq_cst);
        for (int i = 0; i < kSlots; ++i)
            if (changed & (std::uint64_t{1} << i)) out.values[i] = values_[i].load(std::memory_order_seq_cst);
        if (version_.load(std::memory_order_seq_cst) != before) {
            // A set began meanwhile: what was read may be half of it. Try again next block.
            changed_.fetch_or(changed, std::memory_order_seq_cst);
            if (whole) wholeSet_.store(true, std::memory_order_seq_cst);
            return false;
        }
        out.changed = changed;
        out.wholeSet = whole;
        return changed != 0;
    }

private:
    std::atomic<double> values_[kSlots];
    std::atomic<std::uint64_t> changed_{0};
    std::atomic<std::uint32_t> version_{0};  // odd while a set is being written
    std::atomic<int> depth_{0};
    std::atomic<bool> wholeSet_{false};
};
