// marrowix-inspect end to end: the real program on sets written for the test.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "decode/Decode.h"
#include "inspect/Inspect.h"
#include "tests/TestFiles.h"
#include "tests/inspect/RunInspect.h"
#include "textureset/DisplayText.h"
#include "textureset/PreviewImage.h"

namespace marrowix::test {
namespace {

std::filesystem::path ExampleSet(const TempDir& dir) {
    SetFiles files;
    files.listing =
        "cat=0 name=streets\n"
        "cat=1 name=signs\n"
        "\"road\" cat=0 width=4 height=2\n"
        "\"stop\" cat=1 width=2 height=2\n"
        "\"stray\" cat=3 width=1 height=1\n"
        "\"q\\\x01\t\" cat=0 width=0 height=0\n"
        "\"bad\" cat=1 width=-2 height=2\n";
    files.mode = "etc";
    files.table = Le32({0, 0, 420, 0, 0, 0, 0});
    files.data.assign(420 + 8, 0);
    for (std::uint16_t t : {0xF00F, 0x0F0F, 0x00FF, 0xFFF0, 0x1234, 0x5678, 0x9ABC, 0xDEF1}) {
        files.data.push_back(static_cast<std::uint8_t>(t));
        files.data.push_back(static_cast<std::uint8_t>(t >> 8));
    }
    return WriteSet(dir, files);
}

// Names and the columns after them line up whatever the indexes' widths.
TEST(Inspect, TheTreesColumnsLineUp) {
    TempDir dir;
    SetFiles files;
    files.listing = "cat=0 name=all\n";
    for (int i = 0; i < 101; ++i) {
        files.listing += "\"t" + std::to_string(i) + "\" width=4 height=4\n";
    }
    const Outcome o = Inspect(dir, {WriteSet(dir, files).string()});
    std::istringstream lines(o.out);
    std::string row;
    std::getline(lines, row);  // the category
    while (std::getline(lines, row)) {
        EXPECT_EQ(row.find(" t"), 8u) << row;  // "    #100 t100"
        EXPECT_EQ(row.find("Dimensions"), 35u) << row;
    }
}

TEST(Inspect, PrintsTheTree) {
    TempDir dir;
    const auto listing = ExampleSet(dir);
    const Outcome o = Inspect(dir, {"--mode", "etc", listing.string()});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err, "");
    std::istringstream lines(o.out);
    std::vector<std::string> rows;
    for (std::string row; std::getline(lines, row);) {
        rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), 7u) << o.out;
    EXPECT_EQ(rows[0], "[+] streets");
    EXPECT_EQ(rows[1].rfind("    #0 road ", 0), 0u) << rows[1];
    EXPECT_NE(rows[1].find("Dimensions: 4 x 2"), std::string::npos);
    EXPECT_NE(rows[1].find("Offset: 0x1A4"), std::string::npos);
    EXPECT_EQ(rows[2].rfind("    #3 q\\\\x01\\t ", 0), 0u) << rows[2];
    EXPECT_EQ(rows[3], "[+] signs");
    EXPECT_EQ(rows[4].rfind("    #1 stop ", 0), 0u);
    EXPECT_NE(rows[4].find("Offset: 0x0"), std::string::npos);
    EXPECT_EQ(rows[5].rfind("    #4 bad ", 0), 0u);
    EXPECT_EQ(rows[6].rfind("#2 stray ", 0), 0u) << "no category line: at the root, last";
}

TEST(Inspect, PrintsJsonAndWarnsOfMissingFiles) {
    TempDir dir;
    const auto listing = ExampleSet(dir);
    const Outcome o = Inspect(dir, {"--json", listing.string()});  // dxt files are absent
    ASSERT_EQ(o.code, 0);
    EXPECT_NE(o.err.find("warning: cannot open offset table '" + (dir / "world.dxt.toc").string()),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("warning: cannot open data file"), std::string::npos);
    EXPECT_EQ(o.out.rfind("{\"mode\":\"dxt\",\"files\":{\"listing\":true,\"offsets\":false,"
                          "\"data\":false},\"categories\":[\"streets\",\"signs\"],\"entries\":["
                          "{\"index\":0,\"name\":\"road\",\"width\":4,\"height\":2,\"offset\":0,"
                          "\"category\":0},",
                          0),
              0u)
        << o.out;
    EXPECT_NE(o.out.find("\"name\":\"q\\\\\\u0001\\t\""), std::string::npos) << o.out;
    EXPECT_EQ(inspect::JsonString(u"\u00E9\xD800"), "\"\xC3\xA9\\uD800\"");
}

