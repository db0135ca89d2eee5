#include "compare/Compare.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "compare/MeasureKernels.h"
#include "compare/Structural.h"
#include "platform/EveryCore.h"
#include "textureset/DisplayText.h"
#include "textureset/SetCheck.h"
#include "textureset/TexelAccess.h"

namespace marrowix {
namespace {

// Texels read of each image at a time.
constexpr std::size_t kTileTexels = std::size_t{1} << 17;

// A set's file as its path was given: two versions of a set usually share
// their files' names.
std::string ShownPath(const std::u16string& path) {
    return DisplayPath(ToNativePath(path));
}

}  // namespace

std::string UnreadableReason(const CTextureSet& set, std::size_t index) {
    const StoredEntry& e = set.Entries()[index];
    const std::string_view problem = EntryDataProblem(set, e);
    if (problem == "size-refused") {
        return "size refused: " + CheckEntrySize(e.width, e.height);
    }
    if (problem == "size-empty") {
        return "no texels";
    }
    if (problem == "data-past-end") {
        return set.HasDataFile() ? "data past the end of " + ShownPath(set.DataPath())
                                 : "no data file " + ShownPath(set.DataPath());
    }
    return {};
}

double PsnrOf(double mse) {
    return mse == 0 ? std::numeric_limits<double>::infinity()
                    : 10 * std::log10(255.0 * 255.0 / mse);
}

std::string FormatDecibels(double db) {
    if (std::isinf(db)) {
        return "inf";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", db);
    return text;
}

std::string DescribeMeasures(const Measures& m) {
    static constexpr const char* kNames[4] = {"R", "G", "B", "A"};
    std::string text = "PSNR";
    for (int c = 0; c < 4; ++c) {
        text +=
            std::string(" ") + kNames[c] + " " + FormatDecibels(m.Psnr(static_cast<Channel>(c)));
    }
    text += " RGB " + FormatDecibels(m.RgbPsnr()) + " dB";
    if (m.hasAlpha) {
        text += ", premultiplied " + FormatDecibels(m.RgbPremultipliedPsnr()) + " dB";
    }
    char ssim[32];
    std::snprintf(ssim, sizeof ssim, "%.4f", m.ssim);
    text += std::string("; SSIM ") + ssim + "; largest difference";
    for (int c = 0; c < 4; ++c) {
        text += std::string(" ") + kNames[c] + " " + std::to_string(m.maxDiff[c]);
    }
    return text + "; " + GroupDigits(m.differing) + " of " + GroupDigits(m.texels) +
           " texels differ";
}

double Measures::Psnr(Channel c) const {
    return PsnrOf(mse[c]);
}

double Measures::RgbPsnr() const {
    return PsnrOf((mse[kRed] + mse[kGreen] + mse[kBlue]) / 3);
}

double Measures::RgbPremultipliedPsnr() const {
    return PsnrOf((premultipliedMse[0] + premultipliedMse[1] + premultipliedMse[2]) / 3);
}

namespace kernels {

KernelSums MeasureScalar(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    KernelSums sums;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t pa = a[i];
        const std::uint32_t pb = b[i];
        const int shifts[4] = {16, 8, 0, 24};  // red, green, blue, alpha
        for (int c = 0; c < 4; ++c) {
            const auto va = static_cast<std::int32_t>((pa >> shifts[c]) & 0xFF);
            const auto vb = static_cast<std::int32_t>((pb >> shifts[c]) & 0xFF);
            const auto d = static_cast<std::uint32_t>(va > vb ? va - vb : vb - va);
            sums.squares[c] += d * d;
            sums.largest[c] = std::max(sums.largest[c], d);
        }
        sums.differing += pa != pb ? 1u : 0u;
    }
    return sums;
}

KernelSums MeasureNibblesScalar(const std::uint16_t* a, const std::uint32_t* b, std::size_t n) {
    KernelSums sums;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t widened = WidenTexel(a[i]);
        const KernelSums one = MeasureScalar(&widened, b + i, 1);
        for (int c = 0; c < 4; ++c) {
            sums.squares[c] += one.squares[c];
            sums.largest[c] = std::max(sums.largest[c], one.largest[c]);
        }
        sums.differing += one.differing;
    }
    return sums;
}

}  // namespace kernels

