// --compare (the two encodings of a set) and --compare-with (two versions of
// a set): the measures of compare/Compare.h, as text or JSON.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "compare/Compare.h"
#include "inspect/Inspect.h"
#include "textureset/SetCheck.h"

namespace marrowix::inspect {
namespace {

constexpr const char* kChannelNames[4] = {"r", "g", "b", "a"};

std::string JsonDecibels(double db) {
    return std::isinf(db) ? "null" : FormatDecibels(db);
}

// False, with the reason said, when a file of the opened set that the
// comparison needs is missing.
bool CheckComparable(const CTextureSet& set, const std::string& listing, std::ostream& err) {
    std::string missing;
    if (!set.HasListingFile()) {
        missing = "cannot open listing '" + DisplayPath(listing) + "': " + set.ListingError();
    } else if (!set.HasOffsetTableFile()) {
        missing = DisplayPath(ToNativePath(set.OffsetTablePath())) + ": " + set.OffsetTableError();
    } else if (!set.HasDataFile()) {
        missing = DisplayPath(ToNativePath(set.DataPath())) + ": " + set.DataError();
    }
    if (!missing.empty()) {
        err << kProgram << ": cannot compare: " << missing << '\n';
        return false;
    }
    if (!set.ListingError().empty()) {
        err << kProgram << ": warning: listing '" << DisplayPath(listing)
            << "': " << set.ListingError() << '\n';
    }
    return true;
}

// Opens the set of `listing` in `mode`, as CheckComparable answers.
bool OpenForComparison(CTextureSet& set, const std::string& listing, const std::string& mode,
                       std::ostream& err) {
    OpenTextureSet(set, FromNativePath(listing), FromUtf8(mode));
    return CheckComparable(set, listing, err);
}

// "2 entries were not measured (not enough memory)": the pairs whose
// measuring failed, or "" when none did.
std::string FailedMeasures(const std::vector<EntryComparison>& results) {
    std::size_t failed = 0;
    std::string reason;
    for (const EntryComparison& r : results) {
        if (r.failed) {
            reason = failed == 0 || reason == r.skipped ? r.skipped
                                                        : "not enough memory or a failed read";
            ++failed;
        }
    }
    if (failed == 0) {
        return {};
    }
    return GroupDigits(failed) + (failed == 1 ? " entry was" : " entries were") +
           " not measured (" + reason + ")";
}

std::string Size(const StoredEntry& e) {
    return std::to_string(e.width) + " x " + std::to_string(e.height);
}

// "#12 \"walls/brick\" 64 x 64": an entry as the comparison names it.
std::string Title(const CTextureSet& set, std::size_t index) {
    bool atRoot = false;
    const std::string category = CategoryNameOf(set, index, &atRoot);
    std::u16string name = set.GetEntryName(index);
    const std::string shown = DisplayName(name);
    return "#" + std::to_string(index) + " \"" +
           (atRoot ? "" : DisplayName(FromUtf8(category)) + "/") + shown + "\" " +
           Size(set.Entries()[index]);
}

std::string EntryJson(const CTextureSet& set, std::size_t index) {
    const StoredEntry& e = set.Entries()[index];
    return "\"name\":" + JsonString(set.GetEntryName(index)) +
           ",\"width\":" + std::to_string(e.width) + ",\"height\":" + std::to_string(e.height);
}

}  // namespace

std::string MeasuresJson(const Measures& m) {
    std::string json = "\"psnr\":{";
    for (int c = 0; c < 4; ++c) {
        json += std::string("\"") + kChannelNames[c] +
                "\":" + JsonDecibels(m.Psnr(static_cast<Channel>(c))) + ",";
    }
    json += "\"rgb\":" + JsonDecibels(m.RgbPsnr()) +
            ",\"rgbPremultiplied\":" + JsonDecibels(m.RgbPremultipliedPsnr()) + "},\"maxDiff\":{";
    for (int c = 0; c < 4; ++c) {
        json += std::string(c > 0 ? "," : "") + "\"" + kChannelNames[c] +
                "\":" + std::to_string(m.maxDiff[c]);
    }
    char ssim[32];
    std::snprintf(ssim, sizeof ssim, "%.6f", m.ssim);
    return json + "},\"differing\":" + std::to_string(m.differing) + ",\"ssim\":" + ssim;
}

int CompareEncodings(const Options& o, std::ostream& out, std::ostream& err) {
    // One reading of the listing serves both encodings.
    CTextureSet dxt;
    CTextureSet etc;
    OpenTextureSetInBothModes(dxt, u"dxt", etc, u"etc", FromNativePath(o.listing));
    if (!CheckComparable(dxt, o.listing, err) || !CheckComparable(etc, o.listing, err)) {
        return 1;
    }
    if (etc.GetEntryCount() != dxt.GetEntryCount()) {
        err << kProgram << ": cannot compare: " << etc.ListingError() << '\n';
        return 1;
    }
    std::vector<std::pair<std::size_t, std::size_t>> pairs(dxt.GetEntryCount());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        pairs[i] = {i, i};
    }
    std::vector<EntryComparison> results = ComparePairs(dxt, etc, pairs);
    // Worst RGB PSNR first (then alpha's), ties and the unmeasured in
    // listing order, the unmeasured last.
    std::stable_sort(results.begin(), results.end(),
                     [](const EntryComparison& a, const EntryComparison& b) {
                         if (a.skipped.empty() != b.skipped.empty()) {
                             return a.skipped.empty();
                         }
                         if (!a.skipped.empty()) {
                             return false;
                         }
                         return a.measures.RgbPsnr() < b.measures.RgbPsnr();
                     });
    bool belowGate = false;
    std::size_t unmeasured = 0;
    std::string text = o.json ? "{\"compare\":[" : "";
    for (std::size_t k = 0; k < results.size(); ++k) {
        const EntryComparison& r = results[k];
        if (o.json) {
            text += (k > 0 ? ",{\"index\":" : "{\"index\":") + std::to_string(r.index) + "," +
                    EntryJson(dxt, r.index) + "," +
                    (r.skipped.empty() ? MeasuresJson(r.measures)
                                       : "\"skipped\":" + JsonString(FromUtf8(r.skipped))) +
                    "}";
        } else {
            text +=
                Title(dxt, r.index) + ": " +
                (r.skipped.empty() ? DescribeMeasures(r.measures) : "not measured, " + r.skipped) +
                "\n";
        }
        if (!r.skipped.empty()) {
            ++unmeasured;
        } else if (o.failBelow && (r.measures.RgbPsnr() < *o.failBelow ||
                                   r.measures.Psnr(kAlpha) < *o.failBelow)) {
            belowGate = true;
        }
    }
    if (o.json) {
        text += "]}\n";
    }
    out << text;
    // An entry that could not be measured never passes: the measuring
    // failing is an error, and the gate passes only what it measured.
    const std::string failedMeasures = FailedMeasures(results);
    if (!failedMeasures.empty()) {
        err << kProgram << ": " << failedMeasures << '\n';
    }
    const bool gateFails = o.failBelow && (belowGate || unmeasured > 0);
    if (gateFails) {
        err << kProgram << ": fails --fail-below " << FormatDecibels(*o.failBelow) << ": "
            << (belowGate ? "an entry's PSNR is below " + FormatDecibels(*o.failBelow) + " dB"
                          : std::string())
            << (belowGate && unmeasured > 0 ? "; " : "")
            << (unmeasured > 0 ? GroupDigits(unmeasured) + " of " + GroupDigits(results.size()) +
                                     (results.size() == 1 ? " entry" : " entries") + " not measured"
                               : std::string())
            << '\n';
    }
    return gateFails || !failedMeasures.empty() ? 1 : 0;
}

