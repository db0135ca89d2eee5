// --compare: every entry's dxt image against its etc image, worst first, as
// text or JSON; --fail-below makes it a gate.
#include <algorithm>

#include "inspect/commands/CommandSupport.h"
#include "inspect/commands/CompareSupport.h"
#include "textureset/SetCheck.h"

namespace marrowix::inspect {

int Execute(const CompareCommand& c, Io& io) {
    io.doing = "compare the sets";
    std::ostream& err = io.err;
    // One reading of the listing serves both encodings.
    CTextureSet dxt;
    CTextureSet etc;
    OpenTextureSetInBothModes(dxt, u"dxt", etc, u"etc", FromNativePath(c.listing));
    if (!CheckComparable(dxt, c.listing, err) || !CheckComparable(etc, c.listing, err)) {
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
    std::string text;
    JsonWriter json(text);
    if (c.json) {
        json.Object().Key("compare").Array();
    }
    for (const EntryComparison& r : results) {
        if (c.json) {
            json.Object().Key("index").Number(r.index);
            WriteEntry(json, dxt, r.index);
            if (r.skipped.empty()) {
                WriteMeasures(json, r.measures);
            } else {
                json.Key("skipped").Utf8(r.skipped);
            }
            json.End();
        } else {
            text +=
                ComparisonTitle(dxt, r.index) + ": " +
                (r.skipped.empty() ? DescribeMeasures(r.measures) : "not measured, " + r.skipped) +
                "\n";
        }
        if (!r.skipped.empty()) {
            ++unmeasured;
        } else if (c.failBelow && (r.measures.RgbPsnr() < *c.failBelow ||
                                   r.measures.Psnr(kAlpha) < *c.failBelow)) {
            belowGate = true;
        }
    }
    if (c.json) {
        json.End().End();
        text += '\n';
    }
    io.out << text;
    // An entry that could not be measured never passes: the measuring
    // failing is an error, and the gate passes only what it measured.
    const std::string failedMeasures = FailedMeasures(results);
    if (!failedMeasures.empty()) {
        err << kProgram << ": " << failedMeasures << '\n';
    }
    const bool gateFails = c.failBelow && (belowGate || unmeasured > 0);
    if (gateFails) {
        err << kProgram << ": fails --fail-below " << FormatDecibels(*c.failBelow) << ": "
            << (belowGate ? "an entry's PSNR is below " + FormatDecibels(*c.failBelow) + " dB"
                          : std::string())
            << (belowGate && unmeasured > 0 ? "; " : "")
            << (unmeasured > 0 ? GroupDigits(unmeasured) + " of " + GroupDigits(results.size()) +
                                     (results.size() == 1 ? " entry" : " entries") + " not measured"
                               : std::string())
            << '\n';
    }
    return gateFails || !failedMeasures.empty() ? 1 : 0;
}

}  // namespace marrowix::inspect