// A stored name's bytes print as the units they are, in both forms: every
// byte value alone and between plain text, and runs of bytes to escape.
TEST(Inspect, NameBytesPrintAsTheirUnits) {
    std::vector<std::string> names = {"", "plain", "a\"b\\c", "\x01\x7F\x80\x9F\xA0\xFF"};
    for (int b = 0; b < 256; ++b) {
        names.push_back(std::string(1, static_cast<char>(b)));
        names.push_back("ab" + std::string(1, static_cast<char>(b)) + "cd");
    }
    for (const std::string& name : names) {
        std::u16string widened;
        for (const char c : name) {
            widened += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
        for (const bool json : {false, true}) {
            std::string fromBytes;
            std::string fromUnits;
            AppendEscapedBytes(fromBytes, name, json);
            AppendEscaped(fromUnits, widened, json);
            EXPECT_EQ(fromBytes, fromUnits) << json << " " << name;
        }
    }
}

// Exports entry 0 (road) of the example set's etc files to `out`.
Outcome ExportRoad(const TempDir& dir, const std::filesystem::path& listing,
                   const std::filesystem::path& out) {
    return Inspect(dir,
                   {"--mode", "etc", "--export", "0", "--output", out.string(), listing.string()});
}

TEST(Inspect, ExportsBmpByteForByte) {
    TempDir dir;
    const auto listing = ExampleSet(dir);
    const auto bmp = dir / "road.BMP";
    const Outcome o = ExportRoad(dir, listing, bmp);
    ASSERT_EQ(o.code, 0) << o.err;
    const auto file = ReadBytes(bmp);
    auto set = OpenSet(listing, "etc");
    const auto dib = BuildPreviewDib(*set, 0);
    ASSERT_EQ(file.size(), 14 + dib.value.size());
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2] | file[3] << 8, static_cast<int>(file.size()));
    EXPECT_EQ(file[10], 54);
    EXPECT_TRUE(std::equal(dib.value.begin(), dib.value.end(), file.begin() + 14));
}

TEST(Inspect, ExportsPngTopRowFirstWithAlpha) {
    TempDir dir;
    const auto listing = ExampleSet(dir);
    const auto png = dir / "road.png";
    const Outcome o = ExportRoad(dir, listing, png);
    ASSERT_EQ(o.code, 0) << o.err;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const auto bytes = ReadBytes(png);
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 4u);
    ASSERT_EQ(image.height, 2u);
    // Each nibble widened exactly, n x 17: top-left texel 0xF00F is opaque
    // red, 255 and 255. Bottom-right 0xDEF1.
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[1], 0);
    EXPECT_EQ(pixels[3], 255);
    const std::size_t last = pixels.size() - 4;
    EXPECT_EQ(pixels[last + 0], 0xDD);
    EXPECT_EQ(pixels[last + 1], 0xEE);
    EXPECT_EQ(pixels[last + 2], 0xFF);
    EXPECT_EQ(pixels[last + 3], 0x11);
}

TEST(Inspect, FailuresNameTheCauseAndLeaveNoFile) {
    TempDir dir;
    const auto listing = ExampleSet(dir);
    const auto out = (dir / "x.png").string();
    auto run = [&](std::vector<std::string> args) { return Inspect(dir, args); };

    Outcome o = run({"--mode", "etc", "--export", "9", "--output", out, listing.string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.err.find("entry 9: no such entry"), std::string::npos) << o.err;
    o = run({"--mode", "etc", "--export", "4", "--output", out, listing.string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.err.find("entry 4 \"bad\": negative size -2 x 2"), std::string::npos) << o.err;
    o = run({"--mode", "etc", "--export", "3", "--output", out, listing.string()});
    EXPECT_EQ(o.code, 1) << "a PNG cannot be empty";
    o = run({"--mode", "etc", "--export", "0", "--output", (dir / "no/such/x.png").string(),
             listing.string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.err.find("cannot write"), std::string::npos);
    o = run({(dir / "missing.txt").string()});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.err.find("cannot open listing"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(e.path().string().find(".partial"), std::string::npos) << e.path();
    }
}

TEST(Inspect, UsageErrors) {
    TempDir dir;
    const auto listing = ExampleSet(dir).string();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", listing},
             {"--mode"},
             {"--mode", "DXT", listing},
             {"--export", "x1", "--output", "a.bmp", listing},
             {"--export", "1", listing},
             {"--export", "1", "--output", "a.gif", listing},
             {"--export", "1", "--output", "a.dds", "--depth", "8", listing},
             {"--export-all", "d", "--format", "dds", "--depth", "8", listing},
             {"--export-all", "d", "--format", "tga", listing},
             {listing, listing}}) {
        const Outcome o = Inspect(dir, args);
        EXPECT_EQ(o.code, 2) << (args.empty() ? "" : args[0]);
        EXPECT_NE(o.err.find("usage: marrowix-inspect"), std::string::npos);
    }
    const Outcome help = Inspect(dir, {"--help"});
    EXPECT_EQ(help.code, 0);
}

}  // namespace
}  // namespace marrowix::test
