// marrowix-inspect's commands: one type for each, holding only what that
// command is given, already checked and typed by the parser
// (inspect/cli/OptionTable.h). Each is run by its own Execute, in a file of
// this folder named after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "repack/Encoders.h"
#include "textureset/TextureSet.h"
#include "thumbnails/ContactSheet.h"

namespace marrowix::inspect {

// The set a command reads: its listing, in the encoding --mode chose.
struct SetArgument {
    std::string listing;
    TextureMode mode = kModeDxt;
    bool modeGiven = false;
};

// What the commands that write a set share.
struct RepackArguments {
    std::string outputSet;  // the new set's listing
    DxtQuality quality = DxtQuality::kNormal;
    bool dither = false;
    std::optional<double> failBelow;
    bool overwrite = false;
    bool json = false;
};

struct ListCommand {  // the tree, or JSON
    SetArgument set;
    bool json = false;
};
struct ExportCommand {  // one preview image
    SetArgument set;
    std::size_t index = 0;
    std::string output;
    ImageFormat format = ImageFormat::kPng;
    Precision precision = Precision::kNibbles;
};
struct TexelCommand {  // where one texel comes from
    SetArgument set;
    std::size_t index = 0;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};
struct CheckCommand {  // every problem of the set
    SetArgument set;
    bool json = false;
};
struct StatsCommand {  // statistics of one entry or of every entry
    SetArgument set;
    std::optional<std::size_t> index;
    Precision precision = Precision::kNibbles;
    bool json = false;
};
struct ExportAllCommand {  // every preview image
    SetArgument set;
    std::string directory;
    ImageFormat format = ImageFormat::kPng;
    Precision precision = Precision::kNibbles;
};
struct ContactSheetCommand {  // thumbnails with names, in one PNG
    SetArgument set;
    std::string output;
    std::optional<std::size_t> category;
    std::uint32_t size = 128;
    std::uint32_t columns = 8;
    SheetStyle style;
};
struct CompareCommand {  // the two encodings of every entry
    std::string listing;
    std::optional<double> failBelow;
    bool json = false;
};
struct CompareWithCommand {  // two versions of a set
    SetArgument set;
    std::string other;
    bool all = false;
    bool json = false;
};
struct ReplaceCommand {  // a new set with textures replaced by images
    SetArgument set;
    std::vector<std::pair<std::size_t, std::string>> replacements;  // index, image
    RepackArguments repack;
};
struct ReplaceFromCommand {  // the same from a folder --export-all wrote
    SetArgument set;
    std::string folder;
    RepackArguments repack;
};
struct PackCommand {  // a new set from a folder of images
    std::string folder;
    std::optional<TextureMode> mode;  // both encodings unless --mode
    RepackArguments repack;
};

using Command = std::variant<ListCommand, ExportCommand, TexelCommand, CheckCommand, StatsCommand,
                             ExportAllCommand, ContactSheetCommand, CompareCommand,
                             CompareWithCommand, ReplaceCommand, ReplaceFromCommand, PackCommand>;

// Where a command writes, and what it is doing, for the message when memory
// runs out. A progress line goes to `err` only when it is a terminal.
struct Io {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    const char* doing = "start";
};

// Each returns the exit code: 0 done, 1 failed (named on `err`).
int Execute(const ListCommand& c, Io& io);
int Execute(const ExportCommand& c, Io& io);
int Execute(const TexelCommand& c, Io& io);
int Execute(const CheckCommand& c, Io& io);
int Execute(const StatsCommand& c, Io& io);
int Execute(const ExportAllCommand& c, Io& io);
int Execute(const ContactSheetCommand& c, Io& io);
int Execute(const CompareCommand& c, Io& io);
int Execute(const CompareWithCommand& c, Io& io);
int Execute(const ReplaceCommand& c, Io& io);
int Execute(const ReplaceFromCommand& c, Io& io);
int Execute(const PackCommand& c, Io& io);

}  // namespace marrowix::inspect
