// The table of files to remove that both systems' signal handlers walk:
// fixed in size, its slots claimed and freed with atomics, so that a
// handler may read it at any moment without a lock or an allocation.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>

#include "platform/Files.h"

namespace marrowix::platform {

template <typename Char, std::size_t kChars>
class CleanupTable {
public:
    static constexpr int kSlots = 256;

    // The slot holding `name` (inside `folder`), or -1 when the table is
    // full or the name too long.
    int Claim(NativeHandle folder, const Char* name, std::size_t length) {
        if (length >= kChars) {
            return -1;
        }
        for (int i = 0; i < kSlots; ++i) {
            int expected = kFree;
            if (m_slots[i].state.compare_exchange_strong(expected, kFilling)) {
                m_slots[i].folder = folder;
                std::memcpy(m_slots[i].name, name, (length + 1) * sizeof(Char));
                m_slots[i].state.store(kToRemove);
                return i;
            }
        }
        return -1;
    }

    void Free(int slot) {
        if (slot >= 0) {
            m_slots[slot].state.store(kFree);
        }
    }

    // Calls remove(folder, name) for every file claimed.
    template <typename Remove>
    void RemoveAll(Remove remove) {
        for (int i = 0; i < kSlots; ++i) {
            if (m_slots[i].state.load() == kToRemove) {
                remove(m_slots[i].folder, m_slots[i].name);
            }
        }
    }

private:
    static constexpr int kFree = 0;
    static constexpr int kFilling = 1;
    static constexpr int kToRemove = 2;
    struct Slot {
        std::atomic<int> state{kFree};
        NativeHandle folder{};
        Char name[kChars] = {};
    };
    Slot m_slots[kSlots];
};

}  // namespace marrowix::platform
