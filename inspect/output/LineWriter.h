// Lines of the command-line tool's output: built in one buffer reserved
// once, numbers and names appended without formatting calls.
#pragma once

#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "textureset/DisplayText.h"

namespace marrowix::inspect {

// Room for the longest line the printers make, so that printing, once it
// has started, asks for no memory and cannot stop halfway for lack of it.
constexpr std::size_t kLineRoom = 64 << 10;

// A line of output built in a buffer that is reserved once and reused.
class LineWriter {
public:
    explicit LineWriter(std::ostream& out) : m_out(out) { m_line.reserve(kLineRoom); }
    std::string& Line() { return m_line; }
    void Flush() {
        m_out.write(m_line.data(), static_cast<std::streamsize>(m_line.size()));
        m_line.clear();
    }

private:
    std::ostream& m_out;
    std::string m_line;
};

// Numbers as printf's %llu, %d and %X print them.
inline void AppendNumber(std::string& line, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, end);
}
inline void AppendSigned(std::string& line, std::int32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, end);
}
inline void AppendHexUpper(std::string& line, std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char digits[8];
    int n = 0;
    do {
        digits[7 - n++] = kDigits[value & 15];
        value >>= 4;
    } while (value != 0);
    line.append(digits + 8 - n, static_cast<std::size_t>(n));
}

inline void AppendJsonString(std::string& line, std::u16string_view text) {
    line += '"';
    AppendEscaped(line, text, true);
    line += '"';
}

}  // namespace marrowix::inspect
