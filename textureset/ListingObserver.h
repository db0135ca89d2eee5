// What the listing reader tells an observer of each read of the listing:
// for checks that look deeper than the entries it makes.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace marrowix {

// What the listing reader saw in one read of the listing, for checks that
// look deeper than the entries. Positions count characters from the start
// of the read.
struct ListingRead {
    std::uint64_t line = 0;      // 0-based count of reads; the offset table's index
    std::u16string_view chars;   // every character delivered, the line feed included
    std::size_t textLength = 0;  // the text proper: up to the first zero character
    bool isCategory = false;
    std::size_t categoryNameLength = 0;  // before the name was cut
    // Texture lines only.
    bool isTexture = false;
    std::size_t entry = 0;         // index of the entry the line made
    std::size_t closingQuote = 0;  // textLength when the line has none
    std::size_t nameLength = 0;    // before the name was cut
    std::bitset<128> scans;        // positions at which the key walk started a scan
    bool widthFound = false;       // a width= key was read on this line
    bool heightFound = false;
};

class ListingObserver {
public:
    virtual ~ListingObserver() = default;
    virtual void OnRead(const ListingRead& read) = 0;
};

}  // namespace marrowix
