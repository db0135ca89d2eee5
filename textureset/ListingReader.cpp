// Reading a texture listing line by line, with the offset-table lookup.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "textureset/ListingObserver.h"
#include "textureset/TextureSet.h"
#include "textureset/WideScan.h"

namespace marrowix {
namespace {

constexpr std::size_t kLineUnits = 128;  // one read takes at most 127 characters

constexpr std::u16string_view kCatKey = u"cat=";
constexpr std::u16string_view kWidthKey = u"width=";
constexpr std::u16string_view kHeightKey = u"height=";

// Reads a listing the way a text-mode wide line read does: bytes widened one
// to one, a carriage return directly before a line feed dropped, at most
// `size - 1` characters a read, the line feed kept and ending the read.
class ListingLineReader {
public:
    explicit ListingLineReader(InputFile& file) : m_file(file), m_buffer(1 << 16) {}

    // Fills `out` (zero-terminated) and returns the number of characters
    // read; 0 when the end was met before any character was read.
    // `*zero` gets the position of the first zero character read, or n.
    std::size_t ReadLine(char16_t* out, std::size_t size, std::size_t* zero) {
        std::size_t n = 0;
        *zero = std::u16string_view::npos;
        while (n + 1 < size && Fill()) {
            // Take the buffered bytes up to a line end, a carriage return or
            // the room left in one go.
            const unsigned char* from = m_buffer.data() + m_pos;
            std::size_t take = std::min(size - 1 - n, m_len - m_pos);
            const void* lf = std::memchr(from, '\n', take);
            if (lf != nullptr) {
                take = static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - from);
            }
            // Widened in one pass that also notes a carriage return or a zero,
            // which are rare; only then are they looked for.
            unsigned char rare = 0;
            for (std::size_t k = 0; k < take; ++k) {
                const unsigned char c = from[k];
                out[n + k] = c;
                rare |= static_cast<unsigned char>((c == '\r') | (c == 0));
            }
            const void* cr = nullptr;
            if (rare != 0) {
                cr = std::memchr(from, '\r', take);
                if (cr != nullptr) {
                    take = static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - from);
                }
                if (*zero == std::u16string_view::npos) {
                    if (const void* z = std::memchr(from, 0, take); z != nullptr) {
                        *zero = n + static_cast<std::size_t>(static_cast<const unsigned char*>(z) -
                                                             from);
                    }
                }
            }
            n += take;
            m_pos += take;
            if (cr == nullptr && lf == nullptr) {
                continue;  // buffer drained or the line is full
            }
            // A line feed, or a carriage return that is dropped before one.
            int c = NextByte();
            if (c == '\r' && PeekByte() == '\n') {
                c = NextByte();
            }
            out[n++] = static_cast<char16_t>(c);
            if (c == '\n') {
                break;
            }
        }
        out[n] = 0;
        if (*zero == std::u16string_view::npos) {
            *zero = n;
        }
        return n;
    }

    // True once a read has met the end of the file.
    bool AtEnd() const { return m_atEnd; }

private:
    bool Fill() {
        if (m_pos < m_len) {
            return true;
        }
        m_len = m_file.ReadAt(m_filePos, m_buffer.data(), m_buffer.size());
        m_filePos += m_len;
        m_pos = 0;
        if (m_len == 0) {
            m_atEnd = true;
        }
        return m_len > 0;
    }
    int NextByte() { return Fill() ? m_buffer[m_pos++] : -1; }
    int PeekByte() { return Fill() ? m_buffer[m_pos] : -1; }

    InputFile& m_file;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    std::uint64_t m_filePos = 0;
    bool m_atEnd = false;
};

// Looks up 32-bit little-endian entries of the offset table. Lookups come at
// rising positions, so the table is read once, front to back, a window at a
// time. Bytes beyond the end of the table read as 0.
class OffsetTableReader {
public:
    explicit OffsetTableReader(InputFile* file) : m_file(file) {}

    std::uint32_t Lookup(std::uint64_t position) {
        if (m_file == nullptr || position >= m_file->Size()) {
            return 0;
        }
        if (position < m_start || position + 4 > m_start + m_len) {
            m_window.resize(1 << 16);
            m_start = position;
            m_len = m_file->ReadAt(position, m_window.data(), m_window.size());
        }
        const std::size_t at = static_cast<std::size_t>(position - m_start);
        const std::size_t have = std::min<std::size_t>(4, m_len - std::min(at, m_len));
        std::uint32_t value = 0;
        if (have == 4 && std::endian::native == std::endian::little) {
            std::memcpy(&value, m_window.data() + at, 4);
            return value;
        }
        for (std::size_t b = 0; b < have; ++b) {
            value |= static_cast<std::uint32_t>(m_window[at + b]) << (8 * b);
        }
        return value;
    }

private:
    InputFile* m_file;
    std::vector<unsigned char> m_window;
    std::uint64_t m_start = 0;
    std::size_t m_len = 0;
};

// The position of a texture line's closing quote, or the text's length when
// there is none: the name lies between it and the opening quote.
std::size_t ClosingQuote(const char16_t* line, std::size_t length) {
    std::size_t p = 1;
    while (p < length && line[p] != u'"') {
        ++p;
    }
    return p;
}

}  // namespace

