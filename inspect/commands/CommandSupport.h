// What the commands share: the program's name in messages, entries as
// messages name them, opening the set a command reads, and the measures of
// a comparison in JSON.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "inspect/commands/Commands.h"
#include "inspect/output/JsonWriter.h"
#include "textureset/TextureSet.h"

namespace marrowix {
struct Measures;
}  // namespace marrowix

namespace marrowix::inspect {

// The name messages begin with.
inline constexpr const char* kProgram = "marrowix-inspect";

// "entry 3 \"road\"": an entry as messages name it.
std::string EntryTitle(const CTextureSet& set, std::size_t index);

// `text` with its ASCII capitals made small, as names are compared where
// the common desktops ignore case.
std::string LowerAscii(std::string text);

// Opens the set a command reads, warning on `io.err` of a listing read only
// in part (`*partial` then true) and of a missing offset table or data
// file; false, said on `io.err`, when the listing cannot be opened.
bool OpenForCommand(CTextureSet& set, const SetArgument& argument, Io& io, bool* partial);

// The exit code of a command that reports on the whole set: 1, said on
// `err`, when the listing was read only in part (the set is incomplete).
int WholeSetCode(int code, bool partial, std::ostream& err);

// The keys "psnr", "maxDiff", "differing" and "ssim" of an entry's
// measures, into the object `json` is writing.
void WriteMeasures(JsonWriter& json, const Measures& m);

}  // namespace marrowix::inspect
