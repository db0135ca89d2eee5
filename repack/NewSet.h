// The files of a new set while they are written: every file a pending
// temporary beside the new listing, all renamed into place together when
// complete, the listing last; and the writing of one texture into them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imagefiles/OutputFolder.h"
#include "repack/ListingMap.h"
#include "repack/SetWriter.h"

namespace marrowix {

// The place of data that has none of its own: after the end of the data file.
constexpr std::uint64_t kAtTheEnd = ~std::uint64_t{0};

// The files of one encoding of the new set, being written.
struct ModeFiles {
    const CTextureSet* source = nullptr;  // the old set's, for a replacement
    TextureMode mode = kModeDxt;
    std::unique_ptr<PendingFile> table;
    std::unique_ptr<PendingFile> data;
    std::uint64_t dataEnd = 0;  // where appended data goes
};

// The pending files of the new set: the listing and each encoding's table
// and data file, all beside `newListing`.

// The pending files of a new set: the listing and each encoding's table
// and data file, all beside the new listing, renamed into place together.
struct NewSet {
    OutputFolder folder;
    SetFileGuard guard;  // the source set's files: never written
    std::unique_ptr<PendingFile> listing;
    std::vector<ModeFiles> modes;

    // Opens the new listing's folder (made where missing) and makes the
    // pending listing and, for each encoding of `which`, table and data file.
    std::string Make(const std::string& newListing, const std::vector<TextureMode>& which);
    // Renames every file into place, the listing last.
    std::string Commit();
    // Encodes `image` for `files`' encoding and writes it with `header` at
    // `place` in the data file (after its end when there is none), its offset
    // at read `read` of the table. Empty on success, else "(dxt): why".
    std::string PutImage(ModeFiles& files, const InputImage& image,
                         const std::uint8_t (&header)[kTextureHeaderBytes], std::uint64_t place,
                         std::uint64_t read, const RepackOptions& options, WrittenTexture* written);
    // Writes the listing's text and reads it back through its open file.
    std::string WriteListing(const std::string& text, CTextureSet& check, ListingMap& checkMap);
    // "cannot write 'PATH': REASON".
    std::string WriteError(const PendingFile& file, int error) const;
};

// "dxt" or "etc".
const char* ModeWord(TextureMode mode);

// Writes n bytes at `at`; false, with the reason in *error, on failure.
bool WriteAt(int fd, std::uint64_t at, const std::uint8_t* data, std::size_t n, int* error);

// The whole of `from` to the start of `to`: by copy_file_range, which the
// kernel may do without reading the data, or by reads and writes.
bool CopyFile(InputFile& from, int to, int* error);

}  // namespace marrowix
