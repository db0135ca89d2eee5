// marrowix-inspect's texel look-up, set check and batch export, and what it
// does with hostile files and paths: the real program, end to end.
#include <gtest/gtest.h>

#include <set>

#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Two categories; textures of both encodings' interest at known offsets.
fs::path TexelSet(const TempDir& dir, const std::string& mode) {
    SetFiles files;
    files.mode = mode;
    files.listing = "cat=0 name=one\n\"first\" width=8 height=4\n\"second\" width=2 height=2\n";
    files.table = Le32({0, 0, 40});
    files.data.assign(40 + 8, 0);
    if (mode == "dxt") {
        // Entry 0 is 2 blocks across; its second block starts at byte 24.
        files.data = std::vector<std::uint8_t>(8 + 32, 0);
        const std::vector<std::uint8_t> block = {255,  0,    0x00, 0x80, 0x03, 0,    0, 0,
                                                 0x00, 0xF8, 0x1F, 0x00, 0x00, 0x08, 0, 0};
        std::copy(block.begin(), block.end(), files.data.begin() + 24);
        files.data.resize(40 + 8 + 8);  // entry 1's block half there
    } else {
        files.data.push_back(0x0F);
        files.data.push_back(0xF0);
        files.data.push_back(0xAB);  // and the next texel cut in half
    }
    return WriteSet(dir, files);
}

TEST(InspectTexel, PrintsTheTexelAndItsSource) {
    TempDir dir;
    const auto dxt = TexelSet(dir, "dxt").string();
    Outcome o = Inspect(dir, {"--texel", "0", "5", "1", dxt});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out,
              "{\"index\":0,\"x\":5,\"y\":1,\"texel\":41042,\"rgba8\":[170,0,85,36],"
              "\"source\":{\"offset\":24,\"size\":16,"
              "\"bytes\":\"ff0000800300000000f81f0000080000\"},\"block\":{\"column\":1,\"row\":0,"
              "\"alpha0\":255,\"alpha1\":0,\"colour0\":63488,\"colour1\":31,\"colourIndex\":2,"
              "\"alphaIndex\":7}}\n");
    o = Inspect(dir, {"--texel", "1", "1", "1", dxt});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "\"source\":{\"offset\":48,\"size\":16,\"bytes\":\"0000000000000000\"}"))
        << o.out;

    TempDir etcDir;
    const auto etc = TexelSet(etcDir, "etc").string();
    o = Inspect(etcDir, {"--mode", "etc", "--texel", "1", "0", "0", etc});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out,
              "{\"index\":1,\"x\":0,\"y\":0,\"texel\":61455,\"rgba8\":[255,0,0,255],"
              "\"source\":{\"offset\":48,"
              "\"size\":2,\"bytes\":\"0ff0\"}}\n");
    o = Inspect(etcDir, {"--mode", "etc", "--texel", "1", "1", "0", etc});
    EXPECT_TRUE(Has(o.out, "\"texel\":171,") && Has(o.out, "\"bytes\":\"ab\"")) << o.out;
    o = Inspect(etcDir, {"--mode", "etc", "--texel", "1", "0", "1", etc});
    EXPECT_TRUE(Has(o.out, "\"texel\":0,") && Has(o.out, "\"bytes\":\"\"")) << o.out;

    o = Inspect(etcDir, {"--mode", "etc", "--texel", "1", "2", "0", etc});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "entry 1 \"second\": texel 2, 0 lies outside")) << o.err;
    o = Inspect(etcDir, {"--mode", "etc", "--texel", "7", "0", "0", etc});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "entry 7: no such entry")) << o.err;
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--texel", "1", "x", "0", etc},
                                               {"--texel", "1", "0", etc},
                                               {"--texel", "1", "0", "4294967296", etc},
                                               {"--texel", "1", "0", "0", "--json", etc},
                                               {"--texel", "1", "0", "0", "--check", etc}}) {
        EXPECT_EQ(Inspect(etcDir, args).code, 2) << args[2];
    }
}

