// Files a write has made and not yet committed, removed when the process is
// ended by SIGINT, SIGTERM or SIGHUP, so that an interrupted write leaves no
// temporaries behind; and holding those signals back while a set's files
// are renamed into place, so that a commit is never cut in two by them.
//
// The handler only calls unlinkat, signal and raise, which are safe in a
// signal handler; the table it walks is fixed in size and its table are
// claimed and freed with atomics.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace marrowix {

namespace signal_cleanup {

constexpr int kSlots = 256;
constexpr std::size_t kNameBytes = 256;

struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 to remove
    int folder = -1;
    int flags = 0;
    char name[kNameBytes] = {};
};

inline Slot* Slots() {
    static Slot table[kSlots];
    return table;
}

inline void RemoveAll(int sig) {
    Slot* table = Slots();
    for (int i = 0; i < kSlots; ++i) {
        if (table[i].state.load() == 2) {
            ::unlinkat(table[i].folder, table[i].name, table[i].flags);
        }
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace signal_cleanup

// Installs the handler that removes every registered file on SIGINT,
// SIGTERM and SIGHUP, then ends the process by the same signal. A signal
// that was ignored when the program started stays ignored.
inline void RemoveTemporariesOnSignals() {
    for (const int sig : signal_cleanup::kSignals) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = signal_cleanup::RemoveAll;
        sigemptyset(&action.sa_mask);
        for (const int other : signal_cleanup::kSignals) {
            sigaddset(&action.sa_mask, other);
        }
        ::sigaction(sig, &action, nullptr);
    }
}

// Registers `name` inside the folder open as `folder` for removal on those
// signals (`flags` AT_REMOVEDIR for a folder). Returns the slot to free
// with ForgetOnSignals, or -1 when the table is full or the name too long
// (the file is then simply not removed by a signal).
inline int RemoveOnSignals(int folder, const char* name, int flags = 0) {
    if (std::strlen(name) >= signal_cleanup::kNameBytes) {
        return -1;
    }
    signal_cleanup::Slot* table = signal_cleanup::Slots();
    for (int i = 0; i < signal_cleanup::kSlots; ++i) {
        int expected = 0;
        if (table[i].state.compare_exchange_strong(expected, 1)) {
            table[i].folder = folder;
            table[i].flags = flags;
            std::strcpy(table[i].name, name);
            table[i].state.store(2);
            return i;
        }
    }
    return -1;
}

inline void ForgetOnSignals(int slot) {
    if (slot >= 0) {
        signal_cleanup::Slots()[slot].state.store(0);
    }
}

// Holds SIGINT, SIGTERM and SIGHUP back in this thread while it lives;
// one that arrived meanwhile is delivered when it ends.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (const int sig : signal_cleanup::kSignals) {
            sigaddset(&set, sig);
        }
        ::pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_old{};
};

}  // namespace marrowix
