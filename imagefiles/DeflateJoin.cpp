#include "imagefiles/DeflateJoin.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace marrowix {
namespace {

// Bits of a deflate stream, least significant first; past the end it reads
// zeros and notes the overrun.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    // The next `count` (at most 16) bits, not consumed.
    std::uint32_t Peek(unsigned count) const {
        const std::size_t at = static_cast<std::size_t>(m_position >> 3);
        if (std::endian::native == std::endian::little && at + 8 <= m_size) {
            std::uint64_t word = 0;  // away from the end: one load
            std::memcpy(&word, m_data + at, 8);
            return static_cast<std::uint32_t>(word >> (m_position & 7)) & ((1u << count) - 1);
        }
        std::uint32_t bits = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            if (at + i < m_size) {
                bits |= std::uint32_t{m_data[at + i]} << (8 * i);
            }
        }
        return (bits >> (m_position & 7)) & ((1u << count) - 1);
    }

    void Skip(std::uint64_t count) { m_position += count; }

    std::uint32_t Take(unsigned count) {
        const std::uint32_t bits = Peek(count);
        Skip(count);
        return bits;
    }

    void AlignToByte() { m_position = (m_position + 7) & ~std::uint64_t{7}; }

    std::uint64_t Position() const { return m_position; }
    bool Overrun() const { return m_position > std::uint64_t{m_size} * 8; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::uint64_t m_position = 0;
};

// A canonical Huffman code looked up by its next maxBits bits at once.
class Huffman {
public:
    // False when the lengths over-subscribe the code.
    bool Build(const std::uint8_t* lengths, unsigned count) {
        std::array<unsigned, 16> perLength{};
        m_maxBits = 0;
        for (unsigned s = 0; s < count; ++s) {
            ++perLength[lengths[s]];
            m_maxBits = std::max<unsigned>(m_maxBits, lengths[s]);
        }
        perLength[0] = 0;
        int left = 1;
        for (unsigned bits = 1; bits < 16; ++bits) {
            left = left * 2 - static_cast<int>(perLength[bits]);
            if (left < 0) {
                return false;
            }
        }
        std::array<std::uint32_t, 16> next{};
        std::uint32_t code = 0;
        for (unsigned bits = 1; bits < 16; ++bits) {
            code = (code + perLength[bits - 1]) << 1;
            next[bits] = code;
        }
        m_table.assign(std::size_t{1} << m_maxBits, 0);
        for (unsigned s = 0; s < count; ++s) {
            const unsigned length = lengths[s];
            if (length == 0) {
                continue;
            }
            // Codes are sent from their most significant bit: the table is
            // indexed by the bits in the order they arrive.
            const std::uint32_t c = next[length]++;
            std::uint32_t reversed = 0;
            for (unsigned b = 0; b < length; ++b) {
                reversed |= ((c >> b) & 1) << (length - 1 - b);
            }
            for (std::size_t i = reversed; i < m_table.size(); i += std::size_t{1} << length) {
                m_table[i] = static_cast<std::uint16_t>(s << 4 | length);
            }
        }
        return true;
    }

    // The next symbol, or -1 for bits that are no code.
    int Decode(BitReader& in) const {
        if (m_maxBits == 0) {
            return -1;
        }
        const std::uint16_t entry = m_table[in.Peek(m_maxBits)];
        if ((entry & 15) == 0) {
            return -1;
        }
        in.Skip(entry & 15);
        return entry >> 4;
    }

private:
    std::vector<std::uint16_t> m_table;  // symbol << 4 | length; 0: no code
    unsigned m_maxBits = 0;
};

// Extra bits of the length symbols 257..285 and of the distance symbols.
unsigned LengthExtra(int symbol) {
    return symbol < 265 || symbol == 285 ? 0 : static_cast<unsigned>(symbol - 261) / 4;
}
unsigned DistanceExtra(int symbol) {
    return symbol < 4 ? 0 : static_cast<unsigned>(symbol) / 2 - 1;
}

