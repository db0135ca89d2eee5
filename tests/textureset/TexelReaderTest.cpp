#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "decode/Decode.h"
#include "tests/TestFiles.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"

namespace marrowix::test {
namespace {

std::vector<std::uint8_t> Header() {
    return {'h', 'e', 'a', 'd', 'e', 'r', '!', '!'};
}

// Texels 0x1000 + i as little-endian bytes.
std::vector<std::uint8_t> CountingTexels(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i));
        bytes.push_back(static_cast<std::uint8_t>(0x10 + (i >> 8)));
    }
    return bytes;
}

// A flat block: colour 0 everywhere, alpha a0.
std::vector<std::uint8_t> FlatBlock(std::uint16_t colour, std::uint8_t alpha) {
    std::vector<std::uint8_t> b(16, 0);
    b[0] = alpha;
    b[1] = alpha;
    b[8] = static_cast<std::uint8_t>(colour);
    b[9] = static_cast<std::uint8_t>(colour >> 8);
    return b;
}

TEST(ReadTexels, EtcTexelsAsStored) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"pad\" width=1 height=1\n\"t\" width=64 height=32\n";
    files.table = Le32({0, 20});
    files.data.assign(20, 0xEE);
    auto h = Header();
    files.data.insert(files.data.end(), h.begin(), h.end());
    auto texels = CountingTexels(64 * 32);
    files.data.insert(files.data.end(), texels.begin(), texels.end());
    auto set = OpenSet(WriteSet(dir, files), "etc");

    auto result = ReadTexels(*set, set->GetEntry(1));
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.value.size(), 64u * 32u);
    for (std::size_t i = 0; i < result.value.size(); ++i) {
        ASSERT_EQ(result.value[i], 0x1000 + i) << i;
    }
}

TEST(ReadTexels, DxtBlocksAreDecoded) {
    TempDir dir;
    SetFiles files;
    files.listing = "\"t\" width=8 height=4\n";
    files.table = Le32({3});
    files.data = {1, 2, 3};
    auto h = Header();
    files.data.insert(files.data.end(), h.begin(), h.end());
    for (auto block : {FlatBlock(0xF800, 255), FlatBlock(0x001F, 0)}) {
        files.data.insert(files.data.end(), block.begin(), block.end());
    }
    // The surplus bytes of 8 x 4 x 2 over the blocks' 32 are not used.
    files.data.resize(files.data.size() + 32, 0x55);
    auto set = OpenSet(WriteSet(dir, files));
    auto result = ReadTexels(*set, set->GetEntry(0));
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.value.size(), 32u);
    EXPECT_EQ(result.value[0], 0xF00F);  // red, opaque
    EXPECT_EQ(result.value[4], 0x00F0);  // blue, transparent
    EXPECT_EQ(result.value[31], 0x00F0);
}

TEST(ReadTexels, SmallDxtTexturesDecodeFromTheirRealBlocks) {
    // 1 x 8 needs 2 blocks (32 bytes) while 1 x 8 x 2 is only 16.
    TempDir dir;
    SetFiles files;
    files.listing = "\"thin\" width=1 height=8\n\"dot\" width=2 height=2\n";
    files.table = Le32({0, 40});
    files.data = Header();
    for (auto block : {FlatBlock(0xFFFF, 255), FlatBlock(0x07E0, 255)}) {
        files.data.insert(files.data.end(), block.begin(), block.end());
    }
    auto h = Header();
    files.data.insert(files.data.end(), h.begin(), h.end());
    auto dot = FlatBlock(0x001F, 255);
    files.data.insert(files.data.end(), dot.begin(), dot.end());
    auto set = OpenSet(WriteSet(dir, files));

    auto thin = ReadTexels(*set, set->GetEntry(0));
    ASSERT_EQ(thin.value.size(), 8u);
    EXPECT_EQ(thin.value[0], 0xFFFF);
    EXPECT_EQ(thin.value[7], 0x0F0F) << "the second block comes from the file";
    auto two = ReadTexels(*set, set->GetEntry(1));
    ASSERT_EQ(two.value.size(), 4u);
    EXPECT_EQ(two.value[3], 0x00FF);
}

