// On Windows the console's control handler runs on a thread of its own:
// it waits while a commit holds the events back, removes the registered
// files by their full paths, and lets the process end as it would have.
#include <windows.h>

#include <atomic>
#include <cwchar>

#include "platform/SignalCleanup.h"

namespace marrowix {
namespace {

constexpr int kSlots = 256;
constexpr std::size_t kPathChars = 1024;

struct Slot {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 to remove
    wchar_t path[kPathChars] = {};
};

Slot* Slots() {
    static Slot table[kSlots];
    return table;
}

std::atomic<int> g_holding{0};

BOOL WINAPI RemoveAll(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    while (g_holding.load() > 0) {
        Sleep(1);
    }
    Slot* table = Slots();
    for (int i = 0; i < kSlots; ++i) {
        if (table[i].state.load() == 2) {
            DeleteFileW(table[i].path);
        }
    }
    return FALSE;  // the default handler ends the process
}

}  // namespace

void RemoveTemporariesOnSignals() {
    SetConsoleCtrlHandler(RemoveAll, TRUE);
}

int RemoveOnSignals(const platform::Folder& folder, const std::string& name) {
    const std::wstring path = folder.Child(name);
    if (path.size() >= kPathChars) {
        return -1;
    }
    Slot* table = Slots();
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (table[i].state.compare_exchange_strong(expected, 1)) {
            std::wmemcpy(table[i].path, path.c_str(), path.size() + 1);
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
    ++g_holding;
}

SignalsHeld::~SignalsHeld() {
    --g_holding;
}

}  // namespace marrowix
