#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/SignalCleanup.h"

namespace marrowix {
namespace {

constexpr int kSlots = 256;
constexpr std::size_t kNameBytes = 256;

struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 to remove
    int folder = -1;
    char name[kNameBytes] = {};
};

Slot* Slots() {
    static Slot table[kSlots];
    return table;
}

void RemoveAll(int sig) {
    Slot* table = Slots();
    for (int i = 0; i < kSlots; ++i) {
        if (table[i].state.load() == 2) {
            ::unlinkat(table[i].folder, table[i].name, 0);
        }
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t Held() {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : kSignals) {
        sigaddset(&set, sig);
    }
    return set;
}

static_assert(sizeof(sigset_t) <= 128, "room for the old mask in SignalsHeld");

}  // namespace

void RemoveTemporariesOnSignals() {
    for (const int sig : kSignals) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = RemoveAll;
        action.sa_mask = Held();
        ::sigaction(sig, &action, nullptr);
    }
}

int RemoveOnSignals(const platform::Folder& folder, const std::string& name) {
    if (name.size() >= kNameBytes) {
        return -1;
    }
    Slot* table = Slots();
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (table[i].state.compare_exchange_strong(expected, 1)) {
            table[i].folder = folder.Native();
            std::memcpy(table[i].name, name.c_str(), name.size() + 1);
            table[i].state.store(2);
            return i;
        }
    }
    return -1;
}

void ForgetOnSignals(int slot) {
    if (slot >= 0) {
        Slots()[slot].state.store(0);
    }
}

SignalsHeld::SignalsHeld() {
    const sigset_t set = Held();
    ::pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(m_old));
}

SignalsHeld::~SignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(m_old), nullptr);
}

}  // namespace marrowix
