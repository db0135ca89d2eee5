// Raw deflate made of literals only: each block of the data coded with a
// Huffman code of its own bytes, no repeats looked for. On content where
// repeats are rare and short (photographs filtered as PNG rows are), this is
// within a few per cent of what a full deflate gives, several times faster;
// on smooth content, where long repeats are the point, it is far larger, so
// a caller tries both on a sample first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace marrowix {

// Bytes of data each block codes, at most.
inline constexpr std::size_t kLiteralBlockBytes = std::size_t{256} << 10;

// Appends the blocks of `data` to `out`. With `final` the last block is
// marked final and the stream ends padded to a byte; otherwise it ends with
// an empty stored block at a byte boundary (a sync flush), so that another
// stream can follow it.
void DeflateLiterals(std::span<const std::uint8_t> data, bool final,
                     std::vector<std::uint8_t>& out);

// The bytes DeflateLiterals gives for `data`, within a few bytes a block:
// the codes are made, nothing is written.
std::size_t LiteralDeflateBytes(std::span<const std::uint8_t> data);

// The lengths of a prefix code for `counts.size()` symbols of those counts,
// none longer than `maxBits` (Huffman's code where it fits, otherwise the
// longest codes shortened as JPEG's Annex K.3 does), and complete: symbols
// of count 0 get 0, and fewer than two used symbols are given two of
// length 1.
void PrefixCodeLengths(std::span<const std::uint32_t> counts, unsigned maxBits,
                       std::span<std::uint8_t> lengths);

}  // namespace marrowix