TEST(InspectCheck, ReportsProblemsAsTextOrJsonAndExitsByThem) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "cat=0 name=all\n\"road\" width=4 height=4\n\"ok\" width=1 height=1\n";
    files.table = Le32({0, 2000, 0});
    files.data.assign(1000, 0);
    const auto listing = WriteSet(dir, files).string();
    Outcome o = Inspect(dir, {"--mode", "etc", "--check", listing});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.out,
              "entry 0 \"road\" (listing line 1): data runs 1,040 bytes past the end of "
              "world.etc.dat\n");
    EXPECT_TRUE(Has(o.err, "1 problem found")) << o.err;
    o = Inspect(dir, {"--mode", "etc", "--check", "--json", listing});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.out,
              "{\"problems\":[{\"kind\":\"data-past-end\",\"entry\":0,\"line\":1,\"message\":"
              "\"data runs 1,040 bytes past the end of world.etc.dat\"}]}\n");
    o = Inspect(dir, {"--mode", "dxt", "--check", "--json", listing});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.out,
                    "{\"kind\":\"offsets-missing\",\"message\":\"cannot open "
                    "world.dxt.toc: No such file or directory; every texture reads offset 0, "
                    "so no overlap of data is reported\"}"))
        << o.out;

    files.table = Le32({0, 0, 40});
    WriteSet(dir, files);
    o = Inspect(dir, {"--mode", "etc", "--check", listing});
    EXPECT_EQ(o.code, 0) << o.out;
    EXPECT_TRUE(Has(o.out, "no problems found"));
    o = Inspect(dir, {"--mode", "etc", "--check", "--json", listing});
    EXPECT_EQ(o.out, "{\"problems\":[]}\n");
    EXPECT_EQ(Inspect(dir, {"--check", "--export", "0", "--output", "a.png", listing}).code, 2);
}

std::set<std::string> FilesUnder(const fs::path& top) {
    std::set<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(top)) {
        found.insert(fs::relative(e.path(), top).generic_string() + (e.is_directory() ? "/" : ""));
    }
    return found;
}

TEST(InspectExportAll, WritesEveryTextureByCategory) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing =
        "cat=0 name=streets\n"
        "cat=1 name=signs\n"
        "cat=2 name=Signs\n"                 // the same folder but for case
        "\"road\" cat=0 width=2 height=2\n"  // 0
        "\"Road\" cat=0\n"                   // 1: the same file but for case
        "\"a/b:c\" cat=1\n"                  // 2
        "\"stop\" cat=2\n"                   // 3
        "\"stray\" cat=9\n"                  // 4: at the root
        "\"..\" cat=9\n"                     // 5
        "\"flat\" cat=0 width=0\n"           // 6: skipped
        "\"bad\" cat=0 width=-3\n";          // 7: skipped
    files.table = Le32({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    files.data = std::vector<std::uint8_t>(8, 0);
    for (std::uint8_t b : {0x0F, 0xF0, 0xF0, 0x0F, 0x00, 0xFF, 0xFF, 0x00}) {
        files.data.push_back(b);
    }
    const auto listing = WriteSet(dir, files).string();
    const fs::path out = dir / "out" / "deeper";
    Outcome o = Inspect(dir, {"--mode", "etc", "--export-all", out.string(), listing});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(FilesUnder(out),
              (std::set<std::string>{"streets/", "streets/road-0.png", "streets/Road-1.png",
                                     "signs/", "signs/a_b_c.png", "Signs-2/", "Signs-2/stop.png",
                                     "stray.png", "__.png"}));
    EXPECT_TRUE(Has(o.err, "skipping entry 6 \"flat\": size 0 x 2 has no texels")) << o.err;
    EXPECT_TRUE(Has(o.err, "skipping entry 7 \"bad\": negative size -3 x 2")) << o.err;
    EXPECT_FALSE(Has(o.err, "exported")) << "no progress line when stderr is a file";

    // The same pixels as a single export, in either format.
    const auto single = (dir / "single.bmp").string();
    ASSERT_EQ(Inspect(dir, {"--mode", "etc", "--export", "3", "--output", single, listing}).code,
              0);
    const fs::path bmps = dir / "bmps";
    o = Inspect(dir, {"--mode", "etc", "--export-all", bmps.string(), "--format", "bmp", listing});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReadBytes(bmps / "Signs-2" / "stop.bmp"), ReadBytes(single));
    EXPECT_EQ(Inspect(dir, {"--export-all", bmps.string(), "--format", "gif", listing}).code, 2);
    EXPECT_EQ(Inspect(dir, {"--format", "bmp", listing}).code, 2);

    // A folder that cannot be had is named once, its textures skipped with
    // one line, and the rest go on.
    const fs::path blocked = dir / "blocked";
    fs::create_directories(blocked);
    WriteText(blocked / "streets", "a file where a folder should be");
    o = Inspect(dir, {"--mode", "etc", "--export-all", blocked.string(), listing});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, (fs::path("blocked") / "streets").string() + " is not a folder\n"))
        << o.err;
    EXPECT_TRUE(Has(o.err, "skipping 2 textures of '" + (blocked / "streets").string() + "'\n"))
        << o.err;
    EXPECT_FALSE(Has(o.err, "road-0.png")) << o.err;
    EXPECT_TRUE(Has(o.err, "2 of 6 textures could not be written")) << o.err;
    EXPECT_TRUE(fs::exists(blocked / "stray.png"));
}