int ReadListing(CTextureSet& set, const std::u16string& listingPath, ListingObserver* observer) {
    set.m_listingFile.reset();
    set.m_listingError.clear();
    set.m_listingFile = InputFile::Open(listingPath, &set.m_listingError);
    if (!set.m_listingFile) {
        return 0;
    }

    try {
        // Room for a listing of short lines, so that the entries are rarely moved.
        const auto lines = static_cast<std::size_t>(
            std::min<std::uint64_t>(set.m_listingFile->Size() / 32, std::uint64_t{1} << 20));
        set.m_entries.reserve(lines);
        set.m_names.reserve(lines * 16);
        ListingLineReader reader(*set.m_listingFile);
        OffsetTableReader table(set.m_offsetTableFile.get());
        std::uint64_t tablePosition = 0;
        // Carried from one texture line to the next.
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::array<char16_t, kLineUnits> line{};

        do {
            std::size_t length = 0;  // the text of a read ends at its first zero
            const std::size_t count = reader.ReadLine(line.data(), line.size(), &length);
            ListingRead read;

            if (line[0] == u'c') {
                char16_t name[kNameUnits] = {};
                std::int32_t number = 0;
                WideScan(line.data(), u"cat=%d name=%s",
                         {&number, name, kNameUnits, &read.categoryNameLength});
                set.m_categories.emplace_back(name);
                read.isCategory = true;
            } else if (line[0] == u'"') {
                std::int32_t category = 0;
                std::size_t p = ClosingQuote(line.data(), length);
                read.closingQuote = p;
                read.nameLength = p - 1;
                // Every c, h or w starts a scan; the walk advances by the key's
                // length whether or not the scan matched.
                while (p < kLineUnits && p < length) {
                    switch (line[p]) {
                        case u'c':
                            if (observer != nullptr) {
                                read.scans.set(p);
                            }
                            ScanKeyNumber(line.data() + p, kCatKey, &category);
                            p += 5;
                            break;
                        case u'h':
                            if (observer != nullptr) {
                                read.scans.set(p);
                            }
                            read.heightFound |= ScanKeyNumber(line.data() + p, kHeightKey, &height);
                            p += 9;
                            break;
                        case u'w':
                            if (observer != nullptr) {
                                read.scans.set(p);
                            }
                            read.widthFound |= ScanKeyNumber(line.data() + p, kWidthKey, &width);
                            p += 8;
                            break;
                        default:
                            ++p;
                            break;
                    }
                }
                // Kept compact: the name's units are the listing's bytes.
                StoredEntry stored;
                stored.nameStart = set.m_names.size();
                stored.nameLength =
                    static_cast<std::uint8_t>(std::min(read.nameLength, kMaxNameLength));
                stored.width = width;
                stored.height = height;
                stored.offset = table.Lookup(tablePosition);
                stored.category = static_cast<std::uint16_t>(category);
                const std::size_t pool = set.m_names.size();
                set.m_names.resize(pool + stored.nameLength);
                for (std::size_t k = 0; k < stored.nameLength; ++k) {
                    set.m_names[pool + k] = static_cast<std::uint8_t>(line[1 + k]);
                }
                set.m_entries.push_back(stored);
                read.isTexture = true;
                read.entry = set.m_entries.size() - 1;
            }
            if (observer != nullptr) {
                read.line = tablePosition / 4;
                read.chars = std::u16string_view(line.data(), count);
                read.textLength = length;
                observer->OnRead(read);
            }
            tablePosition += 4;
        } while (!reader.AtEnd());
    } catch (const std::bad_alloc&) {
        // A listing too large for memory: what was read stays, and says so.
        set.m_listingError = "not enough memory for the whole listing; read the first " +
                             std::to_string(set.m_entries.size()) + " textures";
    }
    return 1;
}

void OpenTextureSetInBothModes(CTextureSet& first, const std::u16string& firstMode,
                               CTextureSet& second, const std::u16string& secondMode,
                               const std::u16string& listingPath, ListingObserver* observer) {
    // The listing line of every entry, as the first reading meets it.
    struct LineRecorder : ListingObserver {
        Buffer<std::uint64_t> lines;
        ListingObserver* next = nullptr;
        void OnRead(const ListingRead& read) override {
            if (read.isTexture) {
                lines.push_back(read.line);
            }
            if (next != nullptr) {
                next->OnRead(read);
            }
        }
    } recorder;
    recorder.next = observer;
    OpenTextureSet(first, listingPath, firstMode, &recorder);
    // Where memory ran out while recording, the entries end where the lines do.
    first.m_entries.resize(std::min(first.m_entries.size(), recorder.lines.size()));

    second.OpenModeFiles(listingPath, secondMode);
    second.m_listingFile = first.m_listingFile;
    second.m_listingError = first.m_listingError;
    try {
        second.m_categories = first.m_categories;
        second.m_names = first.m_names;
        second.m_entries = first.m_entries;
        OffsetTableReader table(second.m_offsetTableFile.get());
        for (std::size_t i = 0; i < second.m_entries.size(); ++i) {
            second.m_entries[i].offset = table.Lookup(recorder.lines[i] * 4);
        }
    } catch (const std::bad_alloc&) {
        second.m_entries.clear();
        second.m_names.clear();
        second.m_categories.clear();
        second.m_listingError = "not enough memory for the listing in both modes";
    }
}

}  // namespace marrowix
