// Putting a new set in place. At every moment, whatever fails and whenever
// the process dies, the listing at the new set's name either describes the
// table and data files beside it or is not there:
//   1. every name is checked: no folder, none of the guarded files, nothing
//      there at all unless the set is to be overwritten;
//   2. what is there is moved aside under fresh names, the listing first;
//   3. the new files are renamed in, the listing last;
//   4. what was moved aside is removed.
// A failure in 2 or 3 takes back what was done: the new files go back to
// their temporaries, and the old ones return, the listing last and only
// when all the others did.
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/SignalCleanup.h"
#include "repack/NewSet.h"
#include "textureset/DisplayText.h"

namespace marrowix {
namespace {

std::string ErrnoText(int error) {
    return std::generic_category().message(error);
}

// A name moved aside: where it was and where it is now.
struct Aside {
    std::string name;
    std::string backup;
};

// Renames `from` to a fresh name beside it, never over another file.
bool MoveAside(const platform::Folder& dir, const std::string& from, std::string* backup,
               int* error) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        *backup =
            from + ".old-" + std::to_string(platform::ProcessId()) + "-" + std::to_string(attempt);
        *error = dir.Rename(from, *backup, false);
        if (*error != EEXIST) {
            return *error == 0;
        }
    }
    return false;
}

}  // namespace

NewSet::~NewSet() {
    if (!m_committed) {
        listing.reset();
        modes.clear();
        folder = OutputFolder();  // closed first: an open folder cannot go on Windows
        RemoveMadeFolders(m_madeFolders);
    }
}

std::string NewSet::CheckTargets(std::vector<std::string>* existing) const {
    std::string names;
    for (const std::string& name : TargetNames()) {
        const std::string shown = "'" + DisplayPath(folder.PathOf(name)) + "'";
        platform::Kind kind = platform::Kind::kOther;
        if (folder.Handle().Inspect(name, false, &kind, nullptr) != 0) {
            continue;
        }
        if (kind == platform::Kind::kFolder) {
            return shown + " is a folder, where a file of the new set would go";
        }
        if (std::string refusal = guard.Refusal(folder, name); !refusal.empty()) {
            return shown + ": " + refusal;
        }
        existing->push_back(name);
        names += (names.empty() ? "" : ", ") + shown;
    }
    if (!existing->empty() && !overwrite) {
        return "a set is already there: " + names +
               "; it is kept (--overwrite replaces it, both encodings)";
    }
    return {};
}

std::string NewSet::Commit() {
    const SignalsHeld held;  // the renames are not cut in two by a signal
    std::vector<std::string> existing;
    if (std::string error = CheckTargets(&existing); !error.empty()) {
        return error + "; nothing was changed";
    }
    const platform::Folder& dir = folder.Handle();
    auto shown = [&](const std::string& name) {
        return "'" + DisplayPath(folder.PathOf(name)) + "'";
    };
    std::vector<Aside> aside;
    std::vector<PendingFile*> renamed;
    int step = 0;
    auto fails = [&](int* error) {
        *error = EIO;
        return renameFails && renameFails(step++);
    };
    // Takes back every step done; says where the old files are when they
    // could not all return.
    auto takeBack = [&]() -> std::string {
        int error = 0;
        bool newGone = true;
        for (auto it = renamed.rbegin(); it != renamed.rend(); ++it) {
            newGone = !fails(&error) && (*it)->Uncommit().empty() && newGone;
        }
        std::string kept;
        bool othersBack = newGone;
        for (std::size_t k = aside.size(); k-- > 0;) {
            const bool isListing = aside[k].name == m_listingName;
            if ((!isListing || othersBack) && !fails(&error) &&
                dir.Rename(aside[k].backup, aside[k].name, true) == 0) {
                continue;
            }
            othersBack = othersBack && isListing;
            kept += (kept.empty() ? "" : ", ") + shown(aside[k].backup);
        }
        if (kept.empty()) {
            return newGone ? "; nothing was changed" : "; the new files could not all be removed";
        }
        return "; no listing is in place, and the old set's files are kept as " + kept;
    };
    // The listing goes aside first, so that no old listing ever lies beside
    // new files.
    for (const std::string& name : existing) {
        Aside a{name, {}};
        if (int error = 0; fails(&error) || !MoveAside(dir, name, &a.backup, &error)) {
            return "cannot move " + shown(name) + " aside: " + ErrnoText(error) + takeBack();
        }
        aside.push_back(std::move(a));
    }
    std::vector<PendingFile*> order;
    for (ModeFiles& m : modes) {
        order.push_back(m.data.get());
        order.push_back(m.table.get());
    }
    order.push_back(listing.get());
    for (PendingFile* file : order) {
        int injected = 0;
        if (std::string error = fails(&injected) ? ErrnoText(injected) : file->Commit();
            !error.empty()) {
            return shown(file->Name()) + ": " + error + takeBack();
        }
        renamed.push_back(file);
    }
    m_committed = true;
    for (const Aside& a : aside) {
        dir.Remove(a.backup);
    }
    return {};
}

}  // namespace marrowix