// A listing whose own name an export would write: shot.png, with its
// offset table and data file named after it.
fs::path ListingNamedLikeAnImage(const TempDir& dir) {
    const fs::path listing = dir / "shot.png";
    WriteText(listing, "\"shot\" width=1 height=1\n");
    WriteBytes(dir / "shot.png.etc.toc", Le32({0}));
    WriteBytes(dir / "shot.png.etc.dat", std::vector<std::uint8_t>(10, 0x5A));
    return listing;
}

TEST(InspectExport, NeverWritesTheSetsOwnFiles) {
    TempDir dir;
    const fs::path listing = ListingNamedLikeAnImage(dir);
    const auto listingBytes = ReadBytes(listing);
    const auto data = dir / "shot.png.etc.dat";
    const auto dataBytes = ReadBytes(data);
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--mode", "etc"});
        args.push_back(listing.string());
        return Inspect(dir, args);
    };

    Outcome o = run({"--export", "0", "--output", listing.string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "refused: it is the set's own listing")) << o.err;
    o = run({"--export", "0", "--output", (dir / "." / "shot.png").string()});
    EXPECT_EQ(o.code, 1);
    fs::create_hard_link(dir / "shot.png.etc.toc", dir / "hard.png");
    o = run({"--export", "0", "--output", (dir / "hard.png").string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "set's own offset table")) << o.err;
#ifdef _WIN32
    // Another spelling of the same name.
    o = run({"--export", "0", "--output", (dir / "SHOT.PNG").string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "refused: it is the set's own listing")) << o.err;
#endif
    if (LinksWork()) {
        fs::create_symlink(data, dir / "link.bmp");
        o = run({"--export", "0", "--output", (dir / "link.bmp").string()});
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(Has(o.err, "set's own data file")) << o.err;
        // Through a linked folder too.
        fs::create_directory_symlink(dir.Path(), dir / "again");
        o = run({"--export-all", (dir / "again").string()});
        EXPECT_EQ(o.code, 1);
        EXPECT_TRUE(Has(o.err, "shot.png' (entry 0 \"shot\"): refused")) << o.err;
        // The old fixed temporary names: a link there is not followed.
        fs::create_symlink(data, dir / "out.png.partial");
        EXPECT_EQ(run({"--export", "0", "--output", (dir / "out.png").string()}).code, 0);
        EXPECT_TRUE(fs::is_symlink(dir / "out.png.partial"));
    }
    // A file at an old fixed temporary name is left alone.
    WriteText(dir / "other.png.partial", "keep me");
    EXPECT_EQ(run({"--export", "0", "--output", (dir / "other.png").string()}).code, 0);
    EXPECT_EQ(ReadBytes(dir / "other.png.partial").size(), 7u);

    EXPECT_EQ(ReadBytes(listing), listingBytes);
    EXPECT_EQ(ReadBytes(data), dataBytes);
    for (const auto& e : fs::directory_iterator(dir.Path())) {
        const std::string name = e.path().filename().string();
        EXPECT_FALSE(Has(name, ".partial-")) << name;
    }
}

TEST(InspectExport, ListingNamedLikeTheTemporaryIsLeftAlone) {
    TempDir dir;
    const fs::path listing = dir / "shot.png.partial";
    WriteText(listing, "\"t\" width=1 height=1\n");
    const auto before = ReadBytes(listing);
    const Outcome o = Inspect(dir, {"--mode", "etc", "--export", "0", "--output",
                                    (dir / "shot.png").string(), listing.string()});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(ReadBytes(listing), before);
    EXPECT_TRUE(fs::exists(dir / "shot.png"));
}

TEST(InspectExport, PngOfMoreThanAMillionTexelsAcross) {
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"wide\" width=1000001 height=1\n";
    files.dataAbsent = true;
    const auto listing = WriteSet(dir, files).string();
    const auto png = (dir / "wide.png").string();
    const Outcome o = Inspect(dir, {"--mode", "etc", "--export", "0", "--output", png, listing});
    ASSERT_EQ(o.code, 0) << o.err;
    // The header chunk, read by hand: libpng's reader stops at a million.
    const auto bytes = ReadBytes(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
    const std::uint32_t width =
        (std::uint32_t{bytes[16]} << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19];
    EXPECT_EQ(width, 1000001u);
}

TEST(InspectOutput, AFailedWriteToStandardOutputFails) {
    TempDir dir;
    SetFiles files;
    files.listing = "\"t\" width=1 height=1\n";
    const auto listing = WriteSet(dir, files).string();
    const Outcome o = Inspect(dir, {"--json", listing}, "/dev/full");
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "cannot write the output: No space left on device")) << o.err;
}