int CompareVersions(const Options& o, std::ostream& out, std::ostream& err) {
    CTextureSet here;
    CTextureSet other;
    if (!OpenForComparison(here, o.listing, o.mode, err) ||
        !OpenForComparison(other, o.other, o.mode, err)) {
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
    std::vector<std::string> items;  // lines, or JSON objects
    auto add = [&](const std::string& change, const std::string& line, const std::string& json) {
        items.push_back(o.json ? "{\"change\":\"" + change + "\"," + json + "}" : line + "\n");
    };
    // This set's entries in listing order, then those only in the other.
    std::vector<std::ptrdiff_t> pairOf(here.GetEntryCount(), -1);
    for (std::size_t p = 0; p < pairing.pairs.size(); ++p) {
        pairOf[pairing.pairs[p].first] = static_cast<std::ptrdiff_t>(p);
    }
    for (std::size_t i = 0; i < here.GetEntryCount(); ++i) {
        const std::string json = "\"index\":" + std::to_string(i) + "," + EntryJson(here, i);
        if (pairOf[i] < 0) {
            add("only-here", "only here: " + Title(here, i), json);
            continue;
        }
        const std::size_t j = pairing.pairs[static_cast<std::size_t>(pairOf[i])].second;
        const std::string paired = json + ",\"otherIndex\":" + std::to_string(j);
        const StoredEntry& a = here.Entries()[i];
        const StoredEntry& b = other.Entries()[j];
        if (a.width != b.width || a.height != b.height) {
            differs = true;
            add("size-changed",
                "size changed: " + Title(here, i) + ", in the other set #" + std::to_string(j) +
                    " " + Size(b),
                paired + ",\"otherWidth\":" + std::to_string(b.width) +
                    ",\"otherHeight\":" + std::to_string(b.height));
            continue;
        }
        const EntryComparison& r = measured[next++];
        if (!r.skipped.empty()) {
            // The same trouble on both sides is no change that can be seen;
            // a pair whose measuring failed is never taken as unchanged.
            if (r.failed || EntryDataProblem(here, a) != EntryDataProblem(other, b)) {
                differs = true;
            }
            add("not-measured", "not measured: " + Title(here, i) + " (" + r.skipped + ")",
                paired + ",\"skipped\":" + JsonString(FromUtf8(r.skipped)));
        } else if (r.measures.differing > 0) {
            differs = true;
            add("pixels-differ",
                "pixels differ: " + Title(here, i) + ": " + DescribeMeasures(r.measures),
                paired + "," + MeasuresJson(r.measures));
        } else if (o.all) {
            add("unchanged", "unchanged: " + Title(here, i), paired);
        }
    }
    for (std::size_t j : pairing.onlyInSecond) {
        add("only-in-other", "only in the other set: " + Title(other, j),
            "\"otherIndex\":" + std::to_string(j) + "," + EntryJson(other, j));
    }
    std::string text = o.json ? "{\"compareWith\":[" : "";
    for (std::size_t k = 0; k < items.size(); ++k) {
        text += (o.json && k > 0 ? "," : "") + items[k];
    }
    if (o.json) {
        text += "]}\n";
    } else if (items.empty()) {
        text = DisplayPath(o.listing) + ": no differences from " + DisplayPath(o.other) + "\n";
    }
    out << text;
    if (const std::string failed = FailedMeasures(measured); !failed.empty()) {
        err << kProgram << ": " << failed << '\n';
    }
    return differs ? 1 : 0;
}

}  // namespace marrowix::inspect
