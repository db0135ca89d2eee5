// Speed of the core on large inputs:
//   build/default/bench/marrowix_bench
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "BenchSets.h"
#include "decode/Decode.h"
#include "platform/ProcessMemory.h"
#include "textureset/PreviewImage.h"
#include "textureset/SetCheck.h"
#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

constexpr std::uint32_t kSide = 4096;

std::vector<std::uint8_t> RandomBytes(std::size_t n) {
    std::mt19937 random(1234);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// A folder of files made once per run and removed at exit.
class BenchDir {
public:
    BenchDir()
        : m_path(std::filesystem::temp_directory_path() /
                 ("marrowix-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_path);
    }
    ~BenchDir() { std::filesystem::remove_all(m_path); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

const BenchDir& Dir() {
    static BenchDir dir;
    return dir;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::u16string U16(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return FromUtf8(std::string(s.begin(), s.end()));
}

void BM_DecodeBlockImage(benchmark::State& state) {
    const auto blocks = RandomBytes(BlockDataSize(kSide, kSide));
    std::vector<std::uint16_t> out(std::size_t{kSide} * kSide);
    for (auto _ : state) {
        DecodeBlockImage(kSide, kSide, blocks, out, kLayoutRgba4444);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{kSide} * kSide);
}
BENCHMARK(BM_DecodeBlockImage)->Unit(benchmark::kMillisecond);

// A listing of a million texture lines, with a category line every thousand.
std::filesystem::path MillionLineListing() {
    const auto path = Dir() / "million.txt";
    if (!std::filesystem::exists(path)) {
        const std::string text = bench::MillionTextureListing();
        WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
        WriteFile(Dir() / "million.dxt.toc", RandomBytes(1001000 * 4));
    }
    return path;
}

// A sound set of a million 4 x 4 "etc" textures in a thousand categories:
// each texture's data right after the one before, the data file as long as
// they need.
std::filesystem::path SoundMillionSet() {
    const auto path = Dir() / "sound.txt";
    if (!std::filesystem::exists(path)) {
        std::string text;
        std::vector<std::uint8_t> table;
        std::uint32_t offset = 0;
        auto add = [&](std::uint32_t value) {
            for (int b = 0; b < 4; ++b) {
                table.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
            }
        };
        for (int i = 0; i < 1000000; ++i) {
            if (i % 1000 == 0) {
                text += "cat=" + std::to_string(i / 1000) + " name=category_" +
                        std::to_string(i / 1000) + "\n";
                add(0);
            }
            text += "\"texture_" + std::to_string(i) + "\" cat=" + std::to_string(i / 1000) +
                    " width=4 height=4\n";
            add(offset);
            offset += 8 + 4 * 4 * 2;
        }
        WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
        WriteFile(Dir() / "sound.etc.toc", table);
        WriteFile(Dir() / "sound.etc.dat", {});
        std::filesystem::resize_file(Dir() / "sound.etc.dat", offset);
    }
    return path;
}

void BM_ReadListing(benchmark::State& state) {
    const auto path = U16(MillionLineListing());
    for (auto _ : state) {
        CTextureSet set;
        OpenTextureSet(set, path, u"dxt");
        if (set.GetEntryCount() != 1000000) {
            state.SkipWithError("wrong entry count");
        }
    }
}
BENCHMARK(BM_ReadListing)->Unit(benchmark::kMillisecond);

// The floor of any listing pass: read the file and find its line ends.
void BM_ReadListingBytes(benchmark::State& state, const std::filesystem::path& (*listing)()) {
    const auto path = listing();
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        std::ifstream file(path, std::ios::binary);
        std::size_t lines = 0;
        while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               file.gcount() > 0) {
            const char* p = buffer.data();
            const char* end = p + file.gcount();
            while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
                ++lines;
                ++p;
            }
        }
        benchmark::DoNotOptimize(lines);
    }
}

const std::filesystem::path& Million() {
    static const auto path = MillionLineListing();
    return path;
}
const std::filesystem::path& Sound() {
    static const auto path = SoundMillionSet();
    return path;
}

BENCHMARK_CAPTURE(BM_ReadListingBytes, million, &Million)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadListingBytes, sound, &Sound)->Unit(benchmark::kMillisecond);

void BM_OpenSoundSet(benchmark::State& state) {
    const auto path = U16(Sound());
    for (auto _ : state) {
        CTextureSet set;
        OpenTextureSet(set, path, u"etc");
        benchmark::DoNotOptimize(set.Entries().data());
    }
}
BENCHMARK(BM_OpenSoundSet)->Unit(benchmark::kMillisecond);

// The whole-set check: a sound set (no problems), and random offsets whose
// data mostly overlaps (a problem for most entries).
void BM_CheckTextureSet(benchmark::State& state, const std::filesystem::path& (*listing)(),
                        const std::u16string& mode) {
    const auto path = U16(listing());
    for (auto _ : state) {
        CTextureSet set;
        const auto problems = CheckTextureSet(set, path, mode);
        benchmark::DoNotOptimize(problems.data());
        state.counters["problems"] = static_cast<double>(problems.size());
    }
}
BENCHMARK_CAPTURE(BM_CheckTextureSet, sound, &Sound, std::u16string(u"etc"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CheckTextureSet, overlapping, &Million, std::u16string(u"dxt"))
    ->Unit(benchmark::kMillisecond);

// A 4096 x 4096 texture in the given encoding.
std::u16string LargeSet(const std::string& mode) {
    const auto listing = Dir() / ("large.txt");
    if (!std::filesystem::exists(listing)) {
        const std::string text = "\"large\" width=4096 height=4096\n";
        WriteFile(listing, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    const auto data = Dir() / ("large." + mode + ".dat");
    if (!std::filesystem::exists(data)) {
        WriteFile(Dir() / ("large." + mode + ".toc"), {0, 0, 0, 0});
        const std::size_t bytes =
            8 + (mode == "dxt" ? BlockDataSize(kSide, kSide) : std::size_t{kSide} * kSide * 2);
        WriteFile(data, RandomBytes(bytes));
    }
    return U16(listing);
}

void BM_BuildPreviewDib(benchmark::State& state, const std::string& mode) {
    CTextureSet set;
    OpenTextureSet(set, LargeSet(mode), FromUtf8(mode));
    for (auto _ : state) {
        auto dib = BuildPreviewDib(set, 0);
        if (!dib.ok()) {
            state.SkipWithError(dib.error.c_str());
        }
        benchmark::DoNotOptimize(dib.value.data());
    }
}
BENCHMARK_CAPTURE(BM_BuildPreviewDib, etc, std::string("etc"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BuildPreviewDib, dxt, std::string("dxt"))->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace marrowix

// With --cold the buffers are not kept between runs, as on a first selection.
int main(int argc, char** argv) {
    bool cold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--cold") {
            cold = true;
            for (int j = i; j + 1 < argc; ++j) {
                argv[j] = argv[j + 1];
            }
            --argc;
        }
    }
    if (!cold) {
        marrowix::KeepFreedMemoryForReuse();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
