// The check of whole sets: each kind of problem on a small set that has it,
// and none on a set that is sound.
#include <gtest/gtest.h>

#include <random>

#include "tests/TestFiles.h"
#include "textureset/SetCheck.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

struct Found {
    std::string kind;
    long entry;  // -1 where none
    long line;
    long other;
    bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
    return out << f.kind << " entry " << f.entry << " line " << f.line << " other " << f.other;
}

std::vector<Found> Check(const std::filesystem::path& listing, const std::string& mode,
                         std::vector<SetProblem>* full = nullptr) {
    CTextureSet set;
    const auto problems = CheckTextureSet(set, U16(listing), FromUtf8(mode));
    std::vector<Found> found;
    for (const SetProblem& p : problems) {
        found.push_back({p.kind, p.entry ? long(*p.entry) : -1, p.line ? long(*p.line) : -1,
                         p.other ? long(*p.other) : -1});
    }
    if (full != nullptr) {
        *full = problems;
    }
    return found;
}

TEST(CheckTextureSet, EveryKindOfListingAndDataProblem) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";                                    // a 4 x 4 texture takes 8 + 32 bytes
    files.listing = std::string("cat=0 name=streets\n") +  // 0
                    "cat=1 name=" + std::string(70, 'n') + "\n" +  // 1
                    "\"road\" cat=0 width=4 height=4\n" +          // 2, entry 0
                    "\"past\" cat=0 width=4 height=4\n" +          // 3, entry 1
                    "# " + std::string(130, '-') + "\n" +          // 4 and 5
                    "\"nq cat=0 width=4 height=4\n" +              // 6, entry 2
                    "\"skip\" width=8height=8 cat=0\n" +    // 7, entry 3: both keys walked over
                    "\"carried\" cat=0 width=4\n" +         // 8, entry 4
                    "\"stray\" cat=5 width=4 height=4\n" +  // 9, entry 5
                    "\"neg\" width=-4 height=4\n" +         // 10, entry 6
                    "\"empty\" width=0 height=4\n" +        // 11, entry 7
                    "\"shared\" width=4 height=4\n" +       // 12, entry 8
                    "\"overlap\" width=4 height=4\n" +      // 13, entry 9
                    "\"" + std::string(70, 'x') + "\" width=4 height=4\n" +  // 14, entry 10
                    "\"cr\" width=4 height=4\r\"x\" width=4\n" +             // 15, entry 11
                    std::string("\"zero\" width=4 \0 height=4\n", 26) +      // 16, entry 12
                    "\"beyond\" width=2 height=2\n";                         // 17, entry 13
    files.table = Le32({0, 0, 0, 1000, 0, 0, 40, 80, 160, 200, 0, 0, 0, 8, 240, 280, 320});
    files.data.assign(500, 0);
    auto listing = WriteSet(dir, files);
    std::vector<SetProblem> problems;
    const std::vector<Found> found = Check(listing, "etc", &problems);
    const std::vector<Found> expected = {
        {"name-truncated", -1, 1, -1},
        {"data-past-end", 1, 3, -1},
        {"line-split", -1, 4, -1},
        {"no-closing-quote", 2, 6, -1},
        {"key-carried", 2, 6, -1},
        {"key-carried", 2, 6, -1},
        {"key-skipped", 3, 7, -1},
        {"key-skipped", 3, 7, -1},
        {"key-carried", 3, 7, -1},
        {"key-carried", 4, 8, -1},
        {"category-missing", 5, 9, -1},
        {"size-refused", 6, 10, -1},
        {"size-empty", 7, 11, -1},
        {"data-shared", 8, 12, 0},
        {"data-overlap", 9, 13, 0},
        {"name-truncated", 10, 14, -1},
        {"lone-carriage-return", -1, 15, -1},
        {"zero-byte", -1, 16, -1},
        {"key-carried", 12, 16, -1},  // the height after the zero does not count
        {"offset-beyond-table", 13, 17, -1},
    };
    EXPECT_EQ(found, expected);
    for (const SetProblem& p : problems) {
        if (p.kind == "data-past-end") {
            EXPECT_EQ(p.message, "data runs 540 bytes past the end of world.etc.dat");
        }
    }
}

TEST(CheckTextureSet, OverlapsAcrossManyEntriesNameTheEarliest) {
    TempDir dir;
    SetFiles files;
    files.mode = "dxt";  // a 4 x 4 texture takes 8 + 16 bytes
    files.listing =
        "cat=0 name=all\n"
        "\"a\" width=4 height=4\n"   // 100..124
        "\"b\" width=4 height=4\n"   // 0..24
        "\"c\" width=8 height=4\n"   // 90..130: overlaps a and d's start
        "\"d\" width=4 height=4\n"   // 120..144: overlaps a (earliest) and c
        "\"e\" width=4 height=4\n"   // 24..48: touches b, no overlap
        "\"f\" width=4 height=4\n"   // 100..124: the same as a
        "\"g\" width=4 height=4\n";  // 130..154: touches c, overlaps d
    files.table = Le32({0, 100, 0, 90, 120, 24, 100, 130});
    files.data.assign(4096, 0);
    const std::vector<Found> found = Check(WriteSet(dir, files), "dxt");
    const std::vector<Found> expected = {
        {"data-overlap", 2, 3, 0},
        {"data-overlap", 3, 4, 0},
        {"data-shared", 5, 6, 0},
        {"data-overlap", 6, 7, 3},
    };
    EXPECT_EQ(found, expected);
}