// The symbols of one compressed block, up to and with its end-of-block code.
bool SkipSymbols(BitReader& in, const Huffman& literals, const Huffman& distances) {
    for (;;) {
        const int symbol = literals.Decode(in);
        if (symbol < 0 || symbol > 285 || in.Overrun()) {
            return false;
        }
        if (symbol == 256) {
            return true;
        }
        if (symbol > 256) {
            in.Skip(LengthExtra(symbol));
            const int distance = distances.Decode(in);
            if (distance < 0 || distance > 29) {
                return false;
            }
            in.Skip(DistanceExtra(distance));
        }
    }
}

bool ReadDynamicCodes(BitReader& in, Huffman& literals, Huffman& distances) {
    const unsigned literalCount = in.Take(5) + 257;
    const unsigned distanceCount = in.Take(5) + 1;
    const unsigned lengthCodes = in.Take(4) + 4;
    if (literalCount > 286 || distanceCount > 30) {
        return false;
    }
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};
    std::array<std::uint8_t, 19> codeLengths{};
    for (unsigned i = 0; i < lengthCodes; ++i) {
        codeLengths[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
    }
    Huffman lengthCode;
    if (!lengthCode.Build(codeLengths.data(), 19)) {
        return false;
    }
    std::array<std::uint8_t, 286 + 30> lengths{};
    const unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        const int symbol = lengthCode.Decode(in);
        if (symbol < 0 || in.Overrun()) {
            return false;
        }
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        unsigned repeat = 0;
        if (symbol == 16) {
            if (i == 0) {
                return false;
            }
            value = lengths[i - 1];
            repeat = 3 + in.Take(2);
        } else if (symbol == 17) {
            repeat = 3 + in.Take(3);
        } else {
            repeat = 11 + in.Take(7);
        }
        if (i + repeat > total) {
            return false;
        }
        for (unsigned r = 0; r < repeat; ++r) {
            lengths[i++] = value;
        }
    }
    return lengths[256] != 0 && literals.Build(lengths.data(), literalCount) &&
           distances.Build(lengths.data() + literalCount, distanceCount);
}

void FixedCodes(Huffman& literals, Huffman& distances) {
    std::array<std::uint8_t, 288> lengths{};
    for (unsigned s = 0; s < 288; ++s) {
        lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    }
    literals.Build(lengths.data(), 288);
    std::array<std::uint8_t, 30> distanceLengths{};
    distanceLengths.fill(5);
    distances.Build(distanceLengths.data(), 30);
}

}  // namespace

bool EndWithoutFinal(std::vector<std::uint8_t>& stream) {
    BitReader in(stream.data(), stream.size());
    Huffman literals;
    Huffman distances;
    std::uint64_t finalHeader = 0;
    for (bool final = false; !final;) {
        finalHeader = in.Position();
        final = in.Take(1) != 0;
        const std::uint32_t type = in.Take(2);
        if (type == 0) {
            in.AlignToByte();
            const std::uint32_t length = in.Take(16);
            if ((in.Take(16) ^ 0xFFFFu) != length) {
                return false;
            }
            in.Skip(std::uint64_t{length} * 8);
        } else if (type == 1 || type == 2) {
            if (type == 1) {
                FixedCodes(literals, distances);
            } else if (!ReadDynamicCodes(in, literals, distances)) {
                return false;
            }
            if (!SkipSymbols(in, literals, distances)) {
                return false;
            }
        } else {
            return false;
        }
        if (in.Overrun()) {
            return false;
        }
    }
    const std::uint64_t end = in.Position();
    if ((end + 7) / 8 != stream.size()) {
        return false;  // bytes after the final block: not one stream
    }
    stream[finalHeader >> 3] &= static_cast<std::uint8_t>(~(1u << (finalHeader & 7)));
    // An empty stored block: three zero bits (not final, stored), zeros to
    // the byte boundary, then LEN 0 and NLEN 0xFFFF.
    if ((end & 7) != 0) {
        stream[end >> 3] &= static_cast<std::uint8_t>((1u << (end & 7)) - 1);
    }
    stream.resize((end + 3 + 7) / 8, 0);
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

}  // namespace marrowix
