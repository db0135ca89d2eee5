#include "textureset/SetCheck.h"
#include "textureset/ListingObserver.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>
#include <string_view>

namespace marrowix {
namespace {

constexpr std::size_t kLongestRead = 127;  // characters one read of the listing takes

std::string FileName(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return ToUtf8(slash == std::u16string::npos ? path : path.substr(slash + 1));
}

// Collects what each read of the listing shows wrong.
class ListingProblems : public ListingObserver {
public:
    void OnRead(const ListingRead& read) override {
        const std::uint64_t line = read.line;
        const std::size_t count = read.chars.size();
        const bool piece = count == kLongestRead && read.chars.back() != u'\n';
        if (piece && !m_continuing) {
            Add("line-split", line,
                "the line is longer than 126 characters; it is read in pieces, and every later "
                "line takes its offset-table entry one place further on for each extra piece");
        }
        m_continuing = piece;
        if (read.chars.find(u'\r') != std::u16string_view::npos) {
            Add("lone-carriage-return", line,
                "a carriage return not followed by a line feed; the reader does not end the "
                "line there");
        }
        if (read.textLength < count) {
            Add("zero-byte", line,
                "a zero byte at character " + std::to_string(read.textLength) +
                    " ends the text of this read; the rest of the line does not count");
        }
        if (read.isCategory && read.categoryNameLength > kMaxNameLength) {
            Add("name-truncated", line,
                "category name of " + std::to_string(read.categoryNameLength) +
                    " characters is cut to " + std::to_string(kMaxNameLength));
        }
        if (!read.isTexture) {
            return;
        }
        entryLines.push_back(line);
        const std::size_t entry = read.entry;
        if (read.closingQuote >= read.textLength) {
            Add("no-closing-quote", line, "the texture name has no closing quote", entry);
        }
        if (read.nameLength > kMaxNameLength) {
            Add("name-truncated", line,
                "texture name of " + std::to_string(read.nameLength) + " characters is cut to " +
                    std::to_string(kMaxNameLength),
                entry);
        }
        FindSkippedKeys(read, entry);
        if (entry > 0) {
            for (const auto& [found, key] :
                 {std::pair{read.widthFound, "width"}, std::pair{read.heightFound, "height"}}) {
                if (!found) {
                    Add("key-carried", line,
                        std::string("no ") + key + "= key; the " + key +
                            " of the texture line before is taken",
                        entry);
                }
            }
        }
    }

    std::vector<SetProblem> problems;
    std::vector<std::uint64_t> entryLines;  // listing read of each entry

private:
    void Add(const char* kind, std::uint64_t line, std::string message,
             std::optional<std::size_t> entry = std::nullopt) {
        problems.push_back({kind, entry, line, std::nullopt, std::move(message)});
    }

    // A key after the closing quote with a number after it, at which the key
    // walk did not start a scan, does not count.
    void FindSkippedKeys(const ListingRead& read, std::size_t entry) {
        const std::u16string_view text = read.chars.substr(0, read.textLength);
        // Keys are found by their equals signs, which are few.
        for (std::size_t eq = text.find(u'=', read.closingQuote + 1);
             eq != std::u16string_view::npos; eq = text.find(u'=', eq + 1)) {
            for (std::u16string_view key : {u"cat", u"width", u"height"}) {
                if (eq < read.closingQuote + 1 + key.size() ||
                    text.substr(eq - key.size(), key.size()) != key) {
                    continue;
                }
                const std::size_t q = eq - key.size();
                std::size_t d = eq + 1;
                if (d < text.size() && (text[d] == u'+' || text[d] == u'-')) {
                    ++d;
                }
                if (!read.scans.test(q) && d < text.size() && text[d] >= u'0' && text[d] <= u'9') {
                    Add("key-skipped", read.line,
                        "the key " + ToUtf8(key) + "= at character " + std::to_string(q) +
                            " is walked over by the key reader, so its value does not count",
                        entry);
                }
            }
        }
    }

