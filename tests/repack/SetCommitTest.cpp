// Writing a new set where something may already be, may fail half-way or
// may change under the writer: what lies at the new set's names is either
// the old set or the new one, never a mix, and a refusal leaves nothing.
#include <gtest/gtest.h>

#include <zlib.h>

#include <csignal>
#include <cstring>
#include <map>

#include "imagefiles/ImageFiles.h"
#include "platform/SignalCleanup.h"
#include "repack/NewSet.h"
#include "repack/SetWriter.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "tools/SampleSet.h"

namespace marrowix::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Files = std::map<std::string, Bytes>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every file of a folder by name, with its bytes.
Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.is_regular_file()) {
            files[e.path().filename().string()] = ReadBytes(e.path());
        }
    }
    return files;
}

// A sample set at dir/old, texture 3 exported as dir/rings.png, and texture
// 2 as dir/edit.png to replace texture 0 (the same size, other texels).
struct Fixture {
    TempDir dir;
    fs::path old = dir / "old" / "world.txt";
    fs::path rings = dir / "rings.png";
    fs::path edit = dir / "edit.png";
    Fixture() {
        EXPECT_EQ(WriteSampleSet(dir / "old"), "");
        EXPECT_EQ(Inspect(dir, {"--export", "3", "--output", rings.string(), old.string()}).code,
                  0);
        EXPECT_EQ(Inspect(dir, {"--export", "2", "--output", edit.string(), old.string()}).code, 0);
    }
    Outcome Replace(const fs::path& made, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {"--replace", "0", edit.string(), "--output-set",
                                         made.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(old.string());
        return Inspect(dir, args);
    }
};

TEST(SetCommit, ASetAlreadyThereIsKeptOrReplacedWholeNeverMixed) {
    Fixture f;
    struct Case {
        const char* name;
        std::vector<std::string> before;  // files made first at NEW ("/": a folder)
        std::vector<std::string> extra;   // options
        int code;
        const char* says;                // on stderr; "" for a success
        std::vector<std::string> after;  // the files at NEW afterwards
    };
    const std::vector<std::string> both = {"world.dxt.dat", "world.dxt.toc", "world.etc.dat",
                                           "world.etc.toc", "world.txt"};
    const std::vector<std::string> dxt = {"world.dxt.dat", "world.dxt.toc", "world.txt"};
    const std::vector<Case> cases = {
        {"kept", both, {}, 1, "a set is already there", both},
        {"a lone table kept", {"world.etc.toc"}, {}, 1, "world.etc.toc'", {"world.etc.toc"}},
        {"replaced", both, {"--overwrite"}, 0, "", both},
        {"the other encoding's files go", both, {"--overwrite", "--mode", "dxt"}, 0, "", dxt},
        {"a folder at a data file's name",
         {"world.txt", "world.dxt.toc", "world.dxt.dat", "world.etc.dat/"},
         {"--overwrite"},
         1,
         "is a folder",
         {"world.dxt.dat", "world.dxt.toc", "world.txt"}},
        {"a folder at the listing's name", {"world.txt/"}, {"--overwrite"}, 1, "is a folder", {}},
    };
    for (const Case& c : cases) {
        const fs::path folder = f.dir / c.name;
        fs::create_directories(folder);
        for (const std::string& name : c.before) {
            if (name.ends_with('/')) {
                fs::create_directory(folder / name);
            } else {
                WriteText(folder / name, "old " + name);
            }
        }
        const Files before = FilesIn(folder);
        const Outcome o = f.Replace(folder / "world.txt", c.extra);
        EXPECT_EQ(o.code, c.code) << c.name << ": " << o.err;
        EXPECT_TRUE(Has(o.err, c.says)) << c.name << ": " << o.err;
        const Files after = FilesIn(folder);
        std::vector<std::string> names;
        for (const auto& [name, bytes] : after) {
            names.push_back(name);
        }
        EXPECT_EQ(names, c.after) << c.name;
        if (c.code != 0) {
            EXPECT_EQ(after, before) << c.name << ": the files there were changed";
            continue;
        }
        // What is there is the new set, checking clean in every encoding it has.
        for (const char* mode : {"dxt", "etc"}) {
            if (after.count(std::string("world.") + mode + ".dat") != 0) {
                const Outcome check =
                    Inspect(f.dir, {"--check", "--mode", mode, (folder / "world.txt").string()});
                EXPECT_FALSE(Has(check.out, "offset")) << c.name << " " << mode << check.out;
            }
        }
        EXPECT_EQ(after.at("world.txt"), ReadBytes(f.old)) << c.name;
    }
}

// Whether the files in `folder` are exactly `set`'s, or there is no listing
// there and every file the message names as kept exists.
::testing::AssertionResult OneSetOrNoListing(const fs::path& folder, const Files& oldSet,
                                             const Files& newSet, const std::string& error) {
    const Files now = FilesIn(folder);
    if (now.count("world.txt") == 0) {
        for (const auto& [name, bytes] : oldSet) {
            if (now.count(name) == 0 && !Has(error, name + ".old-")) {
                return ::testing::AssertionFailure() << name << " is lost: " << error;
            }
        }
        return ::testing::AssertionSuccess();
    }
    if (now == oldSet || now == newSet) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "a listing beside files of another set: " << error;
}

TEST(SetCommit, AFailedRenameLeavesTheOldSetOrTheNewOneNeverAMix) {
    Fixture f;
    const fs::path made = f.dir / "new" / "world.txt";
    // The set to overwrite (a copy of the source) and the set meant.
    fs::create_directories(made.parent_path());
    const Files oldSet = FilesIn(f.old.parent_path());
    const fs::path reference = f.dir / "reference" / "world.txt";
    ASSERT_EQ(f.Replace(reference).code, 0);
    const Files newSet = FilesIn(reference.parent_path());
    ASSERT_NE(oldSet, newSet);

    // Five files aside and five renamed in; a disk that fails once at each
    // rename, and one that fails from that rename on (the taking back too).
    for (const bool fromThenOn : {false, true}) {
        for (int failing = 0; failing <= 10; ++failing) {
            for (const auto& [name, bytes] : oldSet) {
                WriteBytes(made.parent_path() / name, bytes);
            }
            RepackOptions options;
            options.overwrite = true;
            options.renameFails = [&](int step) {
                return fromThenOn ? step >= failing : step == failing;
            };
            const RepackResult result =
                ReplaceTextures(f.old.string(), made.string(),
                                {{0, f.edit.string(), 64, 64, InputImage{}}}, options);
            const std::string what = "failing at " + std::to_string(failing) +
                                     (fromThenOn ? " on" : "") + ": " + result.error;
            EXPECT_EQ(result.error.empty(), failing == 10) << what;
            EXPECT_TRUE(OneSetOrNoListing(made.parent_path(), oldSet, newSet, result.error))
                << what;
            for (const auto& [name, bytes] : FilesIn(made.parent_path())) {
                EXPECT_FALSE(Has(name, ".partial-")) << what << ": " << name << " left";
            }
            fs::remove_all(made.parent_path());
            fs::create_directories(made.parent_path());
        }
    }
}

TEST(SetCommit, ACancelledWriteLeavesNothing) {
    Fixture f;
    RepackOptions options;
    options.cancelled = [] { return true; };
    const fs::path made = f.dir / "cancelled" / "world.txt";
    const RepackResult result = ReplaceTextures(
        f.old.string(), made.string(), {{0, f.edit.string(), 64, 64, InputImage{}}}, options);
    EXPECT_EQ(result.error, kCancelled);
    EXPECT_FALSE(fs::exists(made.parent_path()));
}

TEST(SetCommit, OneReadingOfTheListingNamesPairsAndWritesTheSet) {
    Fixture f;
    SourceSet source;
    ASSERT_EQ(OpenSourceSet(f.old.string(), &source), "");
    const std::string nameOf3(source.dxt.GetEntryNameBytes(3));
    const std::string nameOf0(source.dxt.GetEntryNameBytes(0));
    // A pipeline replaces the listing by renames between the reading and
    // the writing (the old one aside first, as Windows needs while it is
    // open): two lines only, entries 0 and 1 traded.
    WriteText(f.dir / "other.txt", "\"b\" width=4 height=4\n\"a\" width=4 height=4\n");
    fs::rename(f.old, f.dir / "was.txt");
    fs::rename(f.dir / "other.txt", f.old);
    const fs::path made = f.dir / "new" / "world.txt";
    const RepackResult result =
        ReplaceTextures(source, made.string(), {{0, f.edit.string(), 64, 64, InputImage{}}}, {});
    ASSERT_EQ(result.error, "");
    const auto written = OpenSet(made);
    ASSERT_EQ(written->GetEntryCount(), source.dxt.GetEntryCount());
    EXPECT_EQ(written->GetEntryNameBytes(0), nameOf0);
    EXPECT_EQ(written->GetEntryNameBytes(3), nameOf3);
}

TEST(SetCommit, RefusalsNameTheirCauseAndLeaveNothing) {
    Fixture f;
    fs::create_directories(f.dir / "pack" / "c");
    fs::copy_file(f.rings, f.dir / "pack" / "c" / "x.png");
    // Windows has no FIFOs: a device stands in.
    const bool fifo = MakeFifo(f.dir / "fifo.png");
    fs::create_directory(f.dir / "folder.png");
    // A DDS declaring 16383 x 16384 DXT5 blocks with 32 bytes of them, and a
    // PNG declaring as many RGBA pixels with a few bytes of data.
    Bytes dds(128 + 32, 0);
    const std::uint32_t header[] = {0x20534444, 124, 0x1007, 16384, 16383};
    std::memcpy(dds.data(), header, sizeof header);
    const std::uint32_t format[] = {32, 4, 0x35545844};  // DDPF_FOURCC, "DXT5"
    std::memcpy(dds.data() + 4 + 72, format, sizeof format);
    WriteBytes(f.dir / "bomb.dds", dds);
    const Bytes png = ReadBytes(f.rings);
    Bytes bomb(png.begin(), png.begin() + 33);  // signature and IHDR
    for (int i = 0; i < 4; ++i) {
        bomb[16 + i] = i == 2 ? 0x3F : (i == 3 ? 0xFF : 0);  // width 16383
        bomb[20 + i] = i == 2 ? 0x40 : 0;                    // height 16384
    }
    const std::uint32_t crc = ::crc32(0, bomb.data() + 12, 17);
    for (int i = 0; i < 4; ++i) {
        bomb[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    bomb.insert(bomb.end(), png.begin() + 33, png.end());  // its data: far too little
    WriteBytes(f.dir / "bomb.png", bomb);
    // The same size declared by a TGA of runs, a BMP and a JPEG.
    Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x3F, 0, 0x40, 32, 8};
    tga.resize(tga.size() + 64, 0xFF);
    WriteBytes(f.dir / "bomb.tga", tga);
    Bytes bmp = {'B', 'M', 0, 0,    0,    0, 0, 0, 0,    0, 54, 0, 0, 0,  40,
                 0,   0,   0, 0xFF, 0x3F, 0, 0, 0, 0x40, 0, 0,  1, 0, 24, 0};
    bmp.resize(54 + 64);
    WriteBytes(f.dir / "bomb.bmp", bmp);
    Bytes jpeg = JpegOf(Bytes(8 * 8 * 3, 0x80), 8, 8, 3);
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // the frame: height, width
            jpeg[i + 5] = 0x40, jpeg[i + 6] = 0, jpeg[i + 7] = 0x3F, jpeg[i + 8] = 0xFF;
            break;
        }
    }
    WriteBytes(f.dir / "bomb.jpg", jpeg);

