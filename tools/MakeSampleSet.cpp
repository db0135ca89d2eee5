// Writes the sample texture set into a folder: marrowix-make-sample DIR
#include <iostream>

#include "tools/SampleSet.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: marrowix-make-sample DIR\n";
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    const std::string error = marrowix::WriteSampleSet(dir);
    if (!error.empty()) {
        std::cerr << "marrowix-make-sample: " << error << '\n';
        return 1;
    }
    std::cout << (dir / "world.txt").string() << '\n';
    return 0;
}