    bool m_continuing = false;
};

// The bytes an entry's data takes in the data file, header included.
struct DataRange {
    std::uint64_t start;
    std::uint64_t end;
    std::size_t entry;
};

// Smallest entry index over a range of positions.
class RangeMin {
public:
    explicit RangeMin(const std::vector<std::size_t>& values)
        : m_n(values.size()), m_tree(2 * values.size()) {
        std::copy(values.begin(), values.end(), m_tree.begin() + static_cast<std::ptrdiff_t>(m_n));
        for (std::size_t i = m_n; i-- > 1;) {
            m_tree[i] = std::min(m_tree[2 * i], m_tree[2 * i + 1]);
        }
    }
    // Minimum over [from, to); the largest value when the range is empty.
    std::size_t Min(std::size_t from, std::size_t to) const {
        std::size_t best = std::numeric_limits<std::size_t>::max();
        for (from += m_n, to += m_n; from < to; from /= 2, to /= 2) {
            if (from & 1) {
                best = std::min(best, m_tree[from++]);
            }
            if (to & 1) {
                best = std::min(best, m_tree[--to]);
            }
        }
        return best;
    }

private:
    std::size_t m_n;
    std::vector<std::size_t> m_tree;
};

// Entries whose data is the same stretch as an earlier entry's, or overlaps
// one: for each, the earliest such entry.
void FindOverlaps(std::vector<DataRange> ranges, std::vector<SetProblem>& problems,
                  const std::vector<std::uint64_t>& entryLines, const std::string& dataName) {
    const auto byPlace = [](const DataRange& a, const DataRange& b) {
        return std::tie(a.start, a.end, a.entry) < std::tie(b.start, b.end, b.entry);
    };
    // A sound set mostly lists its data in order already.
    if (!std::is_sorted(ranges.begin(), ranges.end(), byPlace)) {
        std::sort(ranges.begin(), ranges.end(), byPlace);
    }
    // One stretch of each: the first entry that has it.
    std::vector<DataRange> distinct;
    for (const DataRange& r : ranges) {
        if (!distinct.empty() && distinct.back().start == r.start && distinct.back().end == r.end) {
            problems.push_back({"data-shared", r.entry, entryLines[r.entry], distinct.back().entry,
                                "the same data (" + GroupDigits(r.end - r.start) +
                                    " bytes at offset " + GroupDigits(r.start) + " of " + dataName +
                                    ") as entry " + std::to_string(distinct.back().entry)});
            continue;
        }
        distinct.push_back(r);
    }

    std::vector<std::size_t> indices(distinct.size());
    std::transform(distinct.begin(), distinct.end(), indices.begin(),
                   [](const DataRange& r) { return r.entry; });
    const RangeMin later(indices);
    // Stretches that start earlier, smallest entry first; those that end
    // before the current start are dropped as the sweep passes them.
    using Open = std::pair<std::size_t, std::uint64_t>;  // entry, end
    std::priority_queue<Open, std::vector<Open>, std::greater<>> earlier;
    for (std::size_t k = 0; k < distinct.size(); ++k) {
        const DataRange& r = distinct[k];
        while (!earlier.empty() && earlier.top().second <= r.start) {
            earlier.pop();
        }
        std::size_t other =
            earlier.empty() ? std::numeric_limits<std::size_t>::max() : earlier.top().first;
        const auto last = std::partition_point(
            distinct.begin() + static_cast<std::ptrdiff_t>(k) + 1, distinct.end(),
            [&](const DataRange& s) { return s.start < r.end; });
        other =
            std::min(other, later.Min(k + 1, static_cast<std::size_t>(last - distinct.begin())));
        if (other < r.entry) {
            problems.push_back({"data-overlap", r.entry, entryLines[r.entry], other,
                                "the data (" + GroupDigits(r.end - r.start) + " bytes at offset " +
                                    GroupDigits(r.start) + ") overlaps the data of entry " +
                                    std::to_string(other)});
        }
        earlier.push({r.entry, r.end});
    }
}

// One past the last byte of the entry's data, its header included.
std::uint64_t EntryDataEnd(const CTextureSet& set, const StoredEntry& e) {
    return std::uint64_t{e.offset} + kTextureHeaderBytes +
           EntryDataSize(e.width, e.height, set.GetMode());
}

}  // namespace

std::string_view EntryDataProblem(const CTextureSet& set, const StoredEntry& entry) {
    if (!CheckEntrySize(entry.width, entry.height).empty()) {
        return "size-refused";
    }
    if (entry.width == 0 || entry.height == 0) {
        return "size-empty";
    }
    const InputFile* data = set.GetDataFile();
    return data == nullptr || EntryDataEnd(set, entry) > data->Size() ? "data-past-end" : "";
}

std::string GroupDigits(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

std::vector<SetProblem> CheckTextureSet(CTextureSet& set, const std::u16string& listingPath,
                                        const std::u16string& modeWord) {
    ListingProblems listing;
    OpenTextureSet(set, listingPath, modeWord, &listing);

    std::vector<SetProblem> problems;
    auto fileProblem = [&](const char* kind, const std::u16string& path,
                           const std::string& reason) {
        problems.push_back({kind, std::nullopt, std::nullopt, std::nullopt,
                            "cannot open " + FileName(path) + ": " + reason});
    };
    if (!set.HasListingFile()) {
        fileProblem("listing-unreadable", set.ListingPath(), set.ListingError());
        return problems;
    }
    if (!set.ListingError().empty()) {
        problems.push_back({"listing-unreadable", std::nullopt, std::nullopt, std::nullopt,
                            FileName(set.ListingPath()) + ": " + set.ListingError()});
    }
    if (!set.HasOffsetTableFile()) {
        fileProblem("offsets-missing", set.OffsetTablePath(), set.OffsetTableError());
        problems.back().message +=
            "; every texture reads offset 0, so no overlap of data is reported";
    }
    if (!set.HasDataFile()) {
        fileProblem("data-missing", set.DataPath(), set.DataError());
    }

    const std::size_t fileProblems = problems.size();
    problems.insert(problems.end(), std::make_move_iterator(listing.problems.begin()),
                    std::make_move_iterator(listing.problems.end()));

    const std::string tableName = FileName(set.OffsetTablePath());
    const std::string dataName = FileName(set.DataPath());
    const std::span<const StoredEntry> entries = set.Entries();
    std::vector<DataRange> ranges;
    // Both lists end together, unless memory ran out while the listing was read.
    const std::size_t count = std::min(entries.size(), listing.entryLines.size());
    for (std::size_t i = 0; i < count; ++i) {
        const StoredEntry& e = entries[i];
        const std::uint64_t line = listing.entryLines[i];
        auto add = [&](const char* kind, std::string message) {
            problems.push_back({kind, i, line, std::nullopt, std::move(message)});
        };
        if (const InputFile* table = set.GetOffsetTableFile();
            table != nullptr && 4 * line + 4 > table->Size()) {
            add("offset-beyond-table",
                "its offset-table entry (bytes " + GroupDigits(4 * line) + " to " +
                    GroupDigits(4 * line + 3) + ") lies past the end of " + tableName + " (" +
                    GroupDigits(table->Size()) + " bytes); its offset reads as " +
                    std::to_string(e.offset));
        }
        if (e.category >= set.GetCategoryCount() && e.category != kRootCategory) {
            add("category-missing", "category " + std::to_string(e.category) +
                                        " has no category line; the texture is shown at the root");
        }
        const std::string_view problem = EntryDataProblem(set, e);
        if (problem == "size-refused") {
            add("size-refused", "its image is refused: " + CheckEntrySize(e.width, e.height));
            continue;
        }
        if (problem == "size-empty") {
            add("size-empty", "size " + std::to_string(e.width) + " x " + std::to_string(e.height) +
                                  " has no texels");
            continue;
        }
        const std::uint64_t start = e.offset;
        const std::uint64_t end = EntryDataEnd(set, e);
        if (const InputFile* data = set.GetDataFile(); data != nullptr && end > data->Size()) {
            add("data-past-end", "data runs " + GroupDigits(end - data->Size()) +
                                     " bytes past the end of " + dataName);
        }
        // Overlaps only between offsets the table holds: a missing entry
        // reads as 0, which is no data position at all.
        if (const InputFile* table = set.GetOffsetTableFile();
            table != nullptr && 4 * line + 4 <= table->Size()) {
            ranges.push_back({start, end, i});
        }
    }
    FindOverlaps(std::move(ranges), problems, listing.entryLines, dataName);

    // Listing order: by line, problems of one line in the order they were found.
    std::stable_sort(problems.begin() + static_cast<std::ptrdiff_t>(fileProblems), problems.end(),
                     [](const SetProblem& a, const SetProblem& b) { return *a.line < *b.line; });
    return problems;
}

}  // namespace marrowix
