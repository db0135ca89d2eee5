// The small formatted scanner the listing is read with: patterns such as
// "cat=%d name=%s" matched against a zero-terminated wide text.
//
// A blank in a pattern matches any run of white space, none included; %d
// skips white space and takes an optional sign and at least one digit, the
// value kept to 32 bits (wrapping modulo 2^32); %s skips white space and
// takes the characters up to the next white space, at most `capacity - 1` of
// them stored (the rest are consumed and dropped); any other pattern
// character must match the text's next character exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace marrowix {

bool IsScanSpace(char16_t c);

struct ScanTarget {
    std::int32_t* number = nullptr;     // receives each %d, in order
    char16_t* text = nullptr;           // receives %s, zero-terminated
    std::size_t capacity = 0;           // units at `text`, terminator included
    std::size_t* textLength = nullptr;  // receives the %s length before it was cut
};

// Matches `pattern` against `text`; returns how many conversions were stored.
// A conversion that does not match leaves its target and all later ones
// unchanged.
int WideScan(const char16_t* text, std::u16string_view pattern, const ScanTarget& target);

// The same as WideScan(text, key + "%d", {number}) == 1 for a key without
// white space or '%' ("width="), without reading the pattern.
bool ScanKeyNumber(const char16_t* text, std::u16string_view key, std::int32_t* number);

}  // namespace marrowix
