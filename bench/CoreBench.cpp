// Speed of the core on large inputs:
//   build/default/bench/marrowix_bench
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <random>

#include "decode/Decode.h"
#include "platform/ProcessMemory.h"
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
        std::string text;
        std::vector<std::uint8_t> table;
        for (int i = 0; i < 1000000; ++i) {
            if (i % 1000 == 0) {
                text += "cat=" + std::to_string(i / 1000) + " name=category_" +
                        std::to_string(i / 1000) + "\n";
            }
            text += "\"texture_" + std::to_string(i) + "\" cat=" + std::to_string(i / 1000) +
                    " width=" + std::to_string(4 + i % 500) + " height=64\n";
        }
        WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
        WriteFile(Dir() / "million.dxt.toc", RandomBytes(1001000 * 4));
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
