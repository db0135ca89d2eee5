// Writing a preview image (the block BuildPreviewDib returns) as a file. The
// image is written to a temporary file beside the target, made afresh under
// a unique name, and renamed into place, so a failure leaves nothing at the
// target. A set's own files are never written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix {

// The three files of a set, known by identity where they exist and by
// absolute path where they do not, so that no name, hard link or symbolic
// link can make a write reach them.
class SetFileGuard {
public:
    SetFileGuard() = default;
    explicit SetFileGuard(const CTextureSet& set);

    // Empty when the native path `path` is none of the set's files;
    // otherwise why it may not be written.
    std::string Refusal(const std::string& path) const;
    std::string Refusal(const FileIdentity& identity) const;

private:
    struct Guarded {
        std::string what;  // "listing", "offset table", "data file"
        bool known = false;
        FileIdentity identity;
        std::string absolute;  // lexically normal absolute path
    };
    std::vector<Guarded> m_files;
};

// A 14-byte BITMAPFILEHEADER followed by the block, byte for byte. Returns
// an empty string on success, otherwise the reason.
std::string WriteBmpFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard = {});

// A PNG of the block's pixels, top row first, with the fourth byte as alpha.
std::string WritePngFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard = {});

}  // namespace marrowix
