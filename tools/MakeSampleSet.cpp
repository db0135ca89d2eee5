// Writes the sample texture set into a folder: marrowix-make-sample DIR
#include <iostream>
#include <string>

#include "tools/SampleSet.h"

namespace {

constexpr const char* kUsage = "usage: marrowix-make-sample DIR\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string arg = argc == 2 ? argv[1] : "";
    if (arg == "--help" || arg == "-h") {
        std::cout << kUsage
                  << "\nWrites the sample texture set into DIR (made if missing): world.txt\n"
                     "with both encodings' offset tables and data files beside it.\n";
        return 0;
    }
    if (argc != 2 || arg.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    if (arg[0] == '-') {
        std::cerr << "marrowix-make-sample: unknown option '" << arg
                  << "' (a folder whose name starts with '-' is given as ./" << arg << ")\n"
                  << kUsage;
        return 2;
    }
    const std::filesystem::path dir(arg);
    const std::string error = marrowix::WriteSampleSet(dir);
    if (!error.empty()) {
        std::cerr << "marrowix-make-sample: " << error << '\n';
        return 1;
    }
    std::cout << (dir / "world.txt").string() << '\n';
    return 0;
}
