// marrowix-inspect when memory runs out: every command ends with a message
// and exit 1, never a crash, and standard output holds whole lines and a
// whole JSON document or nothing of it.
#include <gtest/gtest.h>

#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;

#ifdef MARROWIX_ASAN
TEST(OutOfMemory, NotUnderTheAddressSanitizer) {
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit here";
}
#else

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Four million texture lines, each taking 25 bytes of entry and name for 4
// bytes of listing; every line after the first carries its size.
fs::path HugeListing(const TempDir& dir) {
    std::string text = "cat=0 name=all\n\"t\" width=1 height=1\n";
    text.reserve(16 << 20);
    for (int i = 0; i < 4000000; ++i) {
        text += "\"t\"\n";
    }
    WriteText(dir / "huge.txt", text);
    return dir / "huge.txt";
}

// Room for about half the entries: the listing is read in part, and what
// follows may or may not fit.
constexpr std::uint64_t kLimit = std::uint64_t{100} << 20;

TEST(OutOfMemory, EveryCommandEndsWithAMessageAndWholeOutput) {
    MARROWIX_SKIP_WITHOUT_MEMORY_LIMITS();
    TempDir dir;
    const std::string listing = HugeListing(dir).string();
    const fs::path out = dir / "out";
    struct Case {
        std::vector<std::string> args;
        std::string doing;  // what the message names, when memory ran out
    };
    const Case cases[] = {
        {{"--mode", "etc", listing}, "list the set"},
        {{"--mode", "etc", "--json", listing}, "list the set"},
        {{"--mode", "etc", "--check", listing}, "check the set"},
        {{"--mode", "etc", "--check", "--json", listing}, "check the set"},
        {{"--mode", "etc", "--export-all", out.string(), listing}, "export the set"},
    };
    for (const Case& c : cases) {
        const Outcome o = Inspect(dir, c.args, {}, false, kLimit);
        const std::string what = c.args[c.args.size() - 2];
        EXPECT_EQ(o.code, 1) << what << ": " << o.err.substr(0, 2000);
        EXPECT_FALSE(Has(o.err, "terminate called")) << what;
        // Either the command ran out of memory and said what it was doing,
        // or it finished on the part of the listing that could be read and
        // said that the answer is incomplete.
        const bool ranOut = Has(o.err, "not enough memory to " + c.doing + "\n");
        const bool partial = Has(o.err, "not enough memory for the whole listing");
        EXPECT_TRUE(ranOut || partial) << what << ": " << o.err.substr(0, 2000);
        if (!o.out.empty()) {
            EXPECT_EQ(o.out.back(), '\n') << what;
            if (what == "--json") {
                EXPECT_EQ(o.out.front(), '{') << what;
                EXPECT_TRUE(o.out.ends_with("]}\n")) << what;
            }
        }
    }
    // Nothing was half exported.
    if (fs::exists(out)) {
        for (const auto& e : fs::recursive_directory_iterator(out)) {
            EXPECT_FALSE(Has(e.path().filename().string(), ".partial-")) << e.path();
        }
    }
}

TEST(OutOfMemory, AListingReadInPartFailsWhatReportsOnTheWholeSet) {
    MARROWIX_SKIP_WITHOUT_MEMORY_LIMITS();
    TempDir dir;
    const std::string listing = HugeListing(dir).string();
    // Room for half of the entries and their tree, not for all entries.
    const Outcome o = Inspect(dir, {"--mode", "etc", listing}, (dir / "tree.txt").string(), false,
                              std::uint64_t{160} << 20);
    EXPECT_EQ(o.code, 1) << o.err;
    EXPECT_TRUE(Has(o.err, "not enough memory for the whole listing; read the first ")) << o.err;
    // The single-entry commands answer for their entry as ever.
    const Outcome one =
        Inspect(dir, {"--mode", "etc", "--texel", "0", "0", "0", listing}, {}, false, kLimit);
    EXPECT_EQ(one.code, 0) << one.err;
    EXPECT_TRUE(Has(one.out, "\"index\":0")) << one.out;
}

#endif  // MARROWIX_ASAN

}  // namespace
}  // namespace marrowix::test
