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
        // What the parser hands on holds what its command needs.
        using namespace inspect;
        const Command& command = parsed.command;
        if (const auto* one = std::get_if<ExportCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(EndsWithNoCase(one->output, ".png") ||
                                EndsWithNoCase(one->output, ".bmp") ||
                                EndsWithNoCase(one->output, ".dds"));
            MARROWIX_FUZZ_CHECK((one->format == ImageFormat::kDds) ==
                                EndsWithNoCase(one->output, ".dds"));
            MARROWIX_FUZZ_CHECK(one->precision == Precision::kNibbles ||
                                one->format == ImageFormat::kPng);
        } else if (const auto* sheet = std::get_if<ContactSheetCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(EndsWithNoCase(sheet->output, ".png"));
            MARROWIX_FUZZ_CHECK(sheet->size >= 1 && sheet->size <= 1024);
            MARROWIX_FUZZ_CHECK(sheet->columns >= 1 && sheet->columns <= 10000);
            MARROWIX_FUZZ_CHECK(sheet->style.background <= 0xFFFFFF);
        } else if (const auto* every = std::get_if<ExportAllCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(!every->directory.empty());
            MARROWIX_FUZZ_CHECK(every->precision == Precision::kNibbles ||
                                every->format == ImageFormat::kPng);
        } else if (const auto* replace = std::get_if<ReplaceCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(!replace->replacements.empty() &&
                                !replace->repack.outputSet.empty());
        } else if (const auto* from = std::get_if<ReplaceFromCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(!from->repack.outputSet.empty());
        } else if (const auto* pack = std::get_if<PackCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(!pack->repack.outputSet.empty());
        } else if (const auto* compare = std::get_if<CompareCommand>(&command)) {
            MARROWIX_FUZZ_CHECK(!compare->failBelow ||
                                (*compare->failBelow >= 0 && *compare->failBelow <= 1000));
        }
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
