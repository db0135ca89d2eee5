// A texture set: a plain-text listing, an offset table and a data file.
//
// The listing names textures and categories; the offset table holds a 32-bit
// little-endian data position for every listing line; the data file holds the
// texels, as DXT5 blocks ("dxt") or as RGBA4444 texels ("etc").
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "textureset/InputFile.h"
#include "textureset/LargeBuffers.h"

namespace marrowix {

// Encoding of a set's texels.
enum TextureMode : std::int32_t {
    kModeEtc = 0,  // 16-bit RGBA4444 texels stored as they are
    kModeDxt = 1,  // 16-byte DXT5 blocks
};

// The encoding's word, as file names, messages and JSON give it: "dxt" or "etc".
constexpr const char* ModeWord(TextureMode mode) {
    return mode == kModeDxt ? "dxt" : "etc";
}
constexpr const char16_t* ModeWordU16(TextureMode mode) {
    return mode == kModeDxt ? u"dxt" : u"etc";
}

constexpr std::size_t kNameUnits = 64;  // name buffer, including the terminating zero
constexpr std::size_t kMaxNameLength = kNameUnits - 1;
// The most characters a listing line holds and is still read whole.
constexpr std::size_t kMaxLineChars = 126;
// The category number of a texture outside every category, as sets that
// are packed write it: shown at the root, and not a problem for a check.
constexpr std::uint32_t kRootCategory = 0xFFFF;

// The fixed-size record of one texture, copied by value.
struct TextureEntry {
    char16_t name[kNameUnits] = {};  // zero-terminated, at most 63 units
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t offset = 0;    // position of the texture's data in the data file
    std::uint32_t category = 0;  // category index, low 16 bits of the listing's number
};

// An entry as a set keeps it: the fields of TextureEntry, with the name in
// the set's name pool as the listing's own bytes (each name unit is one
// byte of the listing), so that a listing of many short lines takes little
// memory.
struct StoredEntry {
    std::uint64_t nameStart = 0;  // where the name begins in the pool
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t offset = 0;
    std::uint16_t category = 0;
    std::uint8_t nameLength = 0;  // at most 63
};
static_assert(sizeof(StoredEntry) == 24, "an entry takes 24 bytes and its name");

// An allocator for large buffers that are filled right after they are made:
// new elements of trivial types are left uninitialised, and the memory asks
// for huge pages where it is large enough (see LargeBuffers.h).
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > std::size_t(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this),
                                                            p, std::forward<Args>(args)...);
    }
};

// A heap buffer whose `resize` does not clear what it adds.
template <class T>
using Buffer = std::vector<T, DefaultInitAllocator<T>>;

// A value or the reason it could not be made. `error` is empty on success.
template <class T>
struct Result {
    T value{};
    std::string error;
    // The error is that memory ran out (the same input may succeed later,
    // or with more memory): said apart from refusals of the input.
    bool outOfMemory = false;
    bool ok() const { return error.empty(); }
};

// Bytes at the start of each texture's data: a header, read past and not
// interpreted.
constexpr std::uint64_t kTextureHeaderBytes = 8;

// What the listing reader saw in one read of the listing, for checks that
// look deeper than the entries. Positions count characters from the start
// of the read.
struct ListingRead {
    std::uint64_t line = 0;      // 0-based count of reads; the offset table's index
    std::u16string_view chars;   // every character delivered, the line feed included
    std::size_t textLength = 0;  // the text proper: up to the first zero character
    bool isCategory = false;
    std::size_t categoryNameLength = 0;  // before the name was cut
    // Texture lines only.
    bool isTexture = false;
    std::size_t entry = 0;         // index of the entry the line made
    std::size_t closingQuote = 0;  // textLength when the line has none
    std::size_t nameLength = 0;    // before the name was cut
    std::bitset<128> scans;        // positions at which the key walk started a scan
    bool widthFound = false;       // a width= key was read on this line
    bool heightFound = false;
};

class ListingObserver {
public:
    virtual ~ListingObserver() = default;
    virtual void OnRead(const ListingRead& read) = 0;
};

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

// Largest number of texels (width x height) an entry may have: the byte
// counts of its texels and its preview image must fit 32 bits.
constexpr std::uint64_t kMaxTexels = (std::uint64_t{1} << 28) - 1;

