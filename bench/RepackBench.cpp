// Putting textures back, measured:
//   build/default/bench/marrowix_repack_bench [IMAGE.png ...]
// 1. DXT5 encoding of photographic 1024 x 1024 content at each quality, in
//    megapixels a second on every core.
// 2. Replacing one 256 x 256 texture in a set whose data files hold 1 GiB,
//    against copying the set's files.
// 3. Quality on real pictures (the images given, or icons and wallpapers of
//    Debian's adwaita-icon-theme and desktop-base where installed): RGB PSNR
//    through our decoder at --quality normal and at fast (beside libsquish's
//    range fit through its own decoder), libsquish's own blocks through
//    libsquish's own decoder (what the encoder won), premultiplied colour for images with alpha,
//    and nvcompress -bc3 (Debian's libnvtt-bin) on the same image.
#include <squish.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchImages.h"
#include "compare/Compare.h"
#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "repack/ClusterFit.h"
#include "repack/Encoders.h"
#include "repack/ImageInput.h"
#include "repack/SetWriter.h"

namespace {

using namespace marrowix;
using namespace marrowix::bench;
namespace fs = std::filesystem;

// RGB PSNR of 8-bit RGBA rows against decoded 0xAARRGGBB texels; with
// `premultiplied`, of each colour times its alpha / 255, as shown over black.
double RgbPsnr(const std::vector<std::uint8_t>& rgba, const std::vector<std::uint32_t>& texels,
               bool premultiplied) {
    double sum = 0;
    for (std::size_t i = 0; i < texels.size(); ++i) {
        const std::uint8_t* p = &rgba[i * 4];
        const std::uint32_t t = texels[i];
        const double a0 = premultiplied ? p[3] / 255.0 : 1;
        const double a1 = premultiplied ? (t >> 24) / 255.0 : 1;
        const int shifts[3] = {16, 8, 0};
        for (int c = 0; c < 3; ++c) {
            const double d = p[c] * a0 - ((t >> shifts[c]) & 0xFF) * a1;
            sum += d * d;
        }
    }
    return PsnrOf(sum / (3.0 * double(texels.size())));
}

std::vector<std::uint32_t> OurDecode(const std::vector<std::uint8_t>& blocks, std::uint32_t w,
                                     std::uint32_t h) {
    std::vector<std::uint32_t> texels(std::size_t{w} * h);
    DecodeBlockImage(w, h, blocks, std::span<std::uint32_t>(texels));
    return texels;
}

std::vector<std::uint32_t> SquishDecode(const std::vector<std::uint8_t>& blocks, std::uint32_t w,
                                        std::uint32_t h) {
    std::vector<std::uint8_t> rgba(std::size_t{w} * h * 4);
    squish::DecompressImage(rgba.data(), static_cast<int>(w), static_cast<int>(h), blocks.data(),
                            squish::kDxt5);
    std::vector<std::uint32_t> texels(std::size_t{w} * h);
    for (std::size_t i = 0; i < texels.size(); ++i) {
        const std::uint8_t* p = &rgba[i * 4];
        texels[i] =
            std::uint32_t{p[3]} << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
    }
    return texels;
}

void EncoderSpeed() {
    const std::vector<std::uint8_t> photo = PlasmaImage(1024, 7);
    std::printf("DXT5 encoding of 1024 x 1024 photographic content, %u cores, fit path %s\n",
                std::thread::hardware_concurrency(), DescribeFitPath().c_str());
    for (DxtQuality q : {DxtQuality::kFast, DxtQuality::kNormal, DxtQuality::kBest}) {
        const double seconds =
            Seconds([&] { EncodeDxt5(photo, 1024, 1024, q); }, q == DxtQuality::kBest ? 1 : 3);
        std::printf("  --quality %-6s %8.1f ms %8.2f megapixels a second%s\n", DxtQualityName(q),
                    seconds * 1e3, 1.048576 / seconds,
                    q == DxtQuality::kFast     ? " (target 30)"
                    : q == DxtQuality::kNormal ? " (target 5)"
                                               : "");
    }
    // The cluster fit's scalar reference, for what the vector path gains.
    const FitPath taken = ActiveFitPath();
    ForceFitPath(FitPath::kScalar);
    const double scalar = Seconds([&] { EncodeDxt5(photo, 1024, 1024, DxtQuality::kNormal); }, 1);
    std::printf("  --quality normal on the scalar fit path %8.1f ms %8.2f megapixels a second\n",
                scalar * 1e3, 1.048576 / scalar);
    ForceFitPath(taken);
}

void ReplaceSpeed(const fs::path& dir) {
    // 85 textures of 2048 x 2048 (4 MiB of blocks, 8 MiB of texels each)
    // and one of 256 x 256: 1 GiB of data in all.
    const fs::path source = dir / "big";
    fs::create_directories(source);
    std::string listing = "cat=0 name=all\n";
    std::vector<std::uint32_t> dxtOffsets = {0};
    std::vector<std::uint32_t> etcOffsets = {0};
    std::vector<char> data(std::size_t{8} << 20);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 2654435761u >> 13);
    }
    std::ofstream dxt(source / "w.dxt.dat", std::ios::binary);
    std::ofstream etc(source / "w.etc.dat", std::ios::binary);
    std::uint32_t dxtAt = 0;
    std::uint32_t etcAt = 0;
    for (int t = 0; t <= 85; ++t) {
        const std::uint32_t side = t < 85 ? 2048 : 256;
        listing += "\"t" + std::to_string(t) + "\" cat=0 width=" + std::to_string(side) +
                   " height=" + std::to_string(side) + "\n";
        dxtOffsets.push_back(dxtAt);
        etcOffsets.push_back(etcAt);
        const std::uint32_t dxtBytes = 8 + side * side;
        const std::uint32_t etcBytes = 8 + side * side * 2;
        dxt.write(data.data(), dxtBytes);
        etc.write(data.data(), etcBytes);
        dxtAt += dxtBytes;
        etcAt += etcBytes;
    }
    dxt.close();
    etc.close();
    std::ofstream(source / "w.txt") << listing;
    auto table = [&](const fs::path& path, const std::vector<std::uint32_t>& offsets) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(offsets.data()),
                   static_cast<std::streamsize>(offsets.size() * 4));
    };
    table(source / "w.dxt.toc", dxtOffsets);
    table(source / "w.etc.toc", etcOffsets);
    ::sync();

    const std::vector<std::uint8_t> photo = PlasmaImage(256, 9);
    const fs::path image = dir / "new.dds";
    {
        // The image as a DDS of RGBA pixels: read without a PNG decoder's time.
        std::vector<std::uint8_t> head(128, 0);
        auto put = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                head[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
            }
        };
        put(0, 0x20534444), put(4, 124), put(12, 256), put(16, 256), put(76, 32), put(80, 0x41);
        put(88, 32), put(92, 0xFF), put(96, 0xFF00), put(100, 0xFF0000), put(104, 0xFF000000);
        std::ofstream out(image, std::ios::binary);
        out.write(reinterpret_cast<const char*>(head.data()), 128);
        out.write(reinterpret_cast<const char*>(photo.data()), std::streamsize(photo.size()));
    }
    const double copy = Seconds(
        [&] {
            fs::remove_all(dir / "copy");
            fs::create_directories(dir / "copy");
            for (const char* name : {"w.txt", "w.dxt.toc", "w.dxt.dat", "w.etc.toc", "w.etc.dat"}) {
                fs::copy_file(source / name, dir / "copy" / name);
            }
        },
        5);
    const double replace = Seconds(
        [&] {
            fs::remove_all(dir / "new");
            RepackOptions options;
            options.quality = DxtQuality::kFast;
            const RepackResult r =
                ReplaceTextures((source / "w.txt").string(), (dir / "new" / "w.txt").string(),
                                {{85, image.string(), 256, 256, {}}}, options);
            if (!r.error.empty()) {
                std::printf("replace failed: %s\n", r.error.c_str());
            }
        },
        5);
    std::printf(
        "Replacing one 256 x 256 texture in a set of 1 GiB of data (both encodings)\n"
        "  copying the set's files %8.1f ms\n  --replace (fast)         %8.1f ms  "
        "%.2f x the copy\n",
        copy * 1e3, replace * 1e3, replace / copy);
}

