// The types a texture set is made of and passes around: the encoding, an
// entry as copied and as stored, large buffers, results that carry their
// reason, and the limits every reader of a set keeps to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

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

// Largest number of texels (width x height) an entry may have: the byte
// counts of its texels and its preview image must fit 32 bits.
constexpr std::uint64_t kMaxTexels = (std::uint64_t{1} << 28) - 1;

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

}  // namespace marrowix
