// Exports that nothing inside the output folder can steer: links planted in
// it or swapped while an export runs never lead a write out of it, and every
// failure says its real cause.
#include <gtest/gtest.h>

#include <stdio.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#endif

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <thread>

#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "inspect/Inspect.h"
#include "platform/FileSizeLimit.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A preview block of noise, which no encoder can make much smaller.
Buffer<std::uint8_t> NoiseDib(int width, int height) {
    Buffer<std::uint8_t> dib = PreviewBlock(width, height);
    std::mt19937 random(7);
    for (std::size_t i = kDibHeaderSize; i < dib.size(); ++i) {
        dib[i] = static_cast<std::uint8_t>(random());
    }
    return dib;
}

// A set in <dir>/set whose listing is named world.png, with one category
// "gradients" holding a texture named "world": an export of it writes
// gradients/world.png, the listing's own name.
fs::path SetNamedLikeItsExport(const TempDir& dir) {
    const fs::path folder = dir / "set";
    fs::create_directories(folder);
    const fs::path listing = folder / "world.png";
    WriteText(listing, "cat=0 name=gradients\n\"world\" cat=0 width=4 height=4\n\"sky\" cat=0\n");
    WriteBytes(folder / "world.png.etc.toc", Le32({0, 0, 0}));
    WriteBytes(folder / "world.png.etc.dat", std::vector<std::uint8_t>(8 + 32, 0x5A));
    return listing;
}

bool HasTemporaries(const fs::path& folder) {
    for (const auto& e : fs::directory_iterator(folder)) {
        if (Has(e.path().filename().string(), ".partial-")) {
            return true;
        }
    }
    return false;
}

TEST(ExportSafety, LinksPlantedInsideTheFolderAreNotFollowed) {
    MARROWIX_SKIP_WITHOUT_LINKS();
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing =
        "cat=0 name=gradients\n\"sky\" cat=0 width=2 height=2\n\"loose_note\" cat=7\n"
        "cat=1 name=walls\n\"brick\" cat=1\n";
    files.table = Le32({0, 0, 0, 0, 0});
    files.data = std::vector<std::uint8_t>(16, 0x33);
    const auto listing = WriteSet(dir, files).string();
    const fs::path victim = dir / "victim";
    fs::create_directories(victim);
    WriteText(victim / "sky.png", "the victim's own picture");
    WriteText(victim / "keep.txt", "the victim's notes");
    const fs::path out = dir / "out";
    fs::create_directories(out);
    fs::create_directory_symlink("../victim", out / "gradients");
    fs::create_symlink("../victim/keep.txt", out / "loose_note.png");

    const Outcome o = Inspect(dir, {"--mode", "etc", "--export-all", out.string(), listing});
    EXPECT_EQ(o.code, 1) << o.err;
    EXPECT_TRUE(Has(o.err, (out / "gradients").string() + " is a symbolic link; not followed\n"))
        << o.err;
    EXPECT_TRUE(Has(o.err, "skipping 1 texture of '" + (out / "gradients").string() + "'\n"))
        << o.err;
    EXPECT_TRUE(Has(o.err, "1 of 3 textures could not be written")) << o.err;
    const auto text = [](const fs::path& p) {
        const auto bytes = ReadBytes(p);
        return std::string(bytes.begin(), bytes.end());
    };
    EXPECT_EQ(text(victim / "sky.png"), "the victim's own picture");
    EXPECT_EQ(text(victim / "keep.txt"), "the victim's notes");
    EXPECT_EQ(std::distance(fs::directory_iterator(victim), fs::directory_iterator()), 2);
    // The link at an image's name is replaced as a name; the rest are written.
    EXPECT_FALSE(fs::is_symlink(out / "loose_note.png"));
    const auto png = ReadBytes(out / "loose_note.png");
    EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 4),
              (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'}));
    EXPECT_TRUE(fs::is_regular_file(out / "walls" / "brick.png"));
    EXPECT_TRUE(fs::is_symlink(out / "gradients"));
}

