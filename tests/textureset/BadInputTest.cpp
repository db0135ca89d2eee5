// Broken, truncated, missing and absurd input: each case gets a defined
// result, reads nothing past a buffer and allocates no more than the entry
// needs.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <random>

#include "decode/Decode.h"
#include "tests/TestFiles.h"
#include "textureset/PreviewImage.h"
#include "textureset/SetTree.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"

namespace marrowix::test {
namespace {

std::vector<std::uint8_t> Header() {
    return std::vector<std::uint8_t>(8, 0xEE);
}

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

SetFiles Files(std::string listing, std::vector<std::uint8_t> table = {},
               std::vector<std::uint8_t> data = {}, std::string mode = "dxt") {
    SetFiles files;
    files.listing = std::move(listing);
    files.table = std::move(table);
    files.data = std::move(data);
    files.mode = std::move(mode);
    return files;
}

std::unique_ptr<CTextureSet> Open(const TempDir& dir, const SetFiles& files) {
    return OpenSet(WriteSet(dir, files), files.mode);
}

TEST(BadListing, EmptyLineEndsAndGarbage) {
    for (const std::string& text : {std::string(), std::string("\n\n\r\n\r\r\n"),
                                    std::string(1000, '\0'), std::string("\xFF\xFE\x00\x01", 4)}) {
        TempDir dir;
        auto set = Open(dir, Files(text));
        EXPECT_TRUE(set->HasListingFile());
        EXPECT_EQ(set->GetEntryCount(), 0u);
        EXPECT_EQ(set->GetCategoryCount(), 0u);
    }
    // Random bytes: whatever lines start with c or a quote become categories
    // and textures; names stay within their records.
    std::mt19937 random(7);
    std::string garbage(1 << 16, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random() % 5 == 0 ? "c\"\nwh"[random() % 5] : random());
    }
    TempDir dir;
    auto set = Open(dir, Files(garbage, std::vector<std::uint8_t>(4096, 0x41)));
    for (std::size_t i = 0; i < set->GetEntryCount(); ++i) {
        const TextureEntry e = set->GetEntry(i);
        EXPECT_LE(std::u16string_view(e.name).size(), kMaxNameLength);
        EXPECT_LE(e.category, 0xFFFFu);
        EXPECT_TRUE(e.offset == 0 || e.offset == 0x41414141u);
    }
}

TEST(BadListing, AMillionLines) {
    TempDir dir;
    std::string text;
    text.reserve(6 * 1000000);
    for (int i = 0; i < 1000000; ++i) {
        text += i % 2 == 0 ? "\"t\"\n" : "# x\n";
    }
    auto set = Open(dir, Files(text, Le32({1, 2, 3})));
    ASSERT_EQ(set->GetEntryCount(), 500000u);
    EXPECT_EQ(set->GetEntry(0).offset, 1u);
    EXPECT_EQ(set->GetEntry(1).offset, 3u);
    EXPECT_EQ(set->GetEntry(499999).offset, 0u) << "past the table";
}

TEST(BadListing, LinesAroundTheReadSize) {
    // Texture lines of 126, 127, 128 and 1,000 characters before the line end.
    TempDir dir;
    auto padded = [](std::size_t length) {
        std::string line = "\"x\" width=2 height=2";
        return line + std::string(length - line.size(), ' ') + "\n";
    };
    std::vector<std::uint8_t> table;
    for (std::uint32_t n = 0; n < 32; ++n) {
        auto e = Le32({n});
        table.insert(table.end(), e.begin(), e.end());
    }
    auto set = Open(
        dir, Files(padded(126) + padded(127) + padded(128) + padded(1000) + "\"end\"\n", table));
    ASSERT_EQ(set->GetEntryCount(), 5u);
    EXPECT_EQ(set->GetEntry(1).offset, 1u);
    EXPECT_EQ(set->GetEntry(2).offset, 3u);
    EXPECT_EQ(set->GetEntry(3).offset, 5u);
    EXPECT_EQ(set->GetEntry(4).offset, 13u) << "1,001 characters take eight reads";
}

TEST(BadListing, NamesOfEveryLength) {
    TempDir dir;
    std::string text;
    for (std::size_t length : {63u, 64u, 200u}) {
        text += "cat=0 name=" + std::string(length, 'c') + "\n";
        text += "\"" + std::string(length, 't') + "\" width=" + std::to_string(length) + "\n";
    }
    text += "\"" + std::string(120, 'u') + "\n";  // no closing quote
    auto set = Open(dir, Files(text));
    ASSERT_EQ(set->GetEntryCount(), 4u);
    // The 200-character category line's second read begins with c too: one
    // more category, with no name.
    ASSERT_EQ(set->GetCategoryCount(), 4u);
    EXPECT_EQ(set->GetCategoryName(3), u"");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ToUtf8(set->GetCategoryName(i)), std::string(63, 'c'));
        EXPECT_EQ(Utf8Name(set->GetEntry(i)), std::string(63, 't'));
        // The 200-character line's keys lie past its first read: its width
        // is the one before.
        EXPECT_EQ(set->GetEntry(i).width, i == 2 ? 64 : i == 1 ? 64 : 63);
    }
    EXPECT_EQ(Utf8Name(set->GetEntry(3)), std::string(63, 'u'));
}

