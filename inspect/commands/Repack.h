// What --replace, --replace-from and --pack share: the repack options their
// arguments make, and the report of what went into the new set.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "inspect/commands/Commands.h"
#include "repack/SetWriter.h"

namespace marrowix::inspect {

// What happened to one entry of --replace-from that was not written.
struct NotWritten {
    std::size_t index = 0;
    std::string path;
    std::string refused;  // empty: unchanged
    std::string missing;  // not read: why (a missing image, a dangling link)
};

// The options of a write in `mode` (none: the encodings the source has, for
// a pack both), with a progress line on `io.err` when it is a terminal.
RepackOptions OptionsFor(const RepackArguments& arguments, std::optional<TextureMode> mode,
                         const Io& io);

// The one encoding a replacement writes (--mode's), or none: those the
// source set has.
inline std::optional<TextureMode> WrittenMode(const SetArgument& set) {
    return set.modeGiven ? std::optional(set.mode) : std::nullopt;
}

// Reads the set a replacement starts from, once: the same reading names,
// pairs and writes. False, said on `io.err`, when it cannot be read whole.
bool OpenSource(const SetArgument& set, SourceSet* source, Io& io);

// Reports the write: every texture written ("replaced " or "packed " and
// `title` of its index), then the entries not written; as JSON with
// --json. The exit code: 1 (said) when the write failed or an image was
// refused.
int Report(const RepackResult& result, const std::vector<NotWritten>& notWritten, const char* verb,
           const std::function<std::string(std::size_t)>& title, bool json, Io& io);

}  // namespace marrowix::inspect
