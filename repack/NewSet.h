// The files of a new set while they are written: every file a pending
// temporary beside the new listing, all renamed into place together when
// complete, the listing last; and the writing of one texture into them.
#pragma once

#include <cstdint>
#include <functional>
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

// What lies at the new set's names already (a set written before, or an
// encoding's files alone) is refused unless `overwrite` is set; then it is
// replaced whole, files of an encoding not written included, so that no
// listing ever lies beside table or data files it does not describe.
struct NewSet {
    OutputFolder folder;
    SetFileGuard guard;  // the source set's files and the images: never written
    bool overwrite = false;
    std::function<bool(int step)> renameFails;  // see RepackOptions
    std::unique_ptr<PendingFile> listing;
    std::vector<ModeFiles> modes;

    NewSet() = default;
    NewSet(const NewSet&) = delete;
    NewSet& operator=(const NewSet&) = delete;
    // Without a commit, removes the temporaries and the folders it made.
    ~NewSet();

    // Opens the new listing's folder (made where missing), checks every name
    // the set's files take there, and makes the pending listing and, for
    // each encoding of `which`, table and data file.
    std::string Make(const std::string& newListing, const std::vector<TextureMode>& which);
    // Puts the new set in place: the files already at its names moved aside
    // (the listing first), the new ones renamed in (the listing last), and
    // what was moved aside removed. When a step fails everything done is
    // taken back, the listing last, and the message says what is where.
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

private:
    // The names of the set's five files in the folder, the listing first.
    std::vector<std::string> TargetNames() const;
    // Why the files at the set's names may not be replaced, or "".
    std::string CheckTargets(std::vector<std::string>* existing) const;

    std::string m_listingName;
    std::vector<std::string> m_madeFolders;
    bool m_committed = false;
};

// Writes n bytes at `at`; false, with the reason in *error, on failure.
bool WriteAt(const platform::File& file, std::uint64_t at, const std::uint8_t* data, std::size_t n,
             int* error);

// The whole of `from` to the start of `to`: where it can, by the system
// without reading the data (copy_file_range on Linux), the rest by reads
// and writes.
bool CopyFile(InputFile& from, const platform::File& to, int* error);

}  // namespace marrowix