TEST(BadListing, BrokenNumbers) {
    TempDir dir;
    auto set = Open(dir, Files("\"a\" width=7 height=7\n"
                               "\"b\" width= height=\n"
                               "\"c\" width=abc\n"
                               "\"d\" width=-1\n"
                               "\"e\" width=2147483648\n"
                               "\"f\" width=99999999999\n"
                               "\"g\" height=-2147483649\n"));
    ASSERT_EQ(set->GetEntryCount(), 7u);
    EXPECT_EQ(set->GetEntry(1).width, 7) << "no digits: the value stays";
    EXPECT_EQ(set->GetEntry(2).width, 7);
    EXPECT_EQ(set->GetEntry(3).width, -1);
    EXPECT_EQ(set->GetEntry(4).width, -2147483647 - 1) << "wraps modulo 2^32";
    EXPECT_EQ(set->GetEntry(5).width, 1215752191);
    EXPECT_EQ(set->GetEntry(6).height, 2147483647);
    EXPECT_NE(CheckEntrySize(set->GetEntry(3)).find("negative"), std::string::npos);
    EXPECT_NE(CheckEntrySize(set->GetEntry(5)).find("too large"), std::string::npos);
}

TEST(BadListing, CategoriesBeyond64And65535) {
    TempDir dir;
    std::string text;
    for (int c = 0; c < 70000; ++c) {
        text += "c\n";
    }
    text += "\"a\" cat=69999\n\"b\" cat=65536\n\"c\" cat=65535\n\"d\" cat=100\n";
    auto set = Open(dir, Files(text));
    ASSERT_EQ(set->GetCategoryCount(), 70000u);
    EXPECT_EQ(set->GetEntry(0).category, 69999u & 0xFFFF);
    EXPECT_EQ(set->GetEntry(1).category, 0u) << "only the low 16 bits are kept";
    const SetTree tree(*set);
    EXPECT_EQ(tree.Children(0).size(), 1u);
    EXPECT_EQ(tree.Children(65535).size(), 1u);
    EXPECT_EQ(tree.Children(100).size(), 1u);
    EXPECT_EQ(tree.Children(69999 & 0xFFFF).size(), 1u);
    EXPECT_TRUE(tree.RootEntries().empty());
}

TEST(BadOffsetTable, MissingEmptyShortAndRagged) {
    const std::string listing = "\"a\"\n\"b\"\n\"c\"\n";
    struct Case {
        std::vector<std::uint8_t> table;
        bool absent;
        std::vector<std::uint32_t> offsets;
    };
    const std::vector<Case> cases = {
        {{}, true, {0, 0, 0}},
        {{}, false, {0, 0, 0}},
        {Le32({5}), false, {5, 0, 0}},
        {{1, 0, 0, 0, 2, 0}, false, {1, 2, 0}},
        {Le32({0xFFFFFFFF, 0x80000000, 7}), false, {0xFFFFFFFF, 0x80000000, 7}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        SetFiles files = Files(listing, c.table);
        files.tableAbsent = c.absent;
        auto set = Open(dir, files);
        EXPECT_EQ(set->HasOffsetTableFile(), !c.absent);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(set->GetEntry(i).offset, c.offsets[i]) << i;
        }
    }
}

TEST(BadOffsetTable, OffsetsAtOrPastTheEndOfTheData) {
    TempDir dir;
    SetFiles files =
        Files("\"at\" width=2 height=1\n\"past\" width=2 height=1\n\"max\" width=2 height=1\n",
              Le32({12, 4000, 0xFFFFFFFF}), Concat(Header(), {1, 0, 2, 0}));
    files.mode = "etc";
    auto set = Open(dir, files);
    for (std::size_t i = 0; i < 3; ++i) {
        auto dib = BuildPreviewDib(*set, i);
        ASSERT_TRUE(dib.ok());
        ASSERT_EQ(dib.value.size(), 40u + 8u);
        for (std::size_t p = 40; p < dib.value.size(); ++p) {
            EXPECT_EQ(dib.value[p], 0) << "entry " << i << ": no data there";
        }
    }
}

