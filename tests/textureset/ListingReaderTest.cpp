#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/TestFiles.h"
#include "textureset/TextureSet.h"
#include "textureset/WideScan.h"

namespace marrowix::test {
namespace {

// A set whose offset table gives listing line n the offset 0x1000 + n, so an
// entry's offset tells which table entry it took.
std::unique_ptr<CTextureSet> ReadWithLineTable(const TempDir& dir, const std::string& listing,
                                               std::size_t lines = 64) {
    SetFiles files;
    files.listing = listing;
    for (std::uint32_t n = 0; n < lines; ++n) {
        const auto entry = Le32({0x1000 + n});
        files.table.insert(files.table.end(), entry.begin(), entry.end());
    }
    return OpenSet(WriteSet(dir, files));
}

TEST(ListingReader, ReadsTheExampleSet) {
    TempDir dir;
    SetFiles files;
    files.listing =
        "cat=0 name=streets\n"
        "cat=1 name=signs\n"
        "\"road\" cat=0 width=64 height=32\n"
        "\"stop\" cat=1 width=16 height=16\n";
    files.table = Le32({0, 0, 420, 9000});
    auto set = OpenSet(WriteSet(dir, files));

    ASSERT_EQ(set->GetCategoryCount(), 2u);
    EXPECT_EQ(set->GetCategoryName(0), u"streets");
    EXPECT_EQ(set->GetCategoryName(1), u"signs");
    ASSERT_EQ(set->GetEntryCount(), 2u);
    const TextureEntry road = set->GetEntry(0);
    EXPECT_EQ(set->GetEntryName(0), u"road");
    EXPECT_EQ(road.width, 64);
    EXPECT_EQ(road.height, 32);
    EXPECT_EQ(road.offset, 420u);
    EXPECT_EQ(road.category, 0u);
    const TextureEntry stop = set->GetEntry(1);
    EXPECT_EQ(stop.offset, 9000u);
    EXPECT_EQ(stop.category, 1u);
    EXPECT_EQ(set->GetMode(), kModeDxt);
    EXPECT_TRUE(set->HasListingFile() && set->HasOffsetTableFile() && set->HasDataFile());
}

TEST(ListingReader, EmptyOrMissingListing) {
    TempDir dir;
    SetFiles files;
    auto empty = OpenSet(WriteSet(dir, files));
    EXPECT_TRUE(empty->HasListingFile());
    EXPECT_EQ(empty->GetEntryCount(), 0u);
    EXPECT_EQ(empty->GetCategoryCount(), 0u);

    CTextureSet missing;
    EXPECT_EQ(ReadListing(missing, U16(dir / "nothing.txt")), 0);
    EXPECT_FALSE(missing.HasListingFile());
    EXPECT_FALSE(missing.ListingError().empty());

    std::filesystem::create_directory(dir / "folder.txt");
    auto folder = OpenSet(dir / "folder.txt");
    EXPECT_FALSE(folder->HasListingFile());
    EXPECT_EQ(folder->ListingError(), "is a directory");
}

TEST(ListingReader, CategoryLines) {
    TempDir dir;
    auto set = ReadWithLineTable(dir,
                                 "comment: not a category\n"
                                 "cat=7 name=first\n"
                                 "cat=x name=broken\n"
                                 "cat=3  name=\t spaced more\n"
                                 "cat=4 name=\n"
                                 "Cat=5 name=upper\n"
                                 " cat=6 name=indented\n");
    ASSERT_EQ(set->GetCategoryCount(), 5u);
    EXPECT_EQ(set->GetCategoryName(0), u"");
    EXPECT_EQ(set->GetCategoryName(1), u"first");
    EXPECT_EQ(set->GetCategoryName(2), u"");
    EXPECT_EQ(set->GetCategoryName(3), u"spaced");
    EXPECT_EQ(set->GetCategoryName(4), u"");
}

TEST(ListingReader, KeyWalkFindsAndSkipsKeysAsTheListingFormatDoes) {
    TempDir dir;
    auto set = ReadWithLineTable(dir,
                                 "\"all\" cat=2 width=128 height=128\n"
                                 "\"comma\" height=4,width=4\n"
                                 "\"glued\" cat=1width=8\n"
                                 "\"hw\" width=3 height=3\n"
                                 "\"hidden_w\" height=4width=4\n"
                                 "\"hidden_h\" width=8height=8\n"
                                 "\"stray\" w=1 width=4\n"
                                 "\"spaced\" width= 12 height=+5 cat=-1\n"
                                 "\"keep\" cat=3\n");
    ASSERT_EQ(set->GetEntryCount(), 9u);
    auto size = [&](std::size_t i) {
        const TextureEntry e = set->GetEntry(i);
        return std::make_pair(e.width, e.height);
    };
    EXPECT_EQ(size(0), std::make_pair(128, 128));
    EXPECT_EQ(set->GetEntry(0).category, 2u);
    EXPECT_EQ(size(1), std::make_pair(4, 4));
    EXPECT_EQ(set->GetEntry(2).category, 1u);
    EXPECT_EQ(size(2), std::make_pair(8, 4));
    EXPECT_EQ(size(3), std::make_pair(3, 3));
    EXPECT_EQ(size(4), std::make_pair(3, 4)) << "width after a one-digit height is walked over";
    EXPECT_EQ(size(5), std::make_pair(8, 4)) << "height after a one-digit width is walked over";
    EXPECT_EQ(size(6), std::make_pair(8, 4)) << "the failed scan at w walks over the width";
    EXPECT_EQ(size(7), std::make_pair(12, 5));
    EXPECT_EQ(set->GetEntry(7).category, 0xFFFFu) << "category keeps its low 16 bits";
    EXPECT_EQ(size(8), std::make_pair(12, 5)) << "sizes carry over from the last texture line";
    EXPECT_EQ(set->GetEntry(8).category, 3u);
}

TEST(ListingReader, SizesStartAtZeroAndCarryOver) {
    TempDir dir;
    auto set = ReadWithLineTable(dir,
                                 "\"first\" cat=1\n"
                                 "\"wall\" width=8 height=8\n"
                                 "cat=0 name=between\n"
                                 "\"floor\" cat=1\n");
    EXPECT_EQ(set->GetEntry(0).width, 0);
    EXPECT_EQ(set->GetEntry(0).height, 0);
    EXPECT_EQ(set->GetEntry(2).width, 8);
    EXPECT_EQ(set->GetEntry(2).height, 8);
    EXPECT_EQ(set->GetEntry(2).category, 1u);
}

TEST(ListingReader, NamesAndQuotes) {
    TempDir dir;
    const std::string longName(70, 'n');
    const std::string name63(63, 'm');
    auto set = ReadWithLineTable(dir,
                                 "\"open width=4 height=4\n"
                                 "\"" +
                                     longName +
                                     "\" width=2 height=3\n"
                                     "\"" +
                                     name63 +
                                     "\"\n"
                                     "\"\" width=5\n"
                                     "cat=1 name=" +
                                     longName +
                                     "\n"
                                     "\"caf\xE9\"\n");
    ASSERT_EQ(set->GetEntryCount(), 5u);
    EXPECT_EQ(set->GetEntryName(0), u"open width=4 height=4\n") << "no closing quote: no keys";
    EXPECT_EQ(set->GetEntry(0).width, 0);
    EXPECT_EQ(Utf8Name(set->GetEntry(1)), std::string(63, 'n'));
    EXPECT_EQ(set->GetEntry(1).width, 2) << "keys after a long name are still found";
    EXPECT_EQ(set->GetEntry(1).height, 3);
    EXPECT_EQ(Utf8Name(set->GetEntry(2)), name63);
    EXPECT_EQ(set->GetEntryName(3), u"");
    EXPECT_EQ(set->GetEntry(3).width, 5);
    EXPECT_EQ(ToUtf8(set->GetCategoryName(0)), std::string(63, 'n'));
    EXPECT_EQ(set->GetEntryName(4), std::u16string(u"caf\u00E9")) << "bytes widen one to one";
}

TEST(ListingReader, TextModeAndZeroBytes) {
    TempDir dir;
    std::string listing = "cat=0 name=a\r\n\"crlf\r\n\"lone\rcr\" width=6\r\n";
    listing += std::string("\"ze\0ro\" width=9\n", 16);
    listing += "\"last\" height=7";  // no line end at the end of the file
    auto set = ReadWithLineTable(dir, listing);
    ASSERT_EQ(set->GetEntryCount(), 4u);
    EXPECT_EQ(set->GetEntryName(0), u"crlf\n");
    EXPECT_EQ(set->GetEntryName(1), u"lone\rcr");
    EXPECT_EQ(set->GetEntry(1).width, 6);
    EXPECT_EQ(set->GetEntryName(2), u"ze") << "the text of a read ends at its first zero";
    EXPECT_EQ(set->GetEntry(2).width, 6);
    EXPECT_EQ(set->GetEntry(3).height, 7);
    EXPECT_EQ(set->GetEntry(3).offset, 0x1000u + 4);
}

TEST(ListingReader, LongLinesTakeSeveralTableEntries) {
    TempDir dir;
    auto line = [](std::size_t length) {  // a comment line of `length` characters
        return std::string(length, '#') + "\n";
    };
    auto set = ReadWithLineTable(dir,
                                 line(126) + "\"a\"\n" +       // one read
                                     line(127) + "\"b\"\n" +   // two reads, the second only "\n"
                                     line(200) + "\"c\"\n" +   // two reads
                                     line(1000) + "\"d\"\n");  // eight reads
    ASSERT_EQ(set->GetEntryCount(), 4u);
    EXPECT_EQ(set->GetEntry(0).offset, 0x1000u + 1);
    EXPECT_EQ(set->GetEntry(1).offset, 0x1000u + 4);
    EXPECT_EQ(set->GetEntry(2).offset, 0x1000u + 7);
    EXPECT_EQ(set->GetEntry(3).offset, 0x1000u + 16);

    // A texture line longer than one read: the tail is a line of its own, and
    // keys past the 127th character are not seen.
    TempDir dir2;
    auto tail = ReadWithLineTable(dir2, "\"x\"" + std::string(130, ' ') + "width=5\n\"y\"\n");
    ASSERT_EQ(tail->GetEntryCount(), 2u);
    EXPECT_EQ(tail->GetEntry(0).width, 0);
    EXPECT_EQ(tail->GetEntry(1).offset, 0x1000u + 2);
}

TEST(ListingReader, OffsetTableEntries) {
    TempDir dir;
    SetFiles files;
    files.listing = "\"a\"\n\"b\"\n\"c\"\n\"d\"\n";
    files.table = Le32({0x11223344, 0xFFFFFFFF});
    files.table.push_back(0xAB);  // entry 2 holds two bytes only
    files.table.push_back(0xCD);
    auto set = OpenSet(WriteSet(dir, files));
    EXPECT_EQ(set->GetEntry(0).offset, 0x11223344u);
    EXPECT_EQ(set->GetEntry(1).offset, 0xFFFFFFFFu);
    EXPECT_EQ(set->GetEntry(2).offset, 0xCDABu);
    EXPECT_EQ(set->GetEntry(3).offset, 0u);

    TempDir noTable;
    files.tableAbsent = true;
    auto absent = OpenSet(WriteSet(noTable, files));
    EXPECT_FALSE(absent->HasOffsetTableFile());
    EXPECT_FALSE(absent->OffsetTableError().empty());
    EXPECT_EQ(absent->GetEntry(0).offset, 0u);
}

TEST(ListingReader, OffsetTableLargerThanOneWindow) {
    TempDir dir;
    SetFiles files;
    std::string listing;
    for (std::uint32_t n = 0; n < 40000; ++n) {
        listing += n % 3 == 0 ? "\"t\"\n" : "# skip\n";
        const auto entry = Le32({n * 7});
        files.table.insert(files.table.end(), entry.begin(), entry.end());
    }
    files.listing = listing;
    auto set = OpenSet(WriteSet(dir, files));
    ASSERT_EQ(set->GetEntryCount(), 13334u);
    for (std::size_t i = 0; i < set->GetEntryCount(); ++i) {
        ASSERT_EQ(set->GetEntry(i).offset, i * 3 * 7) << i;
    }
}

TEST(ListingReader, NumbersBeyond32BitsWrap) {
    TempDir dir;
    auto set = ReadWithLineTable(dir,
                                 "\"a\" width=2147483648 height=99999999999\n"
                                 "\"b\" width=4294967297 height=-0\n"
                                 "\"c\" width=abc height=-\n");
    EXPECT_EQ(set->GetEntry(0).width, -2147483647 - 1);
    EXPECT_EQ(set->GetEntry(0).height, 1215752191);
    EXPECT_EQ(set->GetEntry(1).width, 1);
    EXPECT_EQ(set->GetEntry(1).height, 0);
    EXPECT_EQ(set->GetEntry(2).width, 1) << "a key without digits keeps the last value";
    EXPECT_EQ(set->GetEntry(2).height, 0);
}

TEST(SetPaths, OnlyTheFinalTxtExtensionIsReplaced) {
    EXPECT_EQ(DeriveSetPath(u"/sets/world.txt", u"dxt", u".toc"), u"/sets/world.dxt.toc");
    EXPECT_EQ(DeriveSetPath(u"/sets/world.TXT", u"etc", u".dat"), u"/sets/world.etc.dat");
    EXPECT_EQ(DeriveSetPath(u"/a.txt/world.txt", u"dxt", u".dat"), u"/a.txt/world.dxt.dat");
    EXPECT_EQ(DeriveSetPath(u"/sets/world", u"dxt", u".toc"), u"/sets/world.dxt.toc");
    EXPECT_EQ(DeriveSetPath(u"/sets/world.txt.bak", u"etc", u".toc"),
              u"/sets/world.txt.bak.etc.toc");
}

TEST(SetPaths, UpperCaseListingOpensItsOwnSiblings) {
    TempDir dir;
    WriteText(dir / "world.TXT", "\"a\" width=1 height=1\n");
    WriteBytes(dir / "world.etc.toc", Le32({77}));
    WriteBytes(dir / "world.etc.dat", std::vector<std::uint8_t>(100, 1));
    auto set = OpenSet(dir / "world.TXT", "etc");
    EXPECT_EQ(set->GetMode(), kModeEtc);
    EXPECT_EQ(set->OffsetTablePath(), U16(dir / "world.etc.toc"));
    EXPECT_EQ(set->GetEntry(0).offset, 77u);
    EXPECT_TRUE(set->HasDataFile());
}

TEST(SetFilesAccess, ReadOnlySetOpensAndStaysUnchanged) {
    TempDir dir;
    SetFiles files;
    files.listing = "\"a\" width=1 height=1\n";
    files.table = Le32({0});
    files.data = std::vector<std::uint8_t>(10, 0);
    const auto listing = WriteSet(dir, files);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        std::filesystem::permissions(
            entry.path(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    }
    std::filesystem::permissions(
        dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const auto before = std::filesystem::last_write_time(listing);
    auto set = OpenSet(listing);
    EXPECT_TRUE(set->HasListingFile() && set->HasOffsetTableFile() && set->HasDataFile());
    EXPECT_EQ(set->GetEntryCount(), 1u);
    set.reset();
    EXPECT_EQ(std::filesystem::last_write_time(listing), before);
}

TEST(SetFilesAccess, NonAsciiPath) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / std::filesystem::path(u8"\u00FCber \u4E16"));
    const auto folder = dir.Path() / std::filesystem::path(u8"\u00FCber \u4E16");
    WriteText(folder / "world.txt", "\"x\" width=2 height=2\n");
    WriteBytes(folder / "world.dxt.toc", Le32({5}));
    auto set = OpenSet(folder / "world.txt");
    ASSERT_EQ(set->GetEntryCount(), 1u);
    EXPECT_EQ(set->GetEntry(0).offset, 5u);
}

TEST(WideScan, ConversionsAndLiterals) {
    std::int32_t n = 42;
    char16_t text[8] = {};
    EXPECT_EQ(WideScan(u"cat=  -17 name=  abc def", u"cat=%d name=%s", {&n, text, 8}), 2);
    EXPECT_EQ(n, -17);
    EXPECT_EQ(std::u16string(text), u"abc");
    n = 42;
    EXPECT_EQ(WideScan(u"cat =1", u"cat=%d", {&n}), 0);
    EXPECT_EQ(WideScan(u"cat=+", u"cat=%d", {&n}), 0);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(WideScan(u"cat=1name=x", u"cat=%d name=%s", {&n, text, 8}), 2)
        << "a blank in the pattern matches no white space as well";
    EXPECT_EQ(WideScan(u"cat=1 name=abcdefghijk", u"cat=%d name=%s", {&n, text, 4}), 2);
    EXPECT_EQ(std::u16string(text), u"abc") << "cut to the capacity";
}

}  // namespace
}  // namespace marrowix::test

namespace marrowix::test {
namespace {

// The key scanner the reader uses against the general one, on texts made of
// the characters that matter.
TEST(ScanKeyNumber, MatchesTheGeneralScanner) {
    std::mt19937 random(23);
    const std::u16string alphabet = u"catwidtheg=+- 0123456789\t\n";
    for (int round = 0; round < 20000; ++round) {
        std::u16string text;
        if (random() % 2 == 0) {
            text = random() % 2 ? u"width=" : u"height=";
        }
        for (int k = random() % 8; k > 0; --k) {
            text += alphabet[random() % alphabet.size()];
        }
        for (const std::u16string key : {u"cat=", u"width=", u"height="}) {
            std::int32_t general = 77;
            std::int32_t fast = 77;
            const bool matched = WideScan(text.c_str(), key + u"%d", {&general}) == 1;
            EXPECT_EQ(ScanKeyNumber(text.c_str(), key, &fast), matched);
            EXPECT_EQ(fast, general);
        }
    }
}

}  // namespace
}  // namespace marrowix::test
