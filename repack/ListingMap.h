// Where each read of a listing lies among its bytes and which read each
// entry came from: what rewriting one texture line needs, so that every
// other line is carried over byte for byte.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textureset/ListingObserver.h"
#include "textureset/TextureSet.h"

namespace marrowix {

class ListingMap : public ListingObserver {
public:
    void OnRead(const ListingRead& read) override;

    // Places every read among the listing's bytes as the file holds them;
    // false when they do not agree with what was read (the file changed).
    bool Locate(std::span<const std::uint8_t> bytes);

    std::size_t Entries() const { return m_entryReads.size(); }
    // The read (the offset table's index) entry `entry` came from.
    std::uint64_t ReadOf(std::size_t entry) const { return m_entryReads[entry]; }
    // Bytes start to end of read `read`, its line end included.
    std::uint64_t Start(std::uint64_t read) const { return m_starts[read]; }
    std::uint64_t End(std::uint64_t read) const { return m_starts[read + 1]; }
    std::size_t Reads() const { return m_counts.size(); }

private:
    std::vector<std::uint8_t> m_counts;  // characters each read delivered, and a line feed
    std::vector<std::uint64_t> m_entryReads;
    std::vector<std::uint64_t> m_starts;  // after Locate: one more than the reads
};

// A texture line (its bytes, line end included) with the value of every
// width= and height= key after its closing quote set to the size given; a
// key the line lacks is added before the line end. Whether the reader then
// finds what was meant is for the caller to check by reading it again.
std::string WithSize(std::string_view line, std::uint32_t width, std::uint32_t height);

// The entries of two readings of a listing agree, but for the entries in
// `changed`, whose sizes may differ: the same count, names, categories,
// sizes and reads. Empty when they do, otherwise the first difference.
std::string CompareReadings(const CTextureSet& before, const ListingMap& beforeMap,
                            const CTextureSet& after, const ListingMap& afterMap,
                            const std::vector<std::size_t>& changed);

}  // namespace marrowix
