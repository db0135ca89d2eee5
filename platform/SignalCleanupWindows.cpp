// On Windows the console's control handler runs on a thread of its own:
// it waits while a commit holds the events back, removes the registered
// files by their full paths, and lets the process end as it would have.
#include <windows.h>

#include <atomic>

#include "platform/CleanupTable.h"
#include "platform/SignalCleanup.h"

namespace marrowix {
namespace {

using Table = platform::CleanupTable<wchar_t, 1024>;

// Constant-initialized: ready before any handler can run.
constinit Table g_files;

Table& Files() {
    return g_files;
}

std::atomic<int> g_holding{0};

BOOL WINAPI RemoveAll(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    while (g_holding.load() > 0) {
        Sleep(1);
    }
    Files().RemoveAll([](void*, const wchar_t* path) { DeleteFileW(path); });
    return FALSE;  // the default handler ends the process
}

}  // namespace

void RemoveTemporariesOnSignals() {
    SetConsoleCtrlHandler(RemoveAll, TRUE);
}

int RemoveOnSignals(const platform::Folder& folder, const std::string& name) {
    const std::wstring path = folder.Child(name);
    return Files().Claim(nullptr, path.c_str(), path.size());
}

void ForgetOnSignals(int slot) {
    Files().Free(slot);
}

SignalsHeld::SignalsHeld() {
    ++g_holding;
}

SignalsHeld::~SignalsHeld() {
    --g_holding;
}

}  // namespace marrowix
