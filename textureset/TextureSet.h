// A texture set: a plain-text listing, an offset table and a data file.
//
// The listing names textures and categories; the offset table holds a 32-bit
// little-endian data position for every listing line; the data file holds the
// texels, as DXT5 blocks ("dxt") or as RGBA4444 texels ("etc").
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textureset/InputFile.h"
#include "textureset/SetTypes.h"
#include "textureset/Utf.h"

namespace marrowix {

// Told of each read of the listing (textureset/ListingObserver.h).
class ListingObserver;

class CTextureSet {
public:
    CTextureSet() = default;
    CTextureSet(const CTextureSet&) = delete;
    CTextureSet& operator=(const CTextureSet&) = delete;

    std::size_t GetEntryCount() const { return m_entries.size(); }
    TextureEntry GetEntry(std::size_t i) const;
    std::u16string GetEntryName(std::size_t i) const;
    // The entries and their names without copying, for views over large
    // sets: each byte of a name is one unit of it.
    std::span<const StoredEntry> Entries() const { return m_entries; }
    std::string_view GetEntryNameBytes(std::size_t i) const {
        return {reinterpret_cast<const char*>(m_names.data()) + m_entries[i].nameStart,
                m_entries[i].nameLength};
    }

    std::size_t GetCategoryCount() const { return m_categories.size(); }
    std::u16string GetCategoryName(std::size_t i) const { return m_categories[i]; }

    TextureMode GetMode() const { return m_mode; }
    InputFile* GetDataFile() const { return m_dataFile.get(); }
    InputFile* GetOffsetTableFile() const { return m_offsetTableFile.get(); }
    InputFile* GetListingFile() const { return m_listingFile.get(); }

    // The three paths of the set and whether each file could be opened; the
    // reason is empty for a file that was opened.
    const std::u16string& ListingPath() const { return m_listingPath; }
    const std::u16string& OffsetTablePath() const { return m_offsetTablePath; }
    const std::u16string& DataPath() const { return m_dataPath; }
    bool HasListingFile() const { return m_listingFile != nullptr; }
    bool HasOffsetTableFile() const { return m_offsetTableFile != nullptr; }
    bool HasDataFile() const { return m_dataFile != nullptr; }
    const std::string& ListingError() const { return m_listingError; }
    const std::string& OffsetTableError() const { return m_offsetTableError; }
    const std::string& DataError() const { return m_dataError; }

private:
    friend CTextureSet& OpenTextureSet(CTextureSet& set, const std::u16string& listingPath,
                                       const std::u16string& modeWord, ListingObserver* observer);
    friend int ReadListing(CTextureSet& set, const std::u16string& listingPath,
                           ListingObserver* observer);
    friend void OpenTextureSetInBothModes(CTextureSet& first, const std::u16string& firstMode,
                                          CTextureSet& second, const std::u16string& secondMode,
                                          const std::u16string& listingPath,
                                          ListingObserver* observer);

    // Sets the mode from the mode word ("etc" or "dxt") and opens the mode's
    // offset table and data file beside the listing.
    void OpenModeFiles(const std::u16string& listingPath, const std::u16string& modeWord);

    std::shared_ptr<InputFile> m_listingFile;  // shared by sets made from one reading
    std::unique_ptr<InputFile> m_dataFile;
    std::unique_ptr<InputFile> m_offsetTableFile;
    TextureMode m_mode = kModeEtc;
    Buffer<StoredEntry> m_entries;
    Buffer<std::uint8_t> m_names;  // the entries' names, one after another
    std::vector<std::u16string> m_categories;

    std::u16string m_listingPath;
    std::u16string m_offsetTablePath;
    std::u16string m_dataPath;
    std::string m_listingError;
    std::string m_offsetTableError;
    std::string m_dataError;
};

// A set shared by whoever shows or reads it: the last holder lets it go, so
// that no view, worker or panel can outlive the set it reads.
using SharedSet = std::shared_ptr<const CTextureSet>;

// Derives the offset-table or data path of a listing: the listing's final
// ".txt" (any case) becomes "." + modeWord + suffix, where suffix is ".toc" or
// ".dat"; a listing without that extension gets it appended.
std::u16string DeriveSetPath(const std::u16string& listingPath, const std::u16string& modeWord,
                             const std::u16string& suffix);

// Fills an empty set: mode from the mode word ("etc" or "dxt"), the offset
// table and data file opened read-only, then the listing read. Files that
// cannot be opened stay absent; the set records why. An observer is told of
// every read of the listing.
CTextureSet& OpenTextureSet(CTextureSet& set, const std::u16string& listingPath,
                            const std::u16string& modeWord, ListingObserver* observer = nullptr);

// Opens the listing once for two modes: `first` as OpenTextureSet opens it,
// then `second` from that same reading (the same entries, names and
// categories), each entry's offset looked up in the second mode's offset
// table at the entry's own listing line. A listing rewritten between two
// reads can never make the two sets disagree on their entries. An observer
// is told of every read of the listing.
void OpenTextureSetInBothModes(CTextureSet& first, const std::u16string& firstMode,
                               CTextureSet& second, const std::u16string& secondMode,
                               const std::u16string& listingPath,
                               ListingObserver* observer = nullptr);

// Reads the listing into the set: 1 when it was read, 0 when it cannot be opened.
int ReadListing(CTextureSet& set, const std::u16string& listingPath,
                ListingObserver* observer = nullptr);

// Empty when the entry's size can be read and shown; otherwise why not.
std::string CheckEntrySize(const TextureEntry& entry);
// Empty when entry `index` exists and its size can be read and shown;
// otherwise why not ("no entry 7 (the set has 3)", or CheckEntrySize's).
std::string CheckEntry(const CTextureSet& set, std::size_t index);
std::string CheckEntrySize(std::int32_t width, std::int32_t height);

}  // namespace marrowix
