// Runs a fuzz target over files and folders of inputs without libFuzzer, so
// that every build replays the seed corpora and the regression inputs.
// Each input is read into a buffer of exactly its size.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool Replay(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
        return false;
    }
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    auto bytes = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    file.read(reinterpret_cast<char*>(bytes.get()), static_cast<std::streamsize>(size));
    LLVMFuzzerTestOneInput(bytes.get(), size);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::vector<std::filesystem::path> inputs;
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                // Hidden files (such as .gitkeep) are not inputs.
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                    inputs.push_back(entry.path());
                }
            }
            std::sort(inputs.begin(), inputs.end());
        } else {
            inputs.push_back(arg);
        }
        for (const auto& input : inputs) {
            if (!Replay(input)) {
                return 1;
            }
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
