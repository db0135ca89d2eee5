// What --compare and --compare-with share: opening the sets they measure,
// entries as they name them, and the sum of what could not be measured.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "compare/Compare.h"
#include "inspect/output/JsonWriter.h"
#include "textureset/TextureSet.h"

namespace marrowix::inspect {

// False, with the reason said, when a file of the opened set that the
// comparison needs is missing.
bool CheckComparable(const CTextureSet& set, const std::string& listing, std::ostream& err);

// "2 entries were not measured (not enough memory)": the pairs whose
// measuring failed, or "" when none did.
std::string FailedMeasures(const std::vector<EntryComparison>& results);

// "64 x 32".
std::string SizeText(const StoredEntry& e);

// "#12 \"walls/brick\" 64 x 64": an entry as the comparisons name it.
std::string ComparisonTitle(const CTextureSet& set, std::size_t index);

// The keys "name", "width" and "height" of an entry, into the object `json`
// is writing.
void WriteEntry(JsonWriter& json, const CTextureSet& set, std::size_t index);

}  // namespace marrowix::inspect
