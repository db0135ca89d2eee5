#include "inspect/commands/CompareSupport.h"

#include "inspect/commands/CommandSupport.h"
#include "textureset/DisplayText.h"
#include "textureset/SetCheck.h"

namespace marrowix::inspect {

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

std::string SizeText(const StoredEntry& e) {
    return std::to_string(e.width) + " x " + std::to_string(e.height);
}

std::string ComparisonTitle(const CTextureSet& set, std::size_t index) {
    bool atRoot = false;
    const std::string category = CategoryNameOf(set, index, &atRoot);
    const std::string shown = DisplayName(set.GetEntryName(index));
    return "#" + std::to_string(index) + " \"" +
           (atRoot ? "" : DisplayName(FromUtf8(category)) + "/") + shown + "\" " +
           SizeText(set.Entries()[index]);
}

void WriteEntry(JsonWriter& json, const CTextureSet& set, std::size_t index) {
    const StoredEntry& e = set.Entries()[index];
    json.Key("name").String(set.GetEntryName(index));
    json.Key("width").Signed(e.width).Key("height").Signed(e.height);
}

}  // namespace marrowix::inspect
