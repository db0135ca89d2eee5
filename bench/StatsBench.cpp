// Statistics of textures, on the paths this machine has:
//   build/default/bench/marrowix_stats_bench
// - one 4096 x 4096 "dxt" texture of random blocks, and one of a single
//   colour (every texel the same: the histograms' worst case), at 4-bit and
//   8-bit precision: median of 9 runs;
// - the command-line tool's --stats over a set with 1 GiB of data (64
//   textures of 4096 x 4096) of random blocks and of a photographic texture,
//   against reading its data file once, both from the page cache, on every
//   stats path.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BenchImages.h"
#include "Machine.h"
#include "decode/Decode.h"
#include "inspect/Inspect.h"
#include "stats/KeyedCounts.h"
#include "stats/TextureStats.h"
#include "tools/DxtEncoder.h"

namespace {

namespace fs = std::filesystem;
using namespace marrowix;

enum class Content { kRandom, kOneColour, kPhotographic };

// A "dxt" set of `count` textures of 4096 x 4096: random blocks, one block
// repeated, or a photographic plasma with an alpha ramp (the export
// bench's) encoded once; returns its listing.
fs::path WriteSet(const fs::path& dir, const std::string& name, int count, Content content) {
    const std::uint64_t bytes = BlockDataSize(4096, 4096);
    std::string listing;
    std::vector<std::uint32_t> table;
    for (int i = 0; i < count; ++i) {
        listing += "\"t" + std::to_string(i) + "\" width=4096 height=4096\n";
        table.push_back(static_cast<std::uint32_t>(i * (bytes + 8)));
    }
    std::ofstream(dir / (name + ".txt"), std::ios::binary) << listing;
    std::ofstream(dir / (name + ".dxt.toc"), std::ios::binary)
        .write(reinterpret_cast<const char*>(table.data()),
               static_cast<std::streamsize>(table.size() * 4));
    std::vector<std::uint8_t> photo;
    if (content == Content::kPhotographic) {
        photo.assign(8, 0);
        const std::vector<std::uint8_t> blocks =
            EncodeDxt5Image(4096, 4096, bench::PlasmaImage(4096, 2024, 0.8f));
        photo.insert(photo.end(), blocks.begin(), blocks.end());
    }
    std::mt19937_64 random(11);
    std::vector<std::uint64_t> data((bytes + 8) / 8);
    std::ofstream file(dir / (name + ".dxt.dat"), std::ios::binary);
    for (int i = 0; i < count; ++i) {
        if (content == Content::kPhotographic) {
            file.write(reinterpret_cast<const char*>(photo.data()),
                       static_cast<std::streamsize>(photo.size()));
            continue;
        }
        for (std::size_t k = 0; k < data.size(); ++k) {
            data[k] = content == Content::kOneColour
                          ? (k % 2 == 1 ? 0x12345678'9ABCDEF0ull : 0xFFFF)
                          : random();
        }
        file.write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(bytes + 8));
    }
    return dir / (name + ".txt");
}

double ReadFileSeconds(const fs::path& path) {
    std::vector<char> buffer(std::size_t{8} << 20);
    return bench::Seconds(
        [&] {
            const int fd = ::open(path.c_str(), O_RDONLY);
            while (::read(fd, buffer.data(), buffer.size()) > 0) {
            }
            ::close(fd);
        },
        3);
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("marrowix-stats-" + std::to_string(getpid()));
    fs::create_directories(dir);
    bench::PrintMachine();
    std::printf("dxt figures on the stats path %s\n", DescribeStatsPath().c_str());
    for (const bool uniform : {false, true}) {
        CTextureSet set;
        OpenTextureSet(set,
                       FromNativePath(WriteSet(dir, uniform ? "one" : "random", 1,
                                               uniform ? Content::kOneColour : Content::kRandom)
                                          .string()),
                       u"dxt");
        for (const Precision precision : {Precision::kNibbles, Precision::kFull}) {
            const double s = bench::Seconds([&] { ComputeStats(set, 0, precision); }, 9);
            std::printf("4096 x 4096 dxt, %s, %s: %.1f ms (target 30)\n",
                        uniform ? "one colour" : "random blocks",
                        precision == Precision::kFull ? "8-bit" : "4-bit", s * 1e3);
        }
    }
    for (const Content content : {Content::kRandom, Content::kPhotographic}) {
        const fs::path listing = WriteSet(dir, "gib", 64, content);
        const double read = ReadFileSeconds(dir / "gib.dxt.dat");
        // Every path in one run, the one taken last.
        const StatsPath taken = ActiveStatsPath();
        std::vector<StatsPath> paths = AvailableStatsPaths();
        paths.erase(std::find(paths.begin(), paths.end(), taken));
        paths.push_back(taken);
        for (const StatsPath path : paths) {
            ForceStatsPath(path);
            const double stats = bench::Seconds(
                [&] {
                    std::ostringstream out;
                    std::ostringstream err;
                    inspect::Run({"--stats", "--depth", "8", listing.string()}, out, err);
                },
                5);
            std::printf(
                "--stats --depth 8 over 1 GiB of %s (64 textures of 4096 x 4096), %s path: %.2f s, "
                "reading the data file %.2f s: %.1f x (target 4)\n",
                content == Content::kRandom ? "random blocks" : "photographic blocks",
                StatsPathName(path), stats, read, stats / read);
        }
    }
    fs::remove_all(dir);
    return 0;
}
