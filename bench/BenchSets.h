// Texture sets the benchmarks share.
#pragma once

#include <string>

namespace marrowix::bench {

// The text of a listing of a million texture lines, with a category line
// before every thousand; widths vary from 4 to 503, heights are 64.
inline std::string MillionTextureListing() {
    std::string text;
    for (int i = 0; i < 1000000; ++i) {
        if (i % 1000 == 0) {
            text += "cat=" + std::to_string(i / 1000) + " name=category_" +
                    std::to_string(i / 1000) + "\n";
        }
        text += "\"texture_" + std::to_string(i) + "\" cat=" + std::to_string(i / 1000) +
                " width=" + std::to_string(4 + i % 500) + " height=64\n";
    }
    return text;
}

}  // namespace marrowix::bench
