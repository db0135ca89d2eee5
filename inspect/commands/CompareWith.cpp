// --compare-with: two versions of a set, entries paired by category and
// name; what changed, as text or JSON. Exit 1 when anything differs.
#include <functional>

#include "inspect/commands/CommandSupport.h"
#include "inspect/commands/CompareSupport.h"
#include "textureset/DisplayText.h"
#include "textureset/SetCheck.h"

namespace marrowix::inspect {
namespace {

// Opens the set of `listing`, as CheckComparable answers.
bool OpenForComparison(CTextureSet& set, const std::string& listing, TextureMode mode,
                       std::ostream& err) {
    OpenTextureSet(set, FromNativePath(listing), ModeWordU16(mode));
    return CheckComparable(set, listing, err);
}

// The changes found: lines, or the objects of one JSON array, each its
// kind and the fields a function writes.
class Changes {
public:
    explicit Changes(bool json) : m_isJson(json), m_json(m_text) {
        if (m_isJson) {
            m_json.Object().Key("compareWith").Array();
        }
    }
    JsonWriter& Json() { return m_json; }
    void Add(const char* change, const std::string& line, const std::function<void()>& fields) {
        m_any = true;
        if (m_isJson) {
            m_json.Object().Key("change").Word(change);
            fields();
            m_json.End();
        } else {
            m_text += line + "\n";
        }
    }
    // The output, or `none` as a line when there was no change to list.
    std::string Finish(const std::string& none) {
        if (m_isJson) {
            m_json.End().End();
            return m_text + '\n';
        }
        return m_any ? m_text : none + "\n";
    }

private:
    bool m_isJson;
    std::string m_text;
    JsonWriter m_json;
    bool m_any = false;
};

}  // namespace

int Execute(const CompareWithCommand& c, Io& io) {
    io.doing = "compare the sets";
    CTextureSet here;
    CTextureSet other;
    if (!OpenForComparison(here, c.set.listing, c.set.mode, io.err) ||
        !OpenForComparison(other, c.other, c.set.mode, io.err)) {
        return 1;
    }
    const Pairing pairing = PairEntries(here, other);
    std::vector<std::pair<std::size_t, std::size_t>> sameSize;
    for (const auto& [i, j] : pairing.pairs) {
        const StoredEntry& a = here.Entries()[i];
        const StoredEntry& b = other.Entries()[j];
        if (a.width == b.width && a.height == b.height) {
            sameSize.emplace_back(i, j);
        }
    }
    const std::vector<EntryComparison> measured = ComparePairs(here, other, sameSize);
    std::size_t next = 0;  // into `measured`, which follows the pairs' order
    bool differs = !pairing.onlyInFirst.empty() || !pairing.onlyInSecond.empty();

    Changes changes(c.json);
    JsonWriter& json = changes.Json();
    // This set's entries in listing order, then those only in the other.
    std::vector<std::ptrdiff_t> pairOf(here.GetEntryCount(), -1);
    for (std::size_t p = 0; p < pairing.pairs.size(); ++p) {
        pairOf[pairing.pairs[p].first] = static_cast<std::ptrdiff_t>(p);
    }
    for (std::size_t i = 0; i < here.GetEntryCount(); ++i) {
        auto entry = [&] {
            json.Key("index").Number(i);
            WriteEntry(json, here, i);
        };
        if (pairOf[i] < 0) {
            changes.Add("only-here", "only here: " + ComparisonTitle(here, i), entry);
            continue;
        }
        const std::size_t j = pairing.pairs[static_cast<std::size_t>(pairOf[i])].second;
        auto paired = [&] {
            entry();
            json.Key("otherIndex").Number(j);
        };
        const StoredEntry& a = here.Entries()[i];
        const StoredEntry& b = other.Entries()[j];
        if (a.width != b.width || a.height != b.height) {
            differs = true;
            changes.Add(
                "size-changed",
                "size changed: " + ComparisonTitle(here, i) + ", in the other set #" +
                    std::to_string(j) + " " + SizeText(b),
                [&] {
                    paired();
                    json.Key("otherWidth").Signed(b.width).Key("otherHeight").Signed(b.height);
                });
            continue;
        }
        const EntryComparison& r = measured[next++];
        if (!r.skipped.empty()) {
            // The same trouble on both sides is no change that can be seen;
            // a pair whose measuring failed is never taken as unchanged.
            if (r.failed || EntryDataProblem(here, a) != EntryDataProblem(other, b)) {
                differs = true;
            }
            changes.Add("not-measured",
                        "not measured: " + ComparisonTitle(here, i) + " (" + r.skipped + ")", [&] {
                            paired();
                            json.Key("skipped").Utf8(r.skipped);
                        });
        } else if (r.measures.differing > 0) {
            differs = true;
            changes.Add(
                "pixels-differ",
                "pixels differ: " + ComparisonTitle(here, i) + ": " + DescribeMeasures(r.measures),
                [&] {
                    paired();
                    WriteMeasures(json, r.measures);
                });
        } else if (c.all) {
            changes.Add("unchanged", "unchanged: " + ComparisonTitle(here, i), paired);
        }
    }
    for (std::size_t j : pairing.onlyInSecond) {
        changes.Add("only-in-other", "only in the other set: " + ComparisonTitle(other, j), [&] {
            json.Key("otherIndex").Number(j);
            WriteEntry(json, other, j);
        });
    }
    io.out << changes.Finish(DisplayPath(c.set.listing) + ": no differences from " +
                             DisplayPath(c.other));
    if (const std::string failed = FailedMeasures(measured); !failed.empty()) {
        io.err << kProgram << ": " << failed << '\n';
    }
    return differs ? 1 : 0;
}

}  // namespace marrowix::inspect