void Quality(std::vector<std::string> images, const fs::path& dir) {
    if (images.empty()) {
        for (const char* found :
             {"/usr/share/icons/Adwaita/512x512/places/folder-pictures.png",
              "/usr/share/icons/Adwaita/256x256/status/user-trash-full.png",
              "/usr/share/icons/Adwaita/256x256/mimetypes/x-package-repository.png",
              "/usr/share/desktop-base/softwaves-theme/grub/grub-16x9.png",
              "/usr/share/desktop-base/emerald-theme/grub/grub-16x9.png",
              "/usr/share/desktop-base/joy-theme/grub/grub-16x9.png"}) {
            if (fs::exists(found)) {
                images.emplace_back(found);
            }
        }
    }
    // Photographic content of our own, as a PNG.
    const fs::path plasma = dir / "plasma.png";
    const std::vector<std::uint8_t> pixels = PlasmaImage(1024, 11);
    if (WritePngFile(plasma.string(), PackedImage(pixels.data(), 1024, 1024, PixelFormat::kRgba))
            .empty()) {
        images.push_back(plasma.string());
    }
    const bool haveNvcompress = std::system("command -v nvcompress >/dev/null 2>&1") == 0;
    std::printf("Quality at --quality normal and fast (RGB PSNR in dB)%s\n",
                haveNvcompress ? "" : "; nvcompress not found (Debian's libnvtt-bin)");
    std::printf("  %-44s %9s %7s %7s %7s %9s %9s %7s %7s\n", "image", "size", "ours", "squish",
                "nvtt", "ours pm", "nvtt pm", "fast", "sq rf");
    for (const std::string& path : images) {
        const Result<InputImage> read = ReadInputImage(path);
        if (!read.ok()) {
            std::printf("  %s\n", read.error.c_str());
            continue;
        }
        const InputImage& img = read.value;
        bool alpha = false;
        for (std::size_t i = 3; i < img.rgba.size() && !alpha; i += 4) {
            alpha = img.rgba[i] != 255;
        }
        const auto blocks = EncodeDxt5(img.rgba, img.width, img.height, DxtQuality::kNormal);
        const auto ours = OurDecode(blocks, img.width, img.height);
        const double oursDb = RgbPsnr(img.rgba, ours, false);
        // What libsquish alone makes of the image (the same fit and weights),
        // decoded by libsquish: what the encoder won.
        std::vector<std::uint8_t> squishBlocks(blocks.size());
        squish::CompressImage(
            img.rgba.data(), static_cast<int>(img.width), static_cast<int>(img.height),
            squishBlocks.data(),
            squish::kDxt5 | squish::kColourClusterFit | squish::kWeightColourByAlpha);
        const double squishDb =
            RgbPsnr(img.rgba, SquishDecode(squishBlocks, img.width, img.height), false);
        // The fast quality, against libsquish's range fit by libsquish.
        const double fastDb =
            RgbPsnr(img.rgba,
                    OurDecode(EncodeDxt5(img.rgba, img.width, img.height, DxtQuality::kFast),
                              img.width, img.height),
                    false);
        squish::CompressImage(
            img.rgba.data(), static_cast<int>(img.width), static_cast<int>(img.height),
            squishBlocks.data(),
            squish::kDxt5 | squish::kColourRangeFit | squish::kWeightColourByAlpha);
        const double rangeDb =
            RgbPsnr(img.rgba, SquishDecode(squishBlocks, img.width, img.height), false);
        double nvttDb = NAN;
        double nvttPm = NAN;
        if (haveNvcompress) {
            const fs::path dds = dir / "nvtt.dds";
            const std::string command = "nvcompress -bc3 -nomips -silent '" + path + "' '" +
                                        dds.string() + "' >/dev/null 2>&1";
            const Result<InputImage> theirs = std::system(command.c_str()) == 0
                                                  ? ReadInputImage(dds.string())
                                                  : Result<InputImage>{};
            if (theirs.ok() && theirs.value.width == img.width &&
                theirs.value.height == img.height) {
                const auto texels = OurDecode(theirs.value.dxtBlocks, img.width, img.height);
                nvttDb = RgbPsnr(img.rgba, texels, false);
                nvttPm = RgbPsnr(img.rgba, texels, true);
            }
        }
        const std::string name = fs::path(path).parent_path().filename().string() + "/" +
                                 fs::path(path).filename().string();
        std::printf("  %-44s %4ux%-4u %7.2f %7.2f %7.2f %9s %9s %7.2f %7.2f\n", name.c_str(),
                    img.width, img.height, oursDb, squishDb, nvttDb,
                    alpha ? FormatDecibels(RgbPsnr(img.rgba, ours, true)).c_str() : "-",
                    alpha ? FormatDecibels(nvttPm).c_str() : "-", fastDb, rangeDb);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir =
        fs::temp_directory_path() / ("marrowix-repack-" + std::to_string(getpid()));
    fs::create_directories(dir);
    EncoderSpeed();
    ReplaceSpeed(dir);
    Quality(std::vector<std::string>(argv + 1, argv + argc), dir);
    fs::remove_all(dir);
    return 0;
}
