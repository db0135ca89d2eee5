// Files a write has made and not yet committed, removed when the process is
// ended by SIGINT, SIGTERM or SIGHUP (on Windows by Ctrl+C, Ctrl+Break or
// the console closing), so that an interrupted write leaves no temporaries
// behind; and holding those back while a set's files are renamed into
// place, so that a commit is never cut in two by them.
//
// On Linux the handler only calls unlinkat, signal and raise, which are
// safe in a signal handler; the table it walks is fixed in size and its
// slots are claimed and freed with atomics.
#pragma once

#include <string>

#include "platform/Files.h"

namespace marrowix {

// Installs the handler that removes every registered file, then ends the
// process as the signal would have. A signal that was ignored when the
// program started stays ignored.
void RemoveTemporariesOnSignals();

// Registers `name` inside `folder` for removal on those signals. Returns
// the slot to free with ForgetOnSignals, or -1 when the table is full or
// the name too long (the file is then simply not removed by a signal).
int RemoveOnSignals(const platform::Folder& folder, const std::string& name);
void ForgetOnSignals(int slot);

// Holds those signals back in this thread while it lives; one that arrived
// meanwhile is acted on when it ends.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    unsigned char m_old[128] = {};  // the thread's signal mask before
};

}  // namespace marrowix
