// Each figure of the core against its floor, the time the memory alone
// needs, measured in one run:
//   taskset -c 0 build/default/bench/marrowix_ratio_bench
// "warm": buffers are reused, as the programs reuse them; "cold": the first
// run of a fresh process, every buffer new. Floors are the fastest of their
// runs, figures the median.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "BenchSets.h"
#include "Machine.h"
#include "decode/Decode.h"
#include "platform/ProcessMemory.h"
#include "textureset/PreviewImage.h"
#include "textureset/TextureSet.h"

namespace {

using namespace marrowix;
namespace fs = std::filesystem;

constexpr std::uint32_t kSide = 4096;

// The median of `reps` runs; with `best`, the fastest, as a floor is.
double Seconds(const std::function<void()>& run, int reps, bool best = false) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return best ? times.front() : times[times.size() / 2];
}

std::vector<std::uint8_t> RandomBytes(std::size_t n) {
    std::mt19937_64 random(1234);
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        const std::uint64_t v = random();
        std::memcpy(bytes.data() + i, &v, 8);
    }
    return bytes;
}

void WriteFile(const fs::path& path, const void* data, std::size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

struct Row {
    std::string figure;
    double seconds;
    std::string floor;
    double floorSeconds;
    double target;  // the ratio aimed at; 0: none
};

void Print(const std::vector<Row>& rows) {
    std::printf("%-44s %10s  %-28s %10s %7s %7s\n", "figure", "ms", "floor", "floor ms", "ratio",
                "target");
    for (const Row& r : rows) {
        char target[16] = "";
        if (r.target > 0) {
            std::snprintf(target, sizeof target, "%.1f", r.target);
        }
        std::printf("%-44s %10.2f  %-28s %10.2f %7.2f %7s\n", r.figure.c_str(), r.seconds * 1e3,
                    r.floor.c_str(), r.floorSeconds * 1e3, r.seconds / r.floorSeconds, target);
    }
}

// A listing of a million textures in a thousand categories, and the time a
// fresh process takes to open it, to read it and count its lines, and its
// peak memory.
fs::path MillionListing(const fs::path& dir) {
    const std::string text = bench::MillionTextureListing();
    const fs::path path = dir / "million.txt";
    WriteFile(path, text.data(), text.size());
    const auto table = RandomBytes(1001000 * 4);
    WriteFile(dir / "million.dxt.toc", table.data(), table.size());
    return path;
}

int OpenInThisProcess(const char* listing) {
    const auto start = std::chrono::steady_clock::now();
    CTextureSet set;
    OpenTextureSet(set, FromNativePath(listing), u"dxt");
    const double open =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %ld %zu\n", open, usage.ru_maxrss, set.GetEntryCount());
    return 0;
}

// The first decode or preview of a fresh process: every buffer is new.
int DecodeColdInThisProcess() {
    const std::vector<std::uint8_t> blocks = RandomBytes(BlockDataSize(kSide, kSide));
    const auto start = std::chrono::steady_clock::now();
    Buffer<std::uint16_t> out(std::size_t{kSide} * kSide);
    DecodeBlockImage(kSide, kSide, blocks, out, kLayoutRgba4444);
    std::printf("%.6f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}

int PreviewColdInThisProcess(const char* listing, const char* mode) {
    CTextureSet set;
    OpenTextureSet(set, FromNativePath(listing), FromUtf8(mode));
    const auto start = std::chrono::steady_clock::now();
    const auto dib = BuildPreviewDib(set, 0);
    std::printf("%.6f\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return dib.ok() ? 0 : 1;
}

int CountLinesInThisProcess(const char* listing) {
    const auto start = std::chrono::steady_clock::now();
    std::FILE* file = std::fopen(listing, "rb");
    std::vector<char> buffer(1 << 16);
    std::size_t lines = 0;
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (const char* p = buffer.data();
             (p = static_cast<const char*>(std::memchr(p, '\n', buffer.data() + n - p))) != nullptr;
             ++p) {
            ++lines;
        }
    }
    std::fclose(file);
    std::printf("%.6f %zu\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                lines);
    return 0;
}

// Runs this program again with `args` and reads the first number it prints.
std::vector<double> RunFresh(const std::string& self, const std::string& args) {
    std::vector<double> numbers;
    std::FILE* pipe = ::popen((self + " " + args).c_str(), "r");
    double v = 0;
    while (pipe != nullptr && std::fscanf(pipe, "%lf", &v) == 1) {
        numbers.push_back(v);
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return numbers;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--open") {
        return OpenInThisProcess(argv[2]);
    }
    if (argc == 3 && std::string(argv[1]) == "--count-lines") {
        return CountLinesInThisProcess(argv[2]);
    }
    if (argc == 2 && std::string(argv[1]) == "--cold-decode") {
        return DecodeColdInThisProcess();
    }
    if (argc == 4 && std::string(argv[1]) == "--cold-preview") {
        return PreviewColdInThisProcess(argv[2], argv[3]);
    }
    // As the programs do: freed memory is kept, so a "warm" run reuses pages.
    KeepFreedMemoryForReuse();
    bench::PrintMachine();
    const fs::path dir = fs::temp_directory_path() / ("marrowix-ratio-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<Row> rows;

    // Floors.
    const std::size_t blockBytes = BlockDataSize(kSide, kSide);  // 16 MiB
    const std::vector<std::uint8_t> blocks = RandomBytes(blockBytes);
    std::vector<std::uint16_t> wide(std::size_t{kSide} * kSide);
    const double readWrite = Seconds(
        [&] {
            // Read 16 MiB, write 32 MiB.
            const std::uint8_t* in = blocks.data();
            std::uint16_t* out = wide.data();
            for (std::size_t i = 0; i < blockBytes; ++i) {
                out[i] = in[i];
            }
            asm volatile("" : : "r"(out) : "memory");
        },
        25, true);
    std::vector<std::uint8_t> copyFrom = RandomBytes(std::size_t{64} << 20);
    std::vector<std::uint8_t> copyTo(copyFrom.size());
    const double memcpy64 = Seconds(
        [&] {
            std::memcpy(copyTo.data(), copyFrom.data(), copyFrom.size());
            asm volatile("" : : "r"(copyTo.data()) : "memory");
        },
        25, true);

    const DecodePath best = ActiveDecodePath();
    for (DecodePath path : AvailableDecodePaths()) {
        ForceDecodePath(path);
        const double target = path == best ? 2.0 : path == DecodePath::kAvx2 ? 4.0 : 0.0;
        rows.push_back(
            {std::string("DecodeBlockImage 4096^2, warm, ") + DecodePathName(path),
             Seconds([&] { DecodeBlockImage(kSide, kSide, blocks, wide, kLayoutRgba4444); }, 15),
             "read 16 MiB, write 32 MiB", readWrite, target});
    }
    // Full precision writes twice the bytes: against the same floor, and
    // against the floor of the bytes it writes.
    std::vector<std::uint32_t> full(std::size_t{kSide} * kSide);
    const double readWriteFull = Seconds(
        [&] {
            // Read 16 MiB, write 64 MiB.
            const std::uint8_t* in = blocks.data();
            std::uint32_t* out = full.data();
            for (std::size_t i = 0; i < blockBytes; ++i) {
                out[i] = in[i];
            }
            asm volatile("" : : "r"(out) : "memory");
        },
        25, true);
    for (DecodePath path : AvailableDecodePaths()) {
        ForceDecodePath(path);
        const double seconds = Seconds(
            [&] { DecodeBlockImage(kSide, kSide, blocks, std::span<std::uint32_t>(full)); }, 15);
        const std::string figure =
            std::string("DecodeBlockImage 8-bit 4096^2, warm, ") + DecodePathName(path);
        rows.push_back(
            {figure, seconds, "read 16 MiB, write 32 MiB", readWrite, path == best ? 2.0 : 0.0});
        rows.push_back({figure, seconds, "read 16 MiB, write 64 MiB", readWriteFull,
                        path == best ? 2.0 : 0.0});
    }
    ForceDecodePath(best);
    const std::string self = fs::canonical("/proc/self/exe").string();
    auto fresh = [&](const std::string& args) {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            const auto numbers = RunFresh(self, args);
            if (!numbers.empty()) {
                times.push_back(numbers[0]);
            }
        }
        std::sort(times.begin(), times.end());
        return times.empty() ? 0.0 : times[times.size() / 2];
    };
    rows.push_back({"DecodeBlockImage 4096^2, cold", fresh("--cold-decode"),
                    "read 16 MiB, write 32 MiB", readWrite, 4});

    for (const std::string mode : {"dxt", "etc"}) {
        const std::string text = "\"large\" width=4096 height=4096\n";
        WriteFile(dir / ("large.txt"), text.data(), text.size());
        const std::uint32_t zero = 0;
        WriteFile(dir / ("large." + mode + ".toc"), &zero, 4);
        const auto data =
            RandomBytes(8 + (mode == "dxt" ? blockBytes : std::size_t{kSide} * kSide * 2));
        WriteFile(dir / ("large." + mode + ".dat"), data.data(), data.size());
        CTextureSet set;
        OpenTextureSet(set, FromNativePath((dir / "large.txt").string()), FromUtf8(mode));
        rows.push_back({"BuildPreviewDib 4096^2 " + mode + ", warm",
                        Seconds([&] { BuildPreviewDib(set, 0); }, 9), "memcpy 64 MiB", memcpy64,
                        mode == "dxt" ? 2.5 : 1.5});
        rows.push_back({"BuildPreviewDib 4096^2 " + mode + ", cold",
                        fresh("--cold-preview " + (dir / "large.txt").string() + " " + mode),
                        "memcpy 64 MiB", memcpy64, 4});
    }

    const fs::path listing = MillionListing(dir);
    std::vector<double> opens;
    std::vector<double> counts;
    double peak = 0;
    for (int i = 0; i < 5; ++i) {
        const auto open = RunFresh(self, "--open " + listing.string());
        const auto count = RunFresh(self, "--count-lines " + listing.string());
        if (open.size() >= 2 && !count.empty()) {
            opens.push_back(open[0]);
            peak = std::max(peak, open[1]);
            counts.push_back(count[0]);
        }
    }
    std::sort(opens.begin(), opens.end());
    std::sort(counts.begin(), counts.end());
    if (!opens.empty()) {
        rows.push_back({"OpenTextureSet 1,000,000, fresh process", opens[opens.size() / 2],
                        "read + memchr lines", counts[counts.size() / 2], 8});
    }
    Print(rows);
    std::printf("peak memory of the fresh process opening the listing: %.0f MiB\n", peak / 1024);
    fs::remove_all(dir);
    return 0;
}