template <class First, class Kernel>
void MeasureSums::AddWith(const First* a, const std::uint32_t* b, std::size_t n, Kernel kernel) {
    for (std::size_t start = 0; start < n; start += kKernelTexels) {
        const std::size_t count = std::min(n - start, kKernelTexels);
        const KernelSums sums = kernel(a + start, b + start, count);
        for (int c = 0; c < 4; ++c) {
            m_squares[c] += sums.squares[c];
            m_max[c] = std::max(m_max[c], static_cast<std::uint8_t>(sums.largest[c]));
        }
        m_differing += sums.differing;
    }
    m_texels += n;
}

void MeasureSums::Add(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    AddWith(a, b, n, kernels::KernelsOf(ActiveMeasurePath()).wide);
}

void MeasureSums::Add(const std::uint16_t* a, const std::uint32_t* b, std::size_t n) {
    AddWith(a, b, n, kernels::KernelsOf(ActiveMeasurePath()).nibbles);
}

Measures MeasureSums::Result() const {
    Measures m;
    for (int c = 0; c < 4; ++c) {
        m.mse[c] = m_texels == 0 ? 0 : double(m_squares[c]) / double(m_texels);
        m.maxDiff[c] = m_max[c];
    }
    m.differing = m_differing;
    m.texels = m_texels;
    return m;
}

EntryComparison CompareEntries(const CTextureSet& a, std::size_t index, const CTextureSet& b,
                               std::size_t otherIndex) {
    EntryComparison result;
    result.index = index;
    result.otherIndex = otherIndex;
    const TextureEntry ea = a.GetEntry(index);
    const TextureEntry eb = b.GetEntry(otherIndex);
    if (ea.width != eb.width || ea.height != eb.height) {
        result.skipped = "sizes differ";
        return result;
    }
    result.skipped = UnreadableReason(a, index);
    if (result.skipped.empty()) {
        result.skipped = UnreadableReason(b, otherIndex);
    }
    if (!result.skipped.empty()) {
        return result;
    }
    const auto width = static_cast<std::uint32_t>(ea.width);
    const auto height = static_cast<std::uint32_t>(ea.height);
    // Tiles of at most kTileTexels: whole rows of blocks (so that "dxt"
    // rows start on a block) where a row of blocks fits, otherwise a row of
    // blocks cut into pieces, so that a texture of any shape is measured in
    // the same bounded memory.
    const std::uint32_t tileWidth =
        std::min<std::uint32_t>(width, static_cast<std::uint32_t>(kTileTexels / 4));
    const std::uint32_t rows =
        tileWidth < width
            ? 4
            : std::max<std::uint32_t>(4, static_cast<std::uint32_t>(kTileTexels / width) / 4 * 4);
    // An "etc" image is measured from its texels as read, widened as it is
    // measured (the measures are the same whichever image comes first).
    const bool etcA = a.GetMode() == kModeEtc;
    const bool etcB = b.GetMode() == kModeEtc;
    const CTextureSet& narrow = etcA ? a : b;
    const CTextureSet& wide = etcA ? b : a;
    const TextureEntry& en = etcA ? ea : eb;
    const TextureEntry& ew = etcA ? eb : ea;
    try {
        const std::size_t tile = std::size_t{tileWidth} * std::min(rows, height);
        Buffer<std::uint16_t> nibbles(etcA || etcB ? tile : 0);
        Buffer<std::uint32_t> texelsA(tile);
        Buffer<std::uint32_t> texelsB(tile);
        MeasureSums sums;
        PremultipliedSums premultiplied;
        bool complete = true;
        for (std::uint32_t y = 0; y < height; y += rows) {
            const std::uint32_t n = std::min(rows, height - y);
            for (std::uint32_t x = 0; x < width; x += tileWidth) {
                const std::uint32_t w = std::min(tileWidth, width - x);
                const std::size_t count = std::size_t{w} * n;
                if (etcA || etcB) {
                    complete &= ReadTexelRegion(narrow, en, y, n, x, w, nibbles.data());
                    complete &= ReadTexelRegion(wide, ew, y, n, x, w, texelsB.data());
                    sums.Add(nibbles.data(), texelsB.data(), count);
                    for (std::size_t i = 0; i < count; ++i) {
                        texelsA.data()[i] = WidenTexel(nibbles.data()[i]);
                    }
                } else {
                    complete &= ReadTexelRegion(a, ea, y, n, x, w, texelsA.data());
                    complete &= ReadTexelRegion(b, eb, y, n, x, w, texelsB.data());
                    sums.Add(texelsA.data(), texelsB.data(), count);
                }
                premultiplied.Add(texelsA.data(), texelsB.data(), count);
            }
        }
        const double ssim = LumaSsim(a, ea, b, eb, &complete);
        if (!complete) {
            // The files held the data when they were opened.
            result.skipped = "a read of the data failed";
            result.failed = true;
            return result;
        }
        result.measures = sums.Result();
        result.measures.premultipliedMse = premultiplied.Mse(result.measures.texels);
        result.measures.hasAlpha = premultiplied.HasAlpha();
        result.measures.ssim = ssim;
    } catch (const std::bad_alloc&) {
        result.skipped = "not enough memory";
        result.failed = true;
    }
    return result;
}

