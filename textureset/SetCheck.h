// A check of a whole texture set: everything about its three files that
// makes what the viewer shows differ from what the listing seems to say.
// It reads the listing once and learns only the sizes of the offset table
// and the data file; it never reads texels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix {

struct SetProblem {
    std::string kind;                   // "data-past-end", "line-split", ...
    std::optional<std::size_t> entry;   // the entry it concerns
    std::optional<std::uint64_t> line;  // 0-based listing read, the offset table's index
    std::optional<std::size_t> other;   // data-overlap, data-shared: the earlier entry
    std::string message;                // what is wrong, in words (UTF-8)
};

// Opens the set at `listingPath` in the mode `modeWord` into `set`, an empty
// set, and checks it. Problems come in listing order, those of whole files
// first.
std::vector<SetProblem> CheckTextureSet(CTextureSet& set, const std::u16string& listingPath,
                                        const std::u16string& modeWord);

// What a check would report of one entry's own image and data, the cheap
// part of CheckTextureSet for one entry: "size-refused", "size-empty",
// "data-past-end" (the data file is absent or ends before the entry's data
// does), or "" when its image can be read in full.
std::string_view EntryDataProblem(const CTextureSet& set, const StoredEntry& entry);

// A number with commas between groups of three digits: 1,024.
std::string GroupDigits(std::uint64_t value);

}  // namespace marrowix
