#pragma once
// Carries parameter changes from whichever thread sets them (the host's audio thread for
// automation, the interface thread for edits and presets) to the editor, which takes them on the
// interface thread in its idle pass. Publishing never locks, allocates or touches the editor's
// window: every index has its own atomic value and a bit in a "changed" mask, so a burst of
// changes to one index between two idle passes costs the editor a single update with the
// latest value. The editor's two page switches (indices 56 and 57) are counted instead, since
// each one swaps the pages.
#include <atomic>
#include <cstdint>

class EditorValueFeed {
public:
    static constexpr int kSlots = 64;
    static constexpr int kMainPageSwitch = 56;
    static constexpr int kSettingsPageSwitch = 57;

    EditorValueFeed() {
        for (auto& v : values_) v.store(0.0f, std::memory_order_relaxed);
    }

    // Any thread: index changed to value, or a page switch. Indices outside 0..63 are ignored.
    void publish(int index, float value) {
        if (index == kMainPageSwitch || index == kSettingsPageSwitch) {
            pageSwitches_.fetch_add(1, std::memory_order_release);
            return;
        }
        if (index < 0 || index >= kSlots) return;
        values_[index].store(value, std::memory_order_relaxed);
        // Release: whoever sees the bit also sees the value stored before it.
        changed_.fetch_or(std::uint64_t{1} << index, std::memory_order_release);
    }

    struct Taken {
        std::uint64_t changed = 0;    // which entries of `values` are new
        std::uint32_t pageSwitches = 0;
        float values[kSlots];
    };

    // Interface thread: what arrived since the last take. False when nothing did. A value
    // published while this runs is either taken now or stays pending for the next call; the
    // latest value is never lost.
    bool take(Taken& out) {
        out.changed = 0;
        out.pageSwitches = 0;
        if (changed_.load(std::memory_order_relaxed) == 0 && pageSwitches_.load(std::memory_order_relaxed) == 0)
            return false;
        out.changed = changed_.exchange(0, std::memory_order_acquire);
        out.pageSwitches = pageSwitches_.exchange(0, std::memory_order_acquire);
        for (int i = 0; i < kSlots; ++i)
            if (out.changed & (std::uint64_t{1} << i)) out.values[i] = values_[i].load(std::memory_order_relaxed);
        return out.changed != 0 || out.pageSwitches != 0;
    }

    // Interface thread: forgets what is pending (an editor that opens reads every value itself).
    void discard() {
        changed_.store(0, std::memory_order_relaxed);
        pageSwitches_.store(0, std::memory_order_relaxed);
    }

private:
    std::atomic<float> values_[kSlots];
    std::atomic<std::uint64_t> changed_{0};
    std::atomic<std::uint32_t> pageSwitches_{0};
};