TEST(ExportSafety, AnOutputNameThatIsALinkIsReplacedNotWrittenThrough) {
    MARROWIX_SKIP_WITHOUT_LINKS();
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "\"t\" width=1 height=1\n";
    files.table = Le32({0});
    files.data = std::vector<std::uint8_t>(10, 0);
    const auto listing = WriteSet(dir, files).string();
    WriteText(dir / "keep.txt", "someone's notes");
    fs::create_symlink("keep.txt", dir / "shot.png");
    const Outcome o = Inspect(
        dir, {"--mode", "etc", "--export", "0", "--output", (dir / "shot.png").string(), listing});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_FALSE(fs::is_symlink(dir / "shot.png"));
    const auto kept = ReadBytes(dir / "keep.txt");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "someone's notes");
    EXPECT_FALSE(HasTemporaries(dir.Path()));
}

TEST(ExportSafety, AFolderSwappedWhileTheExportRunsNeverLeadsToTheSet) {
    MARROWIX_SKIP_ON_WINDOWS("no atomic exchange of two names");
    TempDir dir;
    const fs::path listing = SetNamedLikeItsExport(dir);
    const auto before = ReadBytes(listing);
    const fs::path out = dir / "out";
    fs::create_directories(out / "scratch");
    fs::create_directory_symlink(listing.parent_path(), out / "gradients");

    // Another process's work, done here by a thread: the link and a real
    // folder change places again and again.
    std::atomic<bool> stop{false};
    std::atomic<long> swaps{0};
    const std::string a = (out / "gradients").string();
    const std::string b = (out / "scratch").string();
    std::thread swapper([&] {
        while (!stop) {
#ifdef _WIN32
            (void)a;
            (void)b;
#else
            if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) {
                ++swaps;
            }
#endif
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    int runs = 0;
    int written = 0;
    for (; runs < 200 && std::chrono::steady_clock::now() < deadline; ++runs) {
        std::ostringstream output;
        std::ostringstream errors;
        inspect::Run({"--mode", "etc", "--export-all", out.string(), listing.string()}, output,
                     errors);
        written += Has(errors.str(), "could not be written") ? 0 : 1;
        ASSERT_EQ(ReadBytes(listing), before) << "run " << runs << ": " << errors.str();
        ASSERT_FALSE(HasTemporaries(listing.parent_path())) << "run " << runs;
    }
    stop = true;
    swapper.join();
    EXPECT_GT(swaps.load(), 0);
    RecordProperty("runs", runs);
    RecordProperty("runs that wrote everything", written);
}

TEST(ExportSafety, FoldersThatCannotBeHadSayWhy) {
    MARROWIX_SKIP_ON_WINDOWS("links and the permissions of folders");
    TempDir dir;
    SetFiles files;
    files.mode = "etc";
    files.listing = "cat=0 name=walls\n\"brick\" cat=0 width=1 height=1\n\"loose\" cat=5\n";
    files.table = Le32({0, 0, 0});
    files.data = std::vector<std::uint8_t>(10, 0);
    const auto listing = WriteSet(dir, files).string();

    // A dangling link given as the folder.
    fs::create_symlink("missing", dir / "dang");
    Outcome o = Inspect(dir, {"--mode", "etc", "--export-all", (dir / "dang").string(), listing});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(
        Has(o.err, "'" + (dir / "dang").string() + "' is a symbolic link to a missing folder\n"))
        << o.err;

    // A folder nobody may write into: the real cause, once, for the folder.
    const fs::path locked = dir / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    fs::permissions(dir.Path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    o = Inspect(dir, {"--mode", "etc", "--export-all", locked.string(), listing}, {},
                /*unprivileged=*/true);
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(
        o.err, "cannot make the folder '" + (locked / "walls").string() + "': Permission denied\n"))
        << o.err;
    EXPECT_TRUE(Has(o.err, "skipping 1 texture of '" + (locked / "walls").string() + "'\n"))
        << o.err;
    EXPECT_FALSE(Has(o.err, "No such file or directory")) << o.err;
}

TEST(ExportSafety, EveryTemporaryNameTakenIsSaidSo) {
    TempDir dir;
    OutputFolder folder;
    ASSERT_EQ(OutputFolder::Open(dir.Path().string(), &folder), "");
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        WriteText(dir / TemporaryName("t.png", attempt), "taken");
    }
    EXPECT_EQ(WritePngFile(folder, "t.png", NoiseDib(2, 2)),
              "cannot make a temporary file beside '" + (dir / "t.png").string() +
                  "': every name tried exists");
    EXPECT_FALSE(fs::exists(dir / "t.png"));
    // One name free is enough.
    fs::remove(dir / TemporaryName("t.png", kTemporaryAttempts - 1));
    EXPECT_EQ(WritePngFile(folder, "t.png", NoiseDib(2, 2)), "");
    EXPECT_TRUE(fs::exists(dir / "t.png"));
}

// In a child whose files may not grow past 4 KiB, with the signal ignored
// as the programs ignore it: every writer fails with the system's reason,
// leaves nothing behind, and --export-all goes on with the textures that fit.
#ifndef _WIN32
void WriteBeyondTheFileSizeLimit(const fs::path& dir) {
    const std::string listing = (dir / "set" / "world.txt").string();
    fs::create_directory(dir / "set");
    if (!WriteSampleSet(dir / "set").empty()) {
        std::_Exit(2);
    }
    if (inspect::Run({"--export", "3", "--output", (dir / "set" / "rings.png").string(), listing},
                     std::cout, std::cerr, false) != 0) {
        std::_Exit(2);
    }
    LetWritesPastTheFileSizeLimitFail();
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    bool ok = true;
    auto expect = [&](bool condition, const std::string& what) {
        if (!condition) {
            std::fprintf(stderr, "%s\n", what.c_str());
            ok = false;
        }
    };
    const auto dib = NoiseDib(64, 64);
    for (const std::string name : {"big.png", "big.bmp"}) {
        const std::string error =
            WriteImageFile((dir / name).string(),
                           name.ends_with(".png") ? ImageFormat::kPng : ImageFormat::kBmp, dib);
        expect(error == "File too large", name + ": " + error);
    }
    const std::string all = (dir / "all").string();
    struct Case {
        std::vector<std::string> args;
        std::string output;  // what must not be left
    };
    const std::vector<Case> cases = {
        {{"--export", "3", "--output", (dir / "one.png").string()}, "one.png"},
        {{"--export", "3", "--output", (dir / "one.bmp").string()}, "one.bmp"},
        {{"--contact-sheet", (dir / "sheet.png").string(), "--size", "256"}, "sheet.png"},
        {{"--export-all", all, "--format", "bmp"}, ""},
        {{"--replace", "3", (dir / "set" / "rings.png").string(), "--output-set",
          (dir / "new" / "world.txt").string()},
         "new/world.txt"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> args = c.args;
        args.push_back(listing);
        const int code = inspect::Run(args, out, err, false);
        expect(code == 1 && Has(err.str(), "File too large"), c.args[0] + ": " + err.str());
        expect(c.output.empty() || !fs::exists(dir / c.output), c.output + " left");
    }
    // The small textures were written; no temporary is left anywhere.
    std::size_t written = 0;
    for (const auto& e : fs::recursive_directory_iterator(all)) {
        written += e.is_regular_file() ? 1 : 0;
        expect(!e.is_directory() || !HasTemporaries(e.path()),
               "a temporary in " + e.path().string());
    }
    expect(written > 0, "--export-all wrote nothing");
    expect(!HasTemporaries(dir) && !HasTemporaries(all), "a temporary left");
    expect(!fs::exists(dir / "new"), "the new set's folder, made for it, left");
    std::_Exit(ok ? 0 : 1);
}
#endif

TEST(ExportSafety, WritesPastTheFileSizeLimitFailWithTheirReason) {
#ifdef _WIN32
    GTEST_SKIP() << "not on Windows: no limit of a file's size";
#else
    TempDir dir;
    EXPECT_EXIT(WriteBeyondTheFileSizeLimit(dir.Path()), ::testing::ExitedWithCode(0), "");
#endif
}

TEST(ExportSafety, ControlCharactersOfPathsAreEscapedInMessages) {
    MARROWIX_SKIP_ON_WINDOWS("its names hold no control characters or bytes that are not text");
    TempDir dir;
    const std::string listing = (dir / "a\x1B[31mb\xC2\x9B.txt").string();
    const Outcome o = Inspect(dir, {listing});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Has(o.err, "a\\x1B[31mb\\x9B.txt")) << o.err;
    EXPECT_FALSE(Has(o.err, "\x1B")) << o.err;
    EXPECT_FALSE(Has(o.err, "\xC2\x9B")) << o.err;
    const Outcome bytes = Inspect(dir, {(dir / "w\xFF\xFE.txt").string()});
    EXPECT_TRUE(Has(bytes.err, "w\\xFF\\xFE.txt")) << bytes.err;
}

}  // namespace
}  // namespace marrowix::test