    const std::string old = f.old.string();
    const std::string out = (f.dir / "out" / "world.txt").string();
    auto in = [&](const std::string& name) { return (f.dir / name).string(); };
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--replace-from", in("missing"), "--output-set", out, old}, "No such file or directory"},
        {{"--replace-from", in("rings.png"), "--output-set", out, old}, "not a folder"},
        {{"--replace", "3", in("rings.png"), "--output-set", in("rings.png"), old},
         "an image being read"},
        {{"--pack", in("pack"), "--output-set", in("pack/c/x.png")}, "an image being read"},
        {{"--replace", "3", fifo ? in("fifo.png") : "NUL", "--output-set", out, old},
         "not a regular file"},
        {{"--replace", "3", in("folder.png"), "--output-set", out, old}, "a folder, not an image"},
        {{"--replace", "3", in("bomb.dds"), "--output-set", out, old}, "cut short"},
        {{"--replace", "3", in("bomb.png"), "--output-set", out, old}, "cut short"},
        {{"--replace", "3", in("bomb.tga"), "--output-set", out, old}, "cut short"},
        {{"--replace", "3", in("bomb.bmp"), "--output-set", out, old}, "cut short"},
        {{"--replace", "3", in("bomb.jpg"), "--output-set", out, old}, "cut short"},
    };
