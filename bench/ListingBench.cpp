// Printing a large set: the command-line tool's listing and its JSON against
// --check, which reads the same three files:
//   build/default/bench/marrowix_listing_bench
// A set of 1,000,000 textures of 4 x 4 in 1,000 categories; each run in a
// process of its own (forked), as the tool runs, output to /dev/null; the
// best of 7.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Machine.h"
#include "inspect/Inspect.h"

namespace {

namespace fs = std::filesystem;

fs::path WriteSet(const fs::path& dir) {
    std::string listing;
    std::vector<std::uint32_t> table;
    for (int c = 0; c < 1000; ++c) {
        listing += "cat=" + std::to_string(c) + " name=Category " + std::to_string(c) + "\n";
        table.push_back(0);
    }
    listing += "\n";
    table.push_back(0);
    std::string data;
    const std::uint32_t header[2] = {4, 4};
    for (std::uint32_t i = 0; i < 1000000; ++i) {
        listing += "\"texture_" + std::to_string(i) + "_name\" cat=" + std::to_string(i % 1000) +
                   " width=4 height=4\n";
        table.push_back(static_cast<std::uint32_t>(data.size()));
        data.append(reinterpret_cast<const char*>(header), sizeof header);
        data.append(16, '\0');
    }
    std::ofstream(dir / "world.txt", std::ios::binary) << listing;
    std::ofstream(dir / "world.dxt.toc", std::ios::binary)
        .write(reinterpret_cast<const char*>(table.data()),
               static_cast<std::streamsize>(table.size() * 4));
    std::ofstream(dir / "world.dxt.dat", std::ios::binary) << data;
    return dir / "world.txt";
}

// The best time of a run in a child process.
double BestSeconds(const std::vector<std::string>& args) {
    double best = 1e9;
    for (int rep = 0; rep < 7; ++rep) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            std::ofstream out("/dev/null");
            std::ofstream err("/dev/null");
            marrowix::inspect::Run(args, out, err);
            out.flush();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main() {
    marrowix::bench::PrintMachine();
    const fs::path dir =
        fs::temp_directory_path() / ("marrowix-listing-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string listing = WriteSet(dir).string();
    const double check = BestSeconds({"--check", listing});
    const double list = BestSeconds({listing});
    const double json = BestSeconds({"--json", listing});
    std::printf(
        "1,000,000 textures: --check %.3f s, listing %.3f s (%.2f x), --json %.3f s (%.2f x)"
        " (target 1.3 x)\n",
        check, list, list / check, json, json / check);
    fs::remove_all(dir);
    return 0;
}