TEST(InspectFiles, FifosAndDevicesAreRefusedWithoutBlocking) {
    TempDir dir;
    SetFiles files;
    files.listing = "\"t\" width=1 height=1\n";
    files.tableAbsent = true;
    files.dataAbsent = true;
    const auto listing = WriteSet(dir, files);
#ifdef _WIN32
    // A device, as Windows has them, instead of a FIFO.
    Outcome device = Inspect(dir, {"NUL"});
    EXPECT_EQ(device.code, 1);
    EXPECT_TRUE(Has(device.err, "not a regular file")) << device.err;
    GTEST_SKIP() << "not on Windows: FIFOs and links to devices";
#endif
    ASSERT_TRUE(MakeFifo(dir / "world.dxt.toc"));
    fs::create_symlink("/dev/urandom", dir / "world.dxt.dat");
    Outcome o = Inspect(dir, {"--json", listing.string()});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "\"files\":{\"listing\":true,\"offsets\":false,\"data\":false}"))
        << o.out;
    EXPECT_TRUE(Has(o.err, "world.dxt.toc': not a regular file")) << o.err;
    EXPECT_TRUE(Has(o.err, "world.dxt.dat': not a regular file")) << o.err;

    ASSERT_TRUE(MakeFifo(dir / "fifo.txt"));
    o = Inspect(dir, {(dir / "fifo.txt").string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "cannot open listing")) << o.err;
    EXPECT_TRUE(Has(o.err, "not a regular file")) << o.err;
}

TEST(InspectFiles, PathBytesReachTheFileSystemUnchanged) {
    MARROWIX_SKIP_ON_WINDOWS("its names are UTF-16 text, never bytes that are not");
    TempDir dir;
    // Not UTF-8, and the name it would turn into if decoded with U+FFFD.
    const std::string raw = (dir.Path() / "w\xFF.txt").string();
    const std::string lookalike = (dir.Path() / "w\xEF\xBF\xBD.txt").string();
    WriteText(raw, "\"raw\" width=1 height=1\n");
    WriteBytes(dir.Path() / "w\xFF.dxt.toc", Le32({0}));
    WriteBytes(dir.Path() / "w\xFF.dxt.dat", std::vector<std::uint8_t>(24, 0));
    WriteText(lookalike, "\"lookalike\" width=1 height=1\n");
    const Outcome o = Inspect(dir, {"--json", raw});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "\"name\":\"raw\"")) << o.out;
    EXPECT_TRUE(Has(o.out, "\"offsets\":true,\"data\":true")) << o.out;
    EXPECT_EQ(o.err, "");
}

TEST(InspectOutput, C1ControlCharactersAreEscaped) {
    TempDir dir;
    SetFiles files;
    files.listing =
        "cat=0 name=a\x9B"
        "2J\n\"x\x85y\" width=1 height=1\n";
    const auto listing = WriteSet(dir, files).string();
    Outcome o = Inspect(dir, {listing});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "[+] a\\x9B2J")) << o.out;
    EXPECT_TRUE(Has(o.out, "x\\x85y")) << o.out;
    EXPECT_FALSE(Has(o.out, "\xC2\x9B")) << "no raw CSI";
    o = Inspect(dir, {"--json", listing});
    EXPECT_TRUE(Has(o.out, "\"x\\u0085y\"")) << o.out;
}

TEST(InspectUsage, HelpNamesEveryOptionAndVersionPrints) {
    TempDir dir;
    const Outcome help = Inspect(dir, {"--help"});
    EXPECT_EQ(help.code, 0);
    for (const char* option : {"--mode", "--json", "--export ", "--output", "--texel", "--check",
                               "--export-all", "--format", "--help", "--version", "exit codes"}) {
        EXPECT_TRUE(Has(help.out, option)) << option;
    }
    const Outcome version = Inspect(dir, {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("marrowix-inspect ", 0), 0u);
    EXPECT_GT(version.out.size(), std::string("marrowix-inspect \n").size());
}

}  // namespace
}  // namespace marrowix::test
