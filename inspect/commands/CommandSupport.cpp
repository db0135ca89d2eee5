#include "inspect/commands/CommandSupport.h"

#include <cmath>
#include <cstdio>

#include "compare/Compare.h"
#include "textureset/DisplayText.h"

namespace marrowix::inspect {
namespace {

std::string FileWarning(const char* what, const std::u16string& path, const std::string& reason) {
    return std::string(kProgram) + ": warning: cannot open " + what + " '" +
           DisplayPath(ToNativePath(path)) + "': " + reason;
}

// A PSNR in JSON: null when the images are the same (infinite).
void WriteDecibels(JsonWriter& json, double db) {
    json.Formatted(std::isinf(db) ? "null" : FormatDecibels(db));
}

}  // namespace

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string EntryTitle(const CTextureSet& set, std::size_t index) {
    return "entry " + std::to_string(index) + " " + JsonString(set.GetEntryName(index));
}

bool OpenForCommand(CTextureSet& set, const SetArgument& argument, Io& io, bool* partial) {
    io.doing = "read the listing";
    OpenTextureSet(set, FromNativePath(argument.listing), ModeWordU16(argument.mode));
    const std::string listing = DisplayPath(argument.listing);
    if (!set.HasListingFile()) {
        io.err << kProgram << ": cannot open listing '" << listing << "': " << set.ListingError()
               << '\n';
        return false;
    }
    *partial = !set.ListingError().empty();
    if (*partial) {
        io.err << kProgram << ": warning: listing '" << listing << "': " << set.ListingError()
               << '\n';
    }
    if (!set.HasOffsetTableFile()) {
        io.err << FileWarning("offset table", set.OffsetTablePath(), set.OffsetTableError())
               << '\n';
    }
    if (!set.HasDataFile()) {
        io.err << FileWarning("data file", set.DataPath(), set.DataError()) << '\n';
    }
    return true;
}

int WholeSetCode(int code, bool partial, std::ostream& err) {
    if (!partial) {
        return code;
    }
    err << kProgram << ": the listing was read only in part; the set is incomplete\n";
    return 1;
}

void WriteMeasures(JsonWriter& json, const Measures& m) {
    constexpr const char* kChannelNames[4] = {"r", "g", "b", "a"};
    json.Key("psnr").Object();
    for (int c = 0; c < 4; ++c) {
        json.Key(kChannelNames[c]);
        WriteDecibels(json, m.Psnr(static_cast<Channel>(c)));
    }
    json.Key("rgb");
    WriteDecibels(json, m.RgbPsnr());
    json.Key("rgbPremultiplied");
    WriteDecibels(json, m.RgbPremultipliedPsnr());
    json.End().Key("maxDiff").Object();
    for (int c = 0; c < 4; ++c) {
        json.Key(kChannelNames[c]).Number(m.maxDiff[c]);
    }
    char ssim[32];
    std::snprintf(ssim, sizeof ssim, "%.6f", m.ssim);
    json.End().Key("differing").Number(m.differing).Key("ssim").Formatted(ssim);
}

}  // namespace marrowix::inspect