TEST(ReadTexels, MissingDataReadsAsZero) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing =
        "\"t\" width=4 height=4\n\"past\" width=2 height=2\n\"zero\" width=0 height=9\n";
    files.table = Le32({0, 1000, 0});
    files.data = Header();
    auto texels = CountingTexels(5);
    files.data.insert(files.data.end(), texels.begin(), texels.end());
    files.data.push_back(0x77);  // half a texel
    auto set = OpenSet(WriteSet(dir, files), "etc");
    auto cut = ReadTexels(*set, set->GetEntry(0));
    ASSERT_TRUE(cut.ok());
    EXPECT_EQ(cut.value[4], 0x1004);
    EXPECT_EQ(cut.value[5], 0x0077) << "the byte that is there stays, the missing one is 0";
    EXPECT_EQ(cut.value[15], 0);
    auto past = ReadTexels(*set, set->GetEntry(1));
    EXPECT_EQ(past.value, Buffer<std::uint16_t>(4, 0));
    auto zero = ReadTexels(*set, set->GetEntry(2));
    EXPECT_TRUE(zero.ok());
    EXPECT_TRUE(zero.value.empty());

    TempDir noData;
    files.dataAbsent = true;
    auto absent = OpenSet(WriteSet(noData, files), "etc");
    EXPECT_FALSE(absent->HasDataFile());
    auto none = ReadTexels(*absent, absent->GetEntry(0));
    EXPECT_TRUE(none.ok());
    EXPECT_EQ(none.value, Buffer<std::uint16_t>(16, 0));
}

TEST(ReadTexels, RefusesUnusableSizesBeforeAllocating) {
    CTextureSet set;
    TextureEntry e;
    e.width = -1;
    e.height = 4;
    EXPECT_NE(ReadTexels(set, e).error.find("negative"), std::string::npos);
    e.width = 1 << 14;
    e.height = 1 << 14;  // 2^28 texels
    EXPECT_NE(ReadTexels(set, e).error.find("too large"), std::string::npos);
    e.width = 65535;
    e.height = 65537;  // wraps to a small count in 32 bits
    EXPECT_FALSE(ReadTexels(set, e).ok());
    e.width = 0x7FFFFFFF;
    e.height = 1;
    EXPECT_FALSE(ReadTexels(set, e).ok());
    e.width = 1;
    e.height = (1 << 28) - 1;  // the largest allowed: allocated, read from no file
    EXPECT_EQ(CheckEntrySize(e), "");
}

TEST(ReadTexels, OffsetsBeyond2GiBAreReached) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"far\" width=2 height=1\n";
    const std::uint32_t offset = 0x80000010u;
    files.table = Le32({offset});
    auto set0 = WriteSet(dir, files);
    {
        // A sparse file: only the texture's bytes are written.
        std::FILE* f = OpenFile(dir / "world.etc.dat", "wb");
        ASSERT_NE(f, nullptr);
#ifdef _WIN32
        ASSERT_EQ(_fseeki64(f, std::int64_t{offset} + 8, SEEK_SET), 0);
#else
        ASSERT_EQ(fseeko(f, off_t{offset} + 8, SEEK_SET), 0);
#endif
        const std::uint8_t texels[4] = {0x34, 0x12, 0x78, 0x56};
        ASSERT_EQ(std::fwrite(texels, 1, 4, f), 4u);
        std::fclose(f);
    }
    auto set = OpenSet(set0, "etc");
    auto result = ReadTexels(*set, set->GetEntry(0));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value, (Buffer<std::uint16_t>{0x1234, 0x5678}));
}

}  // namespace
}  // namespace marrowix::test

namespace marrowix::test {
namespace {

// Batch export reads one set from several threads: each read must find its
// own bytes.
TEST(ReadTexels, ThreadsReadOneSetAtOnce) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"a\" width=64 height=64\n\"b\" width=64 height=64\n";
    files.table = Le32({0, 8 + 64 * 64 * 2});
    for (int t = 0; t < 2; ++t) {
        files.data.insert(files.data.end(), 8, 0);
        for (int i = 0; i < 64 * 64; ++i) {
            files.data.push_back(static_cast<std::uint8_t>(t == 0 ? 0x11 : 0xEE));
            files.data.push_back(static_cast<std::uint8_t>(t == 0 ? 0x11 : 0xEE));
        }
    }
    auto set = OpenSet(WriteSet(dir, files), "etc");
    std::atomic<int> wrong{0};
    auto reader = [&](std::size_t index, std::uint16_t expected) {
        for (int round = 0; round < 2000; ++round) {
            const auto texels = ReadTexels(*set, set->GetEntry(index));
            for (std::uint16_t t : texels.value) {
                if (t != expected) {
                    ++wrong;
                    return;
                }
            }
        }
    };
    std::thread first(reader, 0, 0x1111);
    std::thread second(reader, 1, 0xEEEE);
    first.join();
    second.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace marrowix::test
