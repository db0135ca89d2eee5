// The picture readers, a table of files each: what they read, and what they
// refuse before reserving memory.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "repack/ImageInput.h"
#include "repack/pictures/PictureReaders.h"
#include "tests/TestFiles.h"

namespace marrowix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The picture every file below holds: 3 x 2, top row first, RGBA.
const Bytes kPicture = {10,  20,  30,  40,  50,  60,  70,  80,  90,  100, 110, 120,
                        130, 140, 150, 160, 170, 180, 190, 200, 210, 220, 230, 240};

Bytes Opaque(Bytes rgba) {
    for (std::size_t i = 3; i < rgba.size(); i += 4) {
        rgba[i] = 255;
    }
    return rgba;
}

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}

// The picture's pixel (x, y) as blue, green, red[, alpha].
void PutBgr(Bytes& b, std::uint32_t x, std::uint32_t y, bool alpha) {
    const std::uint8_t* p = kPicture.data() + (y * 3 + x) * 4;
    b.insert(b.end(), {p[2], p[1], p[0]});
    if (alpha) {
        b.push_back(p[3]);
    }
}

struct TgaForm {
    int type = 2;  // 10: run-length encoded
    int bits = 32;
    bool topDown = false;
    bool rightToLeft = false;
    std::uint32_t width = 3, height = 2;
};
Bytes Tga(TgaForm f) {
    Bytes b = {0, 0, static_cast<std::uint8_t>(f.type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, f.width);
    Put16(b, f.height);
    b.push_back(static_cast<std::uint8_t>(f.bits));
    b.push_back(static_cast<std::uint8_t>((f.bits == 32 ? 8 : 0) | (f.topDown ? 0x20 : 0) |
                                          (f.rightToLeft ? 0x10 : 0)));
    for (std::uint32_t r = 0; r < 2; ++r) {
        const std::uint32_t y = f.topDown ? r : 1 - r;
        if (f.type == 10) {
            b.push_back(2);  // a raw packet of three pixels
        }
        for (std::uint32_t c = 0; c < 3; ++c) {
            PutBgr(b, f.rightToLeft ? 2 - c : c, y, f.bits == 32);
        }
    }
    return b;
}

struct BmpForm {
    int bits = 24;
    bool topDown = false;
    std::uint32_t infoSize = 40;
    std::uint32_t compression = 0;
    bool alphaMask = false;
    std::int32_t width = 3;
};
Bytes Bmp(BmpForm f) {
    const std::uint32_t masks = f.compression == 3 && f.infoSize == 40 ? 12 : 0;
    const std::uint32_t rowBytes = (3 * f.bits / 8 + 3) / 4 * 4;
    Bytes b = {'B', 'M'};
    Put32(b, 14 + f.infoSize + masks + rowBytes * 2);
    Put32(b, 0);
    Put32(b, 14 + f.infoSize + masks);
    Put32(b, f.infoSize);
    Put32(b, static_cast<std::uint32_t>(f.width));
    Put32(b, static_cast<std::uint32_t>(f.topDown ? -2 : 2));
    Put16(b, 1);
    Put16(b, static_cast<std::uint32_t>(f.bits));
    Put32(b, f.compression);
    b.resize(14 + 40);
    const std::uint32_t field[4] = {0x00FF0000, 0x0000FF00, 0x000000FF,
                                    f.alphaMask ? 0xFF000000u : 0u};
    for (std::uint32_t i = 0; i < (f.infoSize > 40 ? 4u : masks / 4); ++i) {
        Put32(b, field[i]);
    }
    b.resize(14 + f.infoSize + masks);
    for (std::uint32_t r = 0; r < 2; ++r) {
        const std::uint32_t y = f.topDown ? r : 1 - r;
        for (std::uint32_t x = 0; x < 3; ++x) {
            PutBgr(b, x, y, f.bits == 32);
        }
        b.resize(b.size() + rowBytes - 3 * f.bits / 8);
    }
    return b;
}

// The picture, opaque, as a JPEG (or grey: its green), repeated over
// width x height pixels.
Bytes Jpeg(bool grey, std::uint32_t width = 3, std::uint32_t height = 2) {
    Bytes pixels;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = kPicture.data() + ((y % 2) * 3 + x % 3) * 4;
            if (grey) {
                pixels.push_back(p[1]);
            } else {
                pixels.insert(pixels.end(), p, p + 3);
            }
        }
    }
    return test::JpegOf(pixels, width, height, grey ? 1 : 3);
}