TEST(BadDataFile, TruncatedAnywhere) {
    // A 4 x 4 etc texture and a 4 x 4 dxt texture whose data ends early.
    for (const std::string mode : {"etc", "dxt"}) {
        const std::size_t full = mode == "etc" ? 32 : 16;
        for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{8}, std::size_t{8 + 7},
                                8 + full - 1, 8 + full}) {
            TempDir dir;
            std::vector<std::uint8_t> data =
                Concat(Header(), std::vector<std::uint8_t>(full, 0xFF));
            data.resize(cut);
            SetFiles files = Files("\"t\" width=4 height=4\n", Le32({0}), data);
            files.mode = mode;
            auto set = Open(dir, files);
            auto texels = ReadTexels(*set, set->GetEntry(0));
            ASSERT_TRUE(texels.ok());
            ASSERT_EQ(texels.value.size(), 16u);
            if (cut == 8 + full) {
                EXPECT_EQ(texels.value[15], 0xFFFF);
            } else if (mode == "etc") {
                // A texel cut in half keeps the byte that is there.
                const std::size_t held = cut > 8 ? cut - 8 : 0;
                for (std::size_t i = 0; i < 16; ++i) {
                    const int expected = 2 * i + 1 < held ? 0xFFFF : (2 * i < held ? 0xFF : 0);
                    EXPECT_EQ(texels.value[i], expected) << cut << " " << i;
                }
            }
        }
    }
    TempDir dir;
    SetFiles files = Files("\"t\" width=4 height=4\n", Le32({0}), {});
    files.dataAbsent = true;
    auto absent = Open(dir, files);
    EXPECT_FALSE(absent->HasDataFile());
    EXPECT_NE(absent->DataError().find("No such file"), std::string::npos);
    EXPECT_EQ(ReadTexels(*absent, absent->GetEntry(0)).value, Buffer<std::uint16_t>(16, 0));
}

TEST(BadDataFile, TinyFileClaimingAHugeTexture) {
    TempDir dir;
    SetFiles files = Files("\"huge\" width=16383 height=16383\n", Le32({0}),
                           Concat(Header(), std::vector<std::uint8_t>(16, 0xFF)));
    auto set = Open(dir, files);
    const TextureEntry e = set->GetEntry(0);
    EXPECT_EQ(CheckEntrySize(e), "");
    auto texels = ReadTexels(*set, e);
    ASSERT_TRUE(texels.ok());
    ASSERT_EQ(texels.value.size(), 16383u * 16383u);
    EXPECT_EQ(texels.value[0], 0xFFFF) << "the one block there is";
    EXPECT_EQ(texels.value[4], 0u) << "the blocks that are not";
    EXPECT_EQ(texels.value.back(), 0u);
}