#ifdef MARROWIX_ASAN
    const std::uint64_t limit = 0;  // the sanitizer reserves more than that
#else
    const std::uint64_t limit = std::uint64_t{256} << 20;
#endif
    for (const Case& c : cases) {
        const Outcome o = Inspect(f.dir, c.args, {}, false, limit);
        EXPECT_EQ(o.code, 1) << c.args[0] << " " << c.args[1] << ": " << o.err;
        EXPECT_TRUE(Has(o.err, c.says)) << o.err;
        EXPECT_FALSE(fs::exists(f.dir / "out")) << c.args[1];
    }
    EXPECT_EQ(ReadBytes(f.dir / "pack" / "c" / "x.png"), png);
    EXPECT_EQ(ReadBytes(f.rings), png);
}

#ifndef _WIN32
// Makes the pending files of a set in `folder`, then is ended by SIGTERM.
[[noreturn]] void EndedWhileWriting(const fs::path& folder) {
    RemoveTemporariesOnSignals();
    NewSet set;
    if (!set.Make((folder / "world.txt").string(), {kModeDxt, kModeEtc}).empty()) {
        std::_Exit(3);
    }
    std::raise(SIGTERM);
    std::_Exit(4);
}
#endif

TEST(SetCommit, ASignalRemovesTheTemporaries) {
    MARROWIX_SKIP_ON_WINDOWS("signals end no process there (Ctrl+C is a console event)");
    TempDir dir;
#ifndef _WIN32
    EXPECT_EXIT(EndedWhileWriting(dir.Path()), ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(fs::is_empty(dir.Path()));
#endif
}

}  // namespace
}  // namespace marrowix::test
