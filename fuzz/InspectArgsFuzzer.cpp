// marrowix-inspect's own parsing: argument vectors (the input split at zero
// bytes), the JSON strings it writes names as, and paths as messages show
// them.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "inspect/Inspect.h"

using namespace marrowix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() <= 16; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    const inspect::ParsedArguments parsed = inspect::ParseArguments(args);
    if (!parsed.help && !parsed.version && parsed.error.empty()) {
        const inspect::Options& o = parsed.options;
        using inspect::Command;
        MARROWIX_FUZZ_CHECK(o.mode == "dxt" || o.mode == "etc");
        MARROWIX_FUZZ_CHECK(o.format == "png" || o.format == "bmp");
        const bool repack = o.command == Command::kReplace || o.command == Command::kReplaceFrom ||
                            o.command == Command::kPack;
        MARROWIX_FUZZ_CHECK(!o.json || o.command == Command::kList ||
                            o.command == Command::kCheck || o.command == Command::kCompare ||
                            o.command == Command::kCompareWith || repack);
        MARROWIX_FUZZ_CHECK(repack == !o.outputSet.empty());
        MARROWIX_FUZZ_CHECK((o.command == Command::kReplace) == !o.replacements.empty());
        MARROWIX_FUZZ_CHECK(o.command != Command::kPack || o.listing.empty());
        MARROWIX_FUZZ_CHECK(o.quality == "fast" || o.quality == "normal" || o.quality == "best");
        MARROWIX_FUZZ_CHECK(o.labels == "name" || o.labels == "name,size" || o.labels == "none");
        MARROWIX_FUZZ_CHECK(o.background == "checker" || o.background == "white" ||
                            o.background == "black" ||
                            (o.background.size() == 7 && o.background[0] == '#'));
        MARROWIX_FUZZ_CHECK((o.command == Command::kExport ||
                             o.command == Command::kContactSheet) == !o.output.empty());
        MARROWIX_FUZZ_CHECK(!o.all || o.command == Command::kCompareWith);
        MARROWIX_FUZZ_CHECK(!o.failBelow || o.command == Command::kCompare || repack);
        MARROWIX_FUZZ_CHECK(o.size >= 1 && o.size <= 1024 && o.columns >= 1 && o.columns <= 10000);
        MARROWIX_FUZZ_CHECK((o.command == Command::kExportAll) == !o.directory.empty());
    }

    // Names as UTF-16 units: the JSON string has no raw control character
    // and no unescaped quote.
    std::u16string name;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        name += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    const std::string json = inspect::JsonString(name);
    MARROWIX_FUZZ_CHECK(json.size() >= 2 && json.front() == '"' && json.back() == '"');
    bool escaped = false;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        MARROWIX_FUZZ_CHECK(c >= 0x20);
        if (!escaped) {
            MARROWIX_FUZZ_CHECK(c != '"');
        }
        escaped = !escaped && c == '\\';
    }
    MARROWIX_FUZZ_CHECK(!escaped);

    // A path's bytes as messages show them: no control character, C0, DEL
    // or C1, reaches the terminal raw, and the text is UTF-8.
    const std::string shown =
        DisplayPath(std::string_view(reinterpret_cast<const char*>(data), size));
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto c = static_cast<unsigned char>(shown[i]);
        MARROWIX_FUZZ_CHECK(c >= 0x20 && c != 0x7F);
        MARROWIX_FUZZ_CHECK(!(c == 0xC2 && i + 1 < shown.size() &&
                              static_cast<unsigned char>(shown[i + 1]) < 0xA0));
    }
    MARROWIX_FUZZ_CHECK(FromNativePath(shown) == FromUtf8(shown));
    return 0;
}