Bytes Cut(Bytes b, std::size_t size) {
    b.resize(size);
    return b;
}

struct Row {
    const char* what;
    Bytes file;
    const char* name = "picture";
    Bytes expected = {};       // empty: refused
    int tolerance = 0;         // JPEG is lossy
    std::string refusal = {};  // a part of the reason
};

TEST(PictureReaders, ReadWhatEachFormatHoldsAndRefuseTheRest) {
    const std::vector<Row> rows = {
        {"tga 32 bottom-up", Tga({}), "a.tga", kPicture},
        {"tga 24 top-down", Tga({.bits = 24, .topDown = true}), "a.TGA", Opaque(kPicture)},
        {"tga rle right-to-left", Tga({.type = 10, .rightToLeft = true}), "a.tga", kPicture},
        {"tga grey", Cut(Tga({.type = 3}), 18), "a.tga", {}, 0, "of type 3"},
        {"tga cut short", Cut(Tga({}), 30), "a.tga", {}, 0, "cut short"},
        {"tga far beyond its data",
         Cut(Tga({.type = 10, .width = 4000, .height = 4000}), 40),
         "a.tga",
         {},
         0,
         "cannot come from its 40 bytes"},
        {"tga too large",
         Cut(Tga({.width = 65535, .height = 65535}), 18),
         "a.tga",
         {},
         0,
         "too large for a texture"},
        {"tga not by its name", Tga({}), "a.img", {}, 0, "not a picture that can be read"},
        {"bmp 24 bottom-up", Bmp({}), "a.bmp", Opaque(kPicture)},
        {"bmp 32 top-down, alpha 0",
         [] {
             Bytes b = Bmp({.bits = 32, .topDown = true});
             for (std::size_t i = b.size() - 24 + 3; i < b.size(); i += 4)
                 b[i] = 0;
             return b;
         }(),
         "a.bmp", Opaque(kPicture)},
        {"bmp 32 fourth byte alpha", Bmp({.bits = 32}), "a.bmp", kPicture},
        {"bmp bit fields with alpha",
         Bmp({.bits = 32, .infoSize = 124, .compression = 3, .alphaMask = true}), "a.bmp",
         kPicture},
        {"bmp bit fields without alpha", Bmp({.bits = 32, .compression = 3}), "a.bmp",
         Opaque(kPicture)},
        // Every byte n x 16, as the preview block is written: n x 17.
        {"bmp preview block",
         [] {
             Bytes b = Bmp({.bits = 32});
             for (std::size_t i = b.size() - 24; i < b.size(); ++i)
                 b[i] &= 0xF0;
             return b;
         }(),
         "a.bmp",
         [] {
             Bytes e = kPicture;
             for (auto& v : e)
                 v = static_cast<std::uint8_t>((v & 0xF0) | (v >> 4));
             return e;
         }()},
        {"bmp 16-bit",
         [] {
             Bytes b = Bmp({});
             b[28] = 16;
             return b;
         }(),
         "a.bmp",
         {},
         0,
         "16 bits"},
        {"bmp cut short", Cut(Bmp({}), 60), "a.bmp", {}, 0, "cut short"},
        {"bmp pixels inside the header",
         [] {
             Bytes b = Bmp({});
             b[10] = 20;
             return b;
         }(),
         "a.bmp",
         {},
         0,
         "inside its header"},
        {"bmp width 0", Bmp({.width = 0}), "a.bmp", {}, 0, "its size is 0 x 2"},
        {"jpeg colour", Jpeg(false), "a.jpg", Opaque(kPicture), 6},
        {"jpeg grey", Jpeg(true), "a.jpeg",
         [] {
             Bytes g = Opaque(kPicture);
             for (std::size_t i = 0; i < g.size(); i += 4)
                 g[i] = g[i + 2] = g[i + 1];
             return g;
         }(),
         2},
        {"jpeg cut short",
         [] {
             Bytes b = Jpeg(false, 64, 64);
             return Cut(b, b.size() * 3 / 4);  // inside its scan
         }(),
         "a.jpg",
         {},
         0,
         "data ends before its last scan"},
        {"jpeg far beyond its data",
         [] {
             Bytes b = Jpeg(false);
             // The frame header's height and width: 60000 x 60000.
             for (std::size_t i = 0; i + 8 < b.size(); ++i) {
                 if (b[i] == 0xFF && b[i + 1] == 0xC0) {
                     b[i + 5] = b[i + 7] = 0x3E;
                     b[i + 6] = b[i + 8] = 0x80;
                     break;
                 }
             }
             return b;
         }(),
         "a.jpg",
         {},
         0,
         "16000 x 16000 pixels cannot come from"},
        {"gif", Bytes{'G', 'I', 'F', '8', '9', 'a'}, "a.gif", {}, 0, "a GIF file, not a picture"},
        {"webp",
         Bytes{'R', 'I', 'F', 'F', 9, 0, 0, 0, 'W', 'E', 'B', 'P'},
         "a.webp",
         {},
         0,
         "a WebP file"},
    };
    for (const Row& row : rows) {
        MemoryBytes bytes(row.file);
        InputImage image;
        const std::string error = ReadPicture(bytes, row.name, image);
        if (row.expected.empty()) {
            EXPECT_NE(error.find(row.refusal), std::string::npos) << row.what << ": " << error;
            EXPECT_FALSE(error.empty()) << row.what;
            continue;
        }
        ASSERT_EQ(error, "") << row.what;
        ASSERT_EQ(image.rgba.size(), row.expected.size()) << row.what;
        for (std::size_t i = 0; i < row.expected.size(); ++i) {
            EXPECT_NEAR(image.rgba[i], row.expected[i], row.tolerance) << row.what << " byte " << i;
        }
        EXPECT_EQ(image.note.empty(), std::string(row.name).find(".jp") == std::string::npos)
            << row.what;
    }
}

}  // namespace
}  // namespace marrowix

