// Writing a new texture set from an old one with some textures replaced, or
// from images alone: every file of the new set is written as a temporary
// beside the new listing and renamed into place only when all of them are
// complete (the listing last), through the same guarded writer as image
// exports; the source set is never written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "compare/Compare.h"
#include "repack/Encoders.h"
#include "repack/ImageInput.h"
#include "repack/ListingMap.h"

namespace marrowix {

struct RepackOptions {
    DxtQuality quality = DxtQuality::kNormal;
    bool dither = false;
    // Refuse to write the set when a texture's RGB or alpha PSNR is below.
    std::optional<double> failBelow;
    // The one encoding to write, or none for those the source set has
    // beside its listing (for a pack, both).
    std::optional<TextureMode> mode;
    // Replace what lies at the new set's names already (refused otherwise).
    bool overwrite = false;
    // Asked after each texture and before the commit: true ends the write
    // with nothing written (kCancelled).
    std::function<bool()> cancelled;
    // For tests: asked before each rename of the commit, by its number from
    // 0; true makes that rename fail as a failing disk would (EIO).
    std::function<bool(int step)> renameFails;
    // Told of each texture encoded: done, of total, and its texels.
    std::function<void(std::size_t done, std::size_t total, std::uint64_t texels)> progress;
};

// One texture put into a set: the entry, from which image, of what size.
// An image left empty is read from `source` when its turn comes, so that
// one image at a time is in memory.
struct Replacement {
    std::size_t index = 0;
    std::string source;  // the image's native path
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    InputImage image;
};

// One texture written in one encoding, measured through the decoder at full
// precision against the image it was made from.
struct WrittenTexture {
    std::size_t index = 0;
    TextureMode mode = kModeDxt;
    std::string source;
    Measures measures;
    bool blocksTaken = false;  // a DDS's DXT5 blocks, taken as they are
    std::string note;          // what the image's format could not carry
};

// The error of a write the user cancelled.
inline constexpr const char* kCancelled = "cancelled; nothing was written";

struct RepackResult {
    std::string error;  // empty when the set was written
    std::vector<WrittenTexture> written;
};

// A set as one command reads it: its listing read once for both encodings,
// and where each line lies in it. Whatever names, pairs, compares and writes
// works from this one reading, so that a listing changed meanwhile cannot
// make them disagree.
struct SourceSet {
    std::string listing;  // its native path
    CTextureSet dxt;
    CTextureSet etc;
    ListingMap map;
    const CTextureSet& InMode(TextureMode mode) const { return mode == kModeEtc ? etc : dxt; }
};

// Reads the set of `listing` once into `set`. Empty when its listing could
// be read whole, else why not.
std::string OpenSourceSet(const std::string& listing, SourceSet* set);

// Writes at `newListing` the set of `source` with each replacement's entry
// holding its image: every other entry's bytes, and every listing line but
// those of replaced entries whose size changed (and there only the width
// and height values), carried over as they are; offsets change only where
// data moved.
RepackResult ReplaceTextures(SourceSet& sourceSet, const std::string& newListing,
                             std::vector<Replacement> replacements, const RepackOptions& options);
// The same, reading the set of `listing` first.
RepackResult ReplaceTextures(const std::string& listing, const std::string& newListing,
                             std::vector<Replacement> replacements, const RepackOptions& options);

// Why a new set of `listing` could not be written at `newListing` (one of
// the set's own files, a folder in the way, a set already there without
// `overwrite`), or "": the checks a write makes before it writes anything,
// made alone, so that a dialog can ask again at once.
std::string CheckNewSetPlace(const std::string& listing, const std::string& newListing,
                             bool overwrite);

// One image of a pack: the category it goes into (-1: outside every
// category), its name, and where it is read from.
struct PackItem {
    int category = -1;
    std::string name;
    std::string path;
};

// Writes at `newListing` a set of the images given: the categories'
// lines first, then the textures in the order given, each image read and
// encoded in turn. `categories` and the names must be ones the listing can
// hold (see CheckPackName).
RepackResult PackTextures(const std::vector<std::string>& categories,
                          const std::vector<PackItem>& items, const std::string& newListing,
                          const RepackOptions& options);

// Why a texture (or, with `category`, a category) name cannot stand in a
// listing, or "": too long, a double quote, a line break or another control
// byte, white space in a category name.
std::string CheckPackName(const std::string& name, bool category);

}  // namespace marrowix
