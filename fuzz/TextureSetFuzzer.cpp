// One input split into a listing, an offset table and a data file, opened as
// a set, and the preview of every entry the core does not refuse built.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include "FuzzSupport.h"
#include "compare/Compare.h"
#include "decode/Decode.h"
#include "textureset/PreviewImage.h"
#include "textureset/SetCheck.h"
#include "textureset/SetTree.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"
#include "thumbnails/Thumbnail.h"

namespace {

using namespace marrowix;

// Previews of one input may take this many texels in all, so that a run
// spends its time on the format rather than on clearing large images.
constexpr std::uint64_t kTexelBudget = std::uint64_t{1} << 14;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchDir dir;
    FuzzedDataProvider input(data, size);
    const bool dxt = input.ConsumeBool();
    const auto listingSize = input.ConsumeIntegral<std::uint16_t>();
    const auto tableSize = input.ConsumeIntegral<std::uint16_t>();
    const std::string listing = input.ConsumeBytesAsString(listingSize);
    const std::vector<std::uint8_t> table = input.ConsumeBytes<std::uint8_t>(tableSize);
    const std::vector<std::uint8_t> bytes = input.ConsumeRemainingBytes<std::uint8_t>();

    const std::string mode = dxt ? "dxt" : "etc";
    const auto listingPath = dir.Path() / "set.txt";
    fuzz::WriteFile(listingPath, listing.data(), listing.size());
    fuzz::WriteFile(dir.Path() / ("set." + mode + ".toc"), table.data(), table.size());
    fuzz::WriteFile(dir.Path() / ("set." + mode + ".dat"), bytes.data(), bytes.size());

    CTextureSet set;
    OpenTextureSet(set, FromUtf8(listingPath.string()), FromUtf8(mode));
    MARROWIX_FUZZ_CHECK(set.HasListingFile());
    MARROWIX_FUZZ_CHECK(set.GetEntryCount() <= listing.size());

    // Every entry hangs in the tree exactly once, in entry order.
    const SetTree tree(set);
    std::vector<std::uint8_t> seen(set.GetEntryCount(), 0);
    for (std::size_t c = 0; c <= tree.CategoryCount(); ++c) {
        const auto list = c < tree.CategoryCount() ? tree.Children(c) : tree.RootEntries();
        for (std::size_t i = 0; i < list.size(); ++i) {
            MARROWIX_FUZZ_CHECK(list[i] < seen.size() && seen[list[i]]++ == 0);
            MARROWIX_FUZZ_CHECK(i == 0 || list[i - 1] < list[i]);
        }
    }

    std::uint64_t budget = kTexelBudget;
    for (std::size_t i = 0; i < set.GetEntryCount(); ++i) {
        const TextureEntry entry = set.GetEntry(i);
        MARROWIX_FUZZ_CHECK(entry.category <= 0xFFFF);
        MARROWIX_FUZZ_CHECK(std::u16string_view(entry.name).size() <= kMaxNameLength);
        if (!CheckEntrySize(entry).empty()) {
            MARROWIX_FUZZ_CHECK(!BuildPreviewDib(set, i).ok());
            continue;
        }
        const std::uint64_t texels =
            std::uint64_t(entry.width) * static_cast<std::uint64_t>(entry.height);
        if (texels > budget) {
            continue;
        }
        budget -= texels;
        // A few texels located one by one agree with the whole read.
        const auto read = ReadTexels(set, entry);
        MARROWIX_FUZZ_CHECK(read.ok() && read.value.size() == texels);
        const auto w = static_cast<std::uint32_t>(entry.width);
        const auto h = static_cast<std::uint32_t>(entry.height);
        for (const auto& [x, y] : {std::pair{0u, 0u}, std::pair{w - 1, h - 1},
                                   std::pair{w / 2, h / 2}, std::pair{w - 1, 0u}}) {
            if (texels == 0) {
                break;
            }
            const auto found = LocateTexel(set, i, x, y);
            MARROWIX_FUZZ_CHECK(found.ok());
            MARROWIX_FUZZ_CHECK(found.value.texel == read.value[std::size_t{y} * w + x]);
            MARROWIX_FUZZ_CHECK(found.value.bytes.size() <= found.value.size);
        }
        MARROWIX_FUZZ_CHECK(!LocateTexel(set, i, w, 0).ok());

        const auto dib = BuildPreviewDib(set, i);
        MARROWIX_FUZZ_CHECK(dib.ok());
        MARROWIX_FUZZ_CHECK(dib.value.size() == kDibHeaderSize + texels * 4);
        const BITMAPINFOHEADER header = ReadDibHeader(dib.value);
        MARROWIX_FUZZ_CHECK(header.biWidth == entry.width && header.biHeight == entry.height);
        MARROWIX_FUZZ_CHECK(header.biSizeImage == texels * 4);
        // Each channel is a nibble in the high half of its byte.
        for (std::size_t p = kDibHeaderSize; p < dib.value.size(); ++p) {
            MARROWIX_FUZZ_CHECK((dib.value[p] & 0x0F) == 0);
        }
        // A thumbnail fits its side and reads no more than the entry's data;
        // an entry compared with itself differs nowhere.
        if (texels > 0) {
            const auto thumbnail = MakeThumbnail(set, i, 7, Precision::kFull);
            MARROWIX_FUZZ_CHECK(thumbnail.ok() && thumbnail.value.width <= 7 &&
                                thumbnail.value.height <= 7 &&
                                thumbnail.value.pixels.size() ==
                                    std::size_t{thumbnail.value.width} * thumbnail.value.height);
            MARROWIX_FUZZ_CHECK(thumbnail.value.bytesRead <= EntryDataSize(entry, set.GetMode()));
            const EntryComparison self = CompareEntries(set, i, set, i);
            MARROWIX_FUZZ_CHECK(!self.skipped.empty() || self.measures.differing == 0);
        }
    }

    // The check of the same set names only entries and lines it has.
    CTextureSet checked;
    const auto problems = CheckTextureSet(checked, FromUtf8(listingPath.string()), FromUtf8(mode));
    MARROWIX_FUZZ_CHECK(checked.GetEntryCount() == set.GetEntryCount());
    for (const SetProblem& p : problems) {
        MARROWIX_FUZZ_CHECK(!p.entry || *p.entry < set.GetEntryCount());
        MARROWIX_FUZZ_CHECK(!p.other || (p.entry && *p.other < *p.entry));
        MARROWIX_FUZZ_CHECK(!p.line || *p.line <= listing.size());
    }
    return 0;
}