#ifndef _WIN32  // ImageMagick is run where it is installed, on Debian
namespace marrowix {
namespace {

// The Python that has PIL, or an empty word.
constexpr const char* kPilPython =
    "$(for p in python3 /usr/bin/python3; do $p -c 'import PIL' 2>/dev/null && echo $p && break; "
    "done)";

// Pictures as ImageMagick writes them read as another reader reads them:
// ImageMagick itself, or for TGA files whose rows start at the bottom PIL
// (ImageMagick 6 writes those with their top row first and reads them so,
// against the origin the file gives).
TEST(PictureReaders, ReadWhatImageMagickWrites) {
    if (std::system("convert -version 2>/dev/null | grep -q ImageMagick") != 0) {
        GTEST_SKIP() << "not installed: ImageMagick";
    }
    const bool pil = std::system((std::string("test -n \"") + kPilPython + "\"").c_str()) == 0;
    const std::string dir = ::testing::TempDir() + "marrowix-pictures-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "' && cd '" + dir +
                           "' && convert -size 37x19 plasma:fractal -alpha set -channel A "
                           "-fx 'i/w' +channel -depth 8 source.png")
                              .c_str()),
              0);
    const std::string byImageMagick = "convert %1 rgba:%1.raw";
    const std::string byPil = std::string(kPilPython) +
                              " -c \"import sys; from PIL import Image; open(sys.argv[1] + '.raw', "
                              "'wb').write(Image.open(sys.argv[1]).convert('RGBA').tobytes())\" %1";
    struct Form {
        const char* options;
        const char* file;
        bool pil = false;
    } forms[] = {{"", "BMP3:24.bmp"},
                 {"", "32.bmp"},
                 {"-orient TopLeft", "top.tga"},
                 {"-compress RLE", "rle.tga", true},
                 {"-alpha off", "plain.tga", true},
                 {"-quality 95", "a.jpg"}};
    for (const Form& form : forms) {
        if (form.pil && !pil) {
            continue;
        }
        const std::string file = form.file;
        const std::string name = file.substr(file.find(':') + 1);
        std::string read = form.pil ? byPil : byImageMagick;
        for (std::size_t at; (at = read.find("%1")) != std::string::npos;) {
            read.replace(at, 2, name);
        }
        ASSERT_EQ(std::system(("cd '" + dir + "' && convert source.png " + form.options + " " +
                               file + " && " + read)
                                  .c_str()),
                  0)
            << file;
        const Result<InputImage> image = ReadInputImage(dir + "/" + name);
        ASSERT_TRUE(image.ok()) << file << ": " << image.error;
        std::FILE* raw = std::fopen((dir + "/" + name + ".raw").c_str(), "rb");
        ASSERT_NE(raw, nullptr);
        Bytes theirs(image.value.rgba.size() + 1);
        theirs.resize(std::fread(theirs.data(), 1, theirs.size(), raw));
        std::fclose(raw);
        EXPECT_EQ(image.value.rgba, theirs) << file;
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    if (!pil) {
        GTEST_SKIP() << "not installed: PIL (bottom-up TGA files not checked)";
    }
}

}  // namespace
}  // namespace marrowix
#endif