// Empty when the entry's size can be read and shown; otherwise why not.
std::string CheckEntrySize(const TextureEntry& entry);
// Empty when entry `index` exists and its size can be read and shown;
// otherwise why not ("no entry 7 (the set has 3)", or CheckEntrySize's).
std::string CheckEntry(const CTextureSet& set, std::size_t index);
std::string CheckEntrySize(std::int32_t width, std::int32_t height);

// One texture's texels as RGBA4444, width x height of them, top row first.
// Texels the data file does not hold (absent file, data ending early) are 0.
Result<Buffer<std::uint16_t>> ReadTexels(const CTextureSet& set, const TextureEntry& entry);

// Rows firstRow to firstRow + rows - 1 of the same texels into `out` (rows x
// width texels), reading only the data they come from. For "dxt", firstRow
// is a multiple of 4. The entry's size must be one CheckEntrySize accepts.
// Returns false when the data file did not deliver every byte asked of it
// (absent, ending early, or a read that failed); those texels are as above.
bool ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint16_t* out);

// The same rows at 8 bits a channel, 0xAARRGGBB: for "dxt" the blocks
// decoded at full precision, for "etc" each nibble widened exactly (n x 17).
bool ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint32_t* out);

// A rectangle of the texels: `columns` from firstColumn in each of `rows`
// rows from firstRow, into `out` (rows x columns texels), so that a wide
// texture can be read in pieces of bounded size. For "dxt", firstRow and
// firstColumn are multiples of 4. Returns as ReadTexelRows does.
bool ReadTexelRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                     std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                     std::uint16_t* out);
bool ReadTexelRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                     std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                     std::uint32_t* out);

// An RGBA4444 texel at 8 bits a channel, 0xAARRGGBB, each nibble n widened
// exactly to n x 17.
constexpr std::uint32_t WidenTexel(std::uint16_t texel) {
    // Each nibble into the low half of its byte (blue, green, red, alpha),
    // then times 17: n x 17 is at most 255, so no byte carries into the next.
    const std::uint32_t t = texel;
    return (((t & 0xF0u) >> 4) | (t & 0xF00u) | ((t & 0xF000u) << 4) | ((t & 0xFu) << 24)) * 17;
}

// Bytes of data the entry's texels take after its header: width x height x 2
// for "etc", its blocks for "dxt". Meant for sizes CheckEntrySize accepts.
std::uint64_t EntryDataSize(const TextureEntry& entry, TextureMode mode);
std::uint64_t EntryDataSize(std::int32_t width, std::int32_t height, TextureMode mode);

// Where one texel of an entry comes from in the data file.
struct TexelLocation {
    std::uint16_t texel = 0;          // RGBA4444, as ReadTexels gives it
    std::uint32_t full = 0;           // 0xAARRGGBB at full precision
    std::uint64_t offset = 0;         // first byte of the stretch it is decoded from
    std::uint32_t size = 0;           // 2 for "etc", 16 (its block) for "dxt"
    std::vector<std::uint8_t> bytes;  // what the data file holds of the stretch
    bool hasBlock = false;            // "dxt": the fields below are set
    std::uint32_t blockColumn = 0;
    std::uint32_t blockRow = 0;
    std::uint8_t alpha0 = 0;
    std::uint8_t alpha1 = 0;
    std::uint16_t colour0 = 0;  // raw 5:6:5
    std::uint16_t colour1 = 0;
    std::uint8_t colourIndex = 0;  // 0-3
    std::uint8_t alphaIndex = 0;   // 0-7
};

// Texel (x, y) of entry `index`, x from the left and y from the top row,
// with its source; or why there is none (no such entry, a refused size, a
// texel outside the texture). Reads only the texel's own stretch.
Result<TexelLocation> LocateTexel(const CTextureSet& set, std::size_t index, std::uint32_t x,
                                  std::uint32_t y);

// UTF-16 to UTF-8 and back; unpaired surrogates and invalid bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// A file-system path's bytes to UTF-16 and back without loss: valid UTF-8 is
// decoded, and each byte that is not becomes U+DC80-U+DCFF, which
// ToNativePath turns back into that byte.
std::u16string FromNativePath(std::string_view bytes);
std::string ToNativePath(std::u16string_view path);

}  // namespace marrowix
