#include "textureset/TextureSet.h"
#include "textureset/ListingObserver.h"

#include <string>

namespace marrowix {

std::u16string DeriveSetPath(const std::u16string& listingPath, const std::u16string& modeWord,
                             const std::u16string& suffix) {
    static constexpr std::u16string_view kExtension = u".txt";
    std::u16string base = listingPath;
    if (base.size() >= kExtension.size()) {
        bool matches = true;
        const std::size_t at = base.size() - kExtension.size();
        for (std::size_t i = 0; i < kExtension.size(); ++i) {
            char16_t c = base[at + i];
            if (c >= u'A' && c <= u'Z') {
                c = static_cast<char16_t>(c - u'A' + u'a');
            }
            matches = matches && c == kExtension[i];
        }
        if (matches) {
            base.resize(at);
        }
    }
    return base + u"." + modeWord + suffix;
}

CTextureSet& OpenTextureSet(CTextureSet& set, const std::u16string& listingPath,
                            const std::u16string& modeWord, ListingObserver* observer) {
    set.m_listingFile.reset();
    set.m_entries.clear();
    set.m_names.clear();
    set.m_categories.clear();
    set.OpenModeFiles(listingPath, modeWord);
    ReadListing(set, listingPath, observer);
    return set;
}

void CTextureSet::OpenModeFiles(const std::u16string& listingPath, const std::u16string& modeWord) {
    if (modeWord == u"etc") {
        m_mode = kModeEtc;
    } else if (modeWord == u"dxt") {
        m_mode = kModeDxt;
    }
    m_listingPath = listingPath;
    m_offsetTablePath = DeriveSetPath(listingPath, modeWord, u".toc");
    m_dataPath = DeriveSetPath(listingPath, modeWord, u".dat");
    m_offsetTableError.clear();
    m_dataError.clear();
    m_offsetTableFile = InputFile::Open(m_offsetTablePath, &m_offsetTableError);
    m_dataFile = InputFile::Open(m_dataPath, &m_dataError);
}

TextureEntry CTextureSet::GetEntry(std::size_t i) const {
    const StoredEntry& stored = m_entries[i];
    TextureEntry entry;
    const std::uint8_t* name = m_names.data() + stored.nameStart;
    for (std::size_t k = 0; k < stored.nameLength; ++k) {
        entry.name[k] = name[k];
    }
    entry.width = stored.width;
    entry.height = stored.height;
    entry.offset = stored.offset;
    entry.category = stored.category;
    return entry;
}

std::u16string CTextureSet::GetEntryName(std::size_t i) const {
    const std::string_view bytes = GetEntryNameBytes(i);
    std::u16string name(bytes.size(), u'\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        name[k] = static_cast<unsigned char>(bytes[k]);
    }
    return name;
}

std::string CheckEntrySize(const TextureEntry& entry) {
    return CheckEntrySize(entry.width, entry.height);
}

std::string CheckEntry(const CTextureSet& set, std::size_t index) {
    if (index >= set.GetEntryCount()) {
        return "no entry " + std::to_string(index) + " (the set has " +
               std::to_string(set.GetEntryCount()) + ")";
    }
    return CheckEntrySize(set.GetEntry(index));
}

std::string CheckEntrySize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) {
        return "negative size " + std::to_string(width) + " x " + std::to_string(height);
    }
    const std::uint64_t texels =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (texels > kMaxTexels) {
        return "size " + std::to_string(width) + " x " + std::to_string(height) +
               " is too large (at most " + std::to_string(kMaxTexels) + " texels)";
    }
    return {};
}

std::uint64_t EntryDataSize(const TextureEntry& entry, TextureMode mode) {
    return EntryDataSize(entry.width, entry.height, mode);
}

std::uint64_t EntryDataSize(std::int32_t width, std::int32_t height, TextureMode mode) {
    const std::uint64_t w = width > 0 ? static_cast<std::uint64_t>(width) : 0;
    const std::uint64_t h = height > 0 ? static_cast<std::uint64_t>(height) : 0;
    if (mode == kModeDxt) {
        return ((w + 3) / 4) * ((h + 3) / 4) * 16;
    }
    return w * h * 2;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = 0xFFFD;
        std::size_t extra = 0;
        std::uint32_t minimum = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
            minimum = 0x10000;
        }
        ++i;
        if (b >= 0x80 && extra == 0) {
            c = 0xFFFD;
        }
        for (std::size_t k = 0; k < extra; ++k) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                c = 0xFFFD;
                extra = 0;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
            ++i;
        }
        if (extra > 0 && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
            c = 0xFFFD;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

namespace {

constexpr bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr char16_t kEscapedByteBase = 0xDC00;  // + a byte of 0x80 or more

// Length of the well-formed UTF-8 sequence at `i`, or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // bounds of the second byte
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = b == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::u16string FromNativePath(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) {
            out += static_cast<char16_t>(kEscapedByteBase + static_cast<unsigned char>(bytes[i]));
            ++i;
        } else {
            out += FromUtf8(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string ToNativePath(std::u16string_view path) {
    std::string out;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        const bool escapedByte = c >= kEscapedByteBase + 0x80 && c <= kEscapedByteBase + 0xFF &&
                                 !(i > 0 && IsHighSurrogate(path[i - 1]));
        if (escapedByte) {
            out += ToUtf8(path.substr(runStart, i - runStart));
            out += static_cast<char>(c - kEscapedByteBase);
            runStart = i + 1;
        }
    }
    out += ToUtf8(path.substr(runStart));
    return out;
}

}  // namespace marrowix
