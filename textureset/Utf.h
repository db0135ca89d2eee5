// Text between UTF-16 (names and paths as a set keeps them), UTF-8 and a
// file system's bytes.
#pragma once

#include <string>
#include <string_view>

namespace marrowix {

// UTF-16 to UTF-8 and back; unpaired surrogates and invalid bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// A file-system path's bytes to UTF-16 and back without loss: valid UTF-8 is
// decoded, and each byte that is not becomes U+DC80-U+DCFF, which
// ToNativePath turns back into that byte.
std::u16string FromNativePath(std::string_view bytes);
std::string ToNativePath(std::u16string_view path);

}  // namespace marrowix