TEST(CheckTextureSet, OverlapsAgreeWithAPairwiseSearch) {
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        TempDir dir;
        SetFiles files;
        files.mode = "etc";
        files.listing = "cat=0 name=all\n";
        std::vector<std::uint32_t> offsets = {0};
        std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
        for (int i = 0; i < 60; ++i) {
            const int w = 1 + int(random() % 3);
            const std::uint32_t at = random() % 400;
            files.listing += "\"t\" width=" + std::to_string(w) + " height=1\n";
            offsets.push_back(at);
            ranges.push_back({at, at + 8 + 2 * w});
        }
        for (std::uint32_t o : offsets) {
            const auto le = Le32({o});
            files.table.insert(files.table.end(), le.begin(), le.end());
        }
        files.data.assign(4096, 0);
        std::vector<Found> expected;
        for (std::size_t i = 0; i < ranges.size(); ++i) {
            long shared = -1;
            long overlap = -1;
            for (std::size_t j = 0; j < i; ++j) {
                if (ranges[j] == ranges[i]) {
                    shared = shared < 0 ? long(j) : shared;
                } else if (ranges[j].first < ranges[i].second &&
                           ranges[i].first < ranges[j].second) {
                    overlap = overlap < 0 ? long(j) : overlap;
                }
            }
            if (shared >= 0) {
                expected.push_back({"data-shared", long(i), long(i) + 1, shared});
            } else if (overlap >= 0) {
                expected.push_back({"data-overlap", long(i), long(i) + 1, overlap});
            }
        }
        ASSERT_EQ(Check(WriteSet(dir, files), "etc"), expected) << "round " << round;
    }
}

TEST(CheckTextureSet, FilesThatCannotBeOpened) {
    TempDir dir;
    EXPECT_EQ(Check(dir / "none.txt", "dxt"),
              (std::vector<Found>{{"listing-unreadable", -1, -1, -1}}));
    SetFiles files;
    files.listing = "cat=0 name=all\n\"t\" width=4 height=4\n";
    files.tableAbsent = true;
    files.dataAbsent = true;
    EXPECT_EQ(Check(WriteSet(dir, files), "dxt"),
              (std::vector<Found>{{"offsets-missing", -1, -1, -1}, {"data-missing", -1, -1, -1}}));
    // A FIFO is refused at once, not waited on.
    MARROWIX_SKIP_ON_WINDOWS("FIFOs");
    ASSERT_TRUE(MakeFifo(dir / "fifo.txt"));
    std::vector<SetProblem> problems;
    Check(dir / "fifo.txt", "dxt", &problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].message, "cannot open fifo.txt: not a regular file");
}

// Offsets the table does not hold read as 0: no data position, so no
// overlap is reported for them, only why.
TEST(CheckTextureSet, NoOverlapsWhereTheTableHoldsNoOffset) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing =
        "cat=0 name=all\n\"a\" width=2 height=2\n\"b\" width=2 height=2\n"
        "\"c\" width=2 height=2\n\"d\" width=2 height=2\n";
    files.data = std::vector<std::uint8_t>(64, 0);
    files.tableAbsent = true;
    std::vector<SetProblem> problems;
    EXPECT_EQ(Check(WriteSet(dir, files), "etc", &problems),
              (std::vector<Found>{{"offsets-missing", -1, -1, -1}}));
    EXPECT_NE(problems[0].message.find("no overlap of data is reported"), std::string::npos)
        << problems[0].message;
    // A table that holds the first two: those two share their data, the
    // rest read offset 0 past the table's end and are not compared.
    TempDir shortDir;
    files.tableAbsent = false;
    files.table = Le32({0, 16, 16});
    EXPECT_EQ(Check(WriteSet(shortDir, files), "etc"),
              (std::vector<Found>{{"data-shared", 1, 2, 0},
                                  {"offset-beyond-table", 2, 3, -1},
                                  {"offset-beyond-table", 3, 4, -1}}));
}

TEST(CheckTextureSet, TheSampleSetHasOnlyItsDeliberateStray) {
    TempDir dir;
    ASSERT_EQ(WriteSampleSet(dir.Path()), "");
    for (const std::string mode : {"dxt", "etc"}) {
        std::vector<SetProblem> problems;
        const auto found = Check(dir / "world.txt", mode, &problems);
        // loose_note names a category the listing does not have, to show
        // where such textures go.
        ASSERT_EQ(found.size(), 1u) << mode << ": " << problems[0].message;
        EXPECT_EQ(found[0].kind, "category-missing");
    }
}

TEST(CheckTextureSet, GroupsDigits) {
    EXPECT_EQ(GroupDigits(0), "0");
    EXPECT_EQ(GroupDigits(999), "999");
    EXPECT_EQ(GroupDigits(1024), "1,024");
    EXPECT_EQ(GroupDigits(4294967296), "4,294,967,296");
}

}  // namespace
}  // namespace marrowix::test
