// Writing the preview image of every texture of a set into a folder tree.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "textureset/TextureSet.h"

namespace marrowix::inspect {

// A texture or category name as a file name: characters that are unsafe in
// file names on the common desktops replaced by '_', never empty, never a
// name the system reserves.
std::string SafeFileName(std::u16string_view name);

// Where each entry's image goes, relative to the export folder: textures
// under their category's folder, root textures at the top; names kept unique
// (ignoring ASCII case) by adding the entry index. Empty for entries that
// are not exported (refused or empty sizes).
std::vector<std::string> ExportPaths(const CTextureSet& set, const std::string& extension);

// Writes every texture's image into `directory` (made if missing) as PNG
// (at `precision`) or BMP (the preview block). Returns the exit code: 0
// done, 1 when anything failed.
int ExportAll(const CTextureSet& set, const SetFileGuard& guard, const std::string& directory,
              ImageFormat format, Precision precision, std::ostream& err, bool progress);

}  // namespace marrowix::inspect