TEST(BadSizes, SmallAndOddDxtTextures) {
    struct Case {
        int w, h;
    };
    for (Case c : {Case{0, 7}, Case{7, 0}, Case{1, 1}, Case{5, 3}, Case{4097, 1}}) {
        TempDir dir;
        const std::uint64_t blocks =
            BlockDataSize(static_cast<std::uint32_t>(c.w), static_cast<std::uint32_t>(c.h));
        std::vector<std::uint8_t> data = Header();
        for (std::uint64_t b = 0; b < blocks / 16; ++b) {
            // Opaque white blocks, then whatever follows must not be read.
            const std::uint8_t block[16] = {255, 255, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
            data.insert(data.end(), block, block + 16);
        }
        data.resize(data.size() + 64, 0x33);
        SetFiles files =
            Files("\"t\" width=" + std::to_string(c.w) + " height=" + std::to_string(c.h) + "\n",
                  Le32({0}), data);
        auto set = Open(dir, files);
        auto dib = BuildPreviewDib(*set, 0);
        ASSERT_TRUE(dib.ok()) << dib.error;
        const std::size_t pixels = std::size_t(c.w) * std::size_t(c.h);
        ASSERT_EQ(dib.value.size(), 40 + pixels * 4);
        for (std::size_t p = 40; p < dib.value.size(); ++p) {
            ASSERT_EQ(dib.value[p], 240) << c.w << " x " << c.h << " byte " << p;
        }
    }
}

TEST(BadSizes, LimitsOfTheTexelCount) {
    CTextureSet empty;
    TextureEntry e;
    e.width = 16383;
    e.height = 16385;  // 2^28 - 1 texels: allowed
    EXPECT_EQ(CheckEntrySize(e), "");
    e.width = 16384;
    e.height = 16384;  // 2^28: refused before anything is allocated
    EXPECT_FALSE(ReadTexels(empty, e).ok());
    e.width = -5;
    e.height = -5;  // a product that would be positive
    EXPECT_NE(CheckEntrySize(e).find("negative size -5 x -5"), std::string::npos);
    e.width = 0;
    e.height = 2147483647;  // no texels, however many rows
    EXPECT_EQ(CheckEntrySize(e), "");
    EXPECT_TRUE(ReadTexels(empty, e).value.empty());

    TempDir dir;
    auto set = Open(
        dir, Files("\"flat\" width=0 height=2147483647\n\"tall\" width=2147483647 height=0\n"));
    for (std::size_t i = 0; i < 2; ++i) {
        auto dib = BuildPreviewDib(*set, i);
        ASSERT_TRUE(dib.ok());
        EXPECT_EQ(dib.value.size(), 40u);
    }
}

TEST(BadFiles, DirectoryAndUnreadableListing) {
    TempDir dir;
    std::filesystem::create_directory(dir / "set.txt");
    auto folder = OpenSet(dir / "set.txt");
    EXPECT_FALSE(folder->HasListingFile());
    EXPECT_EQ(folder->ListingError(), "is a directory");
    EXPECT_EQ(folder->GetEntryCount(), 0u);

    std::filesystem::create_directory(dir / "set.dxt.dat");
    WriteText(dir / "other.txt", "\"a\" width=1 height=1\n");
    std::filesystem::create_directory(dir / "other.dxt.dat");
    auto dataFolder = OpenSet(dir / "other.txt");
    EXPECT_TRUE(dataFolder->HasListingFile());
    EXPECT_FALSE(dataFolder->HasDataFile());

    MARROWIX_SKIP_ON_WINDOWS("a file cannot be made unreadable by its permissions");
#ifndef _WIN32
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root from reading";
    }
#endif
    WriteText(dir / "locked.txt", "\"a\"\n");
    std::filesystem::permissions(dir / "locked.txt", std::filesystem::perms::none);
    auto locked = OpenSet(dir / "locked.txt");
    EXPECT_FALSE(locked->HasListingFile());
    EXPECT_NE(locked->ListingError().find("ermission"), std::string::npos);
}

// Reads the listing with 128 MiB of address space and exits 0 when the set
// holds some but not all of its `lines` textures and says why.
#ifndef _WIN32
[[noreturn, maybe_unused]] void ReadWithLimitedMemory(const std::filesystem::path& listing,
                                                      std::size_t lines) {
    const rlimit limit{rlim_t{128} << 20, rlim_t{128} << 20};
    setrlimit(RLIMIT_AS, &limit);
    auto set = OpenSet(listing);
    const bool partial = set->HasListingFile() && set->GetEntryCount() > 0 &&
                         set->GetEntryCount() < lines &&
                         set->ListingError().find("not enough memory") == 0;
    std::_Exit(partial ? 0 : 1);
}
#endif

TEST(BadListing, TooLargeForMemoryKeepsWhatWasRead) {
#if defined(_WIN32)
    GTEST_SKIP() << "not on Windows: no limit of a process's address space";
#elif defined(MARROWIX_ASAN)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#else
    TempDir dir;
    std::string text;
    for (int i = 0; i < 4000000; ++i) {
        text += "\"t\"\n";  // 25 bytes of entry and name for 4 bytes of listing
    }
    WriteText(dir / "big.txt", text);
    // In a child process whose address space cannot hold all the entries:
    // a fresh one (the test binary started again for this test alone), so
    // that what ran before in this process does not count against the limit.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ReadWithLimitedMemory(dir / "big.txt", 4000000), ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
#endif
}

}  // namespace
}  // namespace marrowix::test

namespace marrowix::test {
namespace {

TEST(BadPaths, NativeBytesSurviveTheRoundTrip) {
    std::mt19937 random(3);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes) {
            // Mostly bytes of multi-byte sequences, so that broken ones are common.
            c = static_cast<char>(random() % 3 == 0 ? random() % 128 : 0x80 + random() % 128);
        }
        EXPECT_EQ(ToNativePath(FromNativePath(bytes)), bytes);
    }
    for (const std::string text : {"plain", "caf\xC3\xA9", "\xF0\x9F\x98\x80", "\xEF\xBF\xBD"}) {
        EXPECT_EQ(FromNativePath(text), FromUtf8(text)) << "valid UTF-8 decodes as such";
    }
    EXPECT_EQ(FromNativePath("\xFF"), std::u16string(1, char16_t{0xDCFF}));
    EXPECT_EQ(FromNativePath("\xED\xA0\x80"), (std::u16string{0xDCED, 0xDCA0, 0xDC80}))
        << "an encoded surrogate is not UTF-8";
}

}  // namespace
}  // namespace marrowix::test