std::vector<EntryComparison> ComparePairs(
    const CTextureSet& a, const CTextureSet& b,
    const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
    std::vector<EntryComparison> results(pairs.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < pairs.size();) {
            results[i] = CompareEntries(a, pairs[i].first, b, pairs[i].second);
        }
    };
    RunOnEveryCore(pairs.size(), work);
    return results;
}

std::string CategoryNameOf(const CTextureSet& set, std::size_t index, bool* atRoot) {
    const std::uint32_t category = set.Entries()[index].category;
    *atRoot = category >= set.GetCategoryCount();
    return *atRoot ? std::string() : ToUtf8(set.GetCategoryName(category));
}

Pairing PairEntries(const CTextureSet& first, const CTextureSet& second) {
    using Key = std::tuple<bool, std::string, std::string_view>;
    auto key = [](const CTextureSet& set, std::size_t i) {
        bool atRoot = false;
        std::string category = CategoryNameOf(set, i, &atRoot);
        return Key{atRoot, std::move(category), set.GetEntryNameBytes(i)};
    };
    // The second set's entries of each name, in order, and how many of them
    // are taken.
    std::map<Key, std::pair<std::vector<std::size_t>, std::size_t>> seconds;
    for (std::size_t j = 0; j < second.GetEntryCount(); ++j) {
        seconds[key(second, j)].first.push_back(j);
    }
    Pairing pairing;
    for (std::size_t i = 0; i < first.GetEntryCount(); ++i) {
        const auto it = seconds.find(key(first, i));
        if (it == seconds.end() || it->second.second == it->second.first.size()) {
            pairing.onlyInFirst.push_back(i);
            continue;
        }
        pairing.pairs.emplace_back(i, it->second.first[it->second.second++]);
    }
    for (const auto& [k, list] : seconds) {
        pairing.onlyInSecond.insert(pairing.onlyInSecond.end(),
                                    list.first.begin() + static_cast<std::ptrdiff_t>(list.second),
                                    list.first.end());
    }
    std::sort(pairing.onlyInSecond.begin(), pairing.onlyInSecond.end());
    return pairing;
}

}  // namespace marrowix
