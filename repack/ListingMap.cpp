#include "repack/ListingMap.h"

#include <algorithm>

namespace marrowix {

void ListingMap::OnRead(const ListingRead& read) {
    // At most 127 characters a read: the top bit says it ended with a line feed.
    const bool lineFeed = !read.chars.empty() && read.chars.back() == u'\n';
    m_counts.push_back(static_cast<std::uint8_t>(read.chars.size() | (lineFeed ? 0x80 : 0)));
    if (read.isTexture) {
        m_entryReads.push_back(read.line);
    }
}

bool ListingMap::Locate(std::span<const std::uint8_t> bytes) {
    m_starts.assign(1, 0);
    std::uint64_t at = 0;
    for (const std::uint8_t packed : m_counts) {
        const std::uint64_t count = packed & 0x7F;
        // A carriage return directly before a line feed was dropped.
        std::uint64_t consumed = count;
        if ((packed & 0x80) != 0 && at + count < bytes.size() && bytes[at + count - 1] == '\r' &&
            bytes[at + count] == '\n') {
            consumed = count + 1;
        }
        at += consumed;
        if (at > bytes.size()) {
            return false;
        }
        m_starts.push_back(at);
    }
    return at == bytes.size();
}

namespace {

// The digits of the number a "%d" scan takes at `from`: white space, a
// sign, digits. [from, end) of what is replaced; from == end when there is
// no number.
std::pair<std::size_t, std::size_t> NumberAt(std::string_view text, std::size_t from) {
    std::size_t p = from;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) {
        ++p;
    }
    std::size_t q = p;
    if (q < text.size() && (text[q] == '-' || text[q] == '+')) {
        ++q;
    }
    const std::size_t digits = q;
    while (q < text.size() && text[q] >= '0' && text[q] <= '9') {
        ++q;
    }
    return q == digits ? std::pair{from, from} : std::pair{p, q};
}

}  // namespace

std::string WithSize(std::string_view line, std::uint32_t width, std::uint32_t height) {
    std::string text(line);
    const std::size_t quote = text.find('"', 1);
    if (quote == std::string::npos) {
        return text;
    }
    auto set = [&](std::string_view key, std::uint32_t value) {
        bool found = false;
        for (std::size_t at = text.find(key, quote); at != std::string::npos;
             at = text.find(key, at + key.size())) {
            const auto [from, to] = NumberAt(text, at + key.size());
            if (from != to) {
                text.replace(from, to - from, std::to_string(value));
                found = true;
            }
        }
        if (!found) {
            std::size_t end = text.size();
            while (end > quote + 1 && (text[end - 1] == '\n' || text[end - 1] == '\r')) {
                --end;
            }
            text.insert(end, " " + std::string(key) + std::to_string(value));
        }
    };
    set("width=", width);
    set("height=", height);
    return text;
}

std::string CompareReadings(const CTextureSet& before, const ListingMap& beforeMap,
                            const CTextureSet& after, const ListingMap& afterMap,
                            const std::vector<std::size_t>& changed) {
    if (after.GetEntryCount() != before.GetEntryCount() ||
        afterMap.Entries() != beforeMap.Entries()) {
        return "it would hold " + std::to_string(after.GetEntryCount()) + " textures, not " +
               std::to_string(before.GetEntryCount());
    }
    if (after.GetCategoryCount() != before.GetCategoryCount()) {
        return "its categories would change";
    }
    for (std::size_t i = 0; i < before.GetEntryCount(); ++i) {
        const StoredEntry& a = before.Entries()[i];
        const StoredEntry& b = after.Entries()[i];
        const bool sizeMayChange = std::find(changed.begin(), changed.end(), i) != changed.end();
        if (before.GetEntryNameBytes(i) != after.GetEntryNameBytes(i) || a.category != b.category ||
            beforeMap.ReadOf(i) != afterMap.ReadOf(i) ||
            (!sizeMayChange && (a.width != b.width || a.height != b.height))) {
            return "entry " + std::to_string(i) +
                   " would read differently (it takes its width or height from the line "
                   "before it, or the line would grow past 126 characters)";
        }
    }
    return {};
}

}  // namespace marrowix
