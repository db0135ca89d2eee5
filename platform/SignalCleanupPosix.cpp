#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/CleanupTable.h"
#include "platform/SignalCleanup.h"

namespace marrowix {
namespace {

using Table = platform::CleanupTable<char, 256>;

// Constant-initialized: ready before any handler can run.
constinit Table g_files;

Table& Files() {
    return g_files;
}

void RemoveAll(int sig) {
    Files().RemoveAll([](int folder, const char* name) { ::unlinkat(folder, name, 0); });
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
    return Files().Claim(folder.Native(), name.c_str(), name.size());
}

void ForgetOnSignals(int slot) {
    Files().Free(slot);
}

SignalsHeld::SignalsHeld() {
    const sigset_t set = Held();
    ::pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(m_old));
}

SignalsHeld::~SignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(m_old), nullptr);
}

}  // namespace marrowix
