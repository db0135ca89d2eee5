// Timings of image files written from a 4096 x 4096 "dxt" texture of
// photographic content (a plasma fractal with an alpha ramp, encoded by the
// sample tool's DXT5 encoder), as marrowix-inspect --export writes them:
//   build/default/bench/marrowix_export_bench
// PNG at both depths against BMP in the same run, with the file sizes and,
// for size, a PNG of the same pixels written with libpng's default settings.
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <vector>

#include "BenchImages.h"
#include "Machine.h"
#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"
#include "platform/ProcessMemory.h"
#include "textureset/PreviewImage.h"
#include "tools/DxtEncoder.h"

namespace {

using namespace marrowix;
using namespace marrowix::bench;
namespace fs = std::filesystem;

constexpr std::uint32_t kSide = 4096;

// Exports of one content: a 4096 x 4096 plasma of `roughness` with an alpha
// ramp, encoded as DXT5.
void MeasureContent(const fs::path& dir, const char* content, float roughness) {
    const std::vector<std::uint8_t> rgba = PlasmaImage(kSide, 2024, roughness);
    const std::vector<std::uint8_t> blocks = EncodeDxt5Image(kSide, kSide, rgba);
    std::ofstream(dir / "photo.txt") << "\"photo\" width=4096 height=4096\n";
    const std::uint32_t zero = 0;
    std::ofstream(dir / "photo.dxt.toc", std::ios::binary)
        .write(reinterpret_cast<const char*>(&zero), 4);
    {
        std::ofstream data(dir / "photo.dxt.dat", std::ios::binary);
        const char header[8] = {};
        data.write(header, 8);
        data.write(reinterpret_cast<const char*>(blocks.data()),
                   static_cast<std::streamsize>(blocks.size()));
    }
    CTextureSet set;
    OpenTextureSet(set, FromNativePath((dir / "photo.txt").string()), u"dxt");

    const std::string bmp = (dir / "out.bmp").string();
    const std::string png4 = (dir / "out4.png").string();
    const std::string png8 = (dir / "out8.png").string();
    // What --export does: straight from the data file, a band at a time.
    const double bmpSeconds =
        Seconds([&] { ExportEntryImage(bmp, set, 0, ImageFormat::kBmp, Precision::kNibbles); }, 7);
    const double png4Seconds =
        Seconds([&] { ExportEntryImage(png4, set, 0, ImageFormat::kPng, Precision::kNibbles); }, 5);
    const double png8Seconds =
        Seconds([&] { ExportEntryImage(png8, set, 0, ImageFormat::kPng, Precision::kFull); }, 5);
    // What the viewer's Ctrl+S does: from the image it has built.
    const std::string viewerPng = (dir / "viewer.png").string();
    const double viewerSeconds =
        Seconds([&] { WritePngFile(viewerPng, BuildImageDib(set, 0, Precision::kFull).value); }, 5);

    // The same full-precision pixels with libpng's default settings.
    const auto image = BuildImageDib(set, 0, Precision::kFull).value;
    std::vector<std::uint8_t> topDown(std::size_t{kSide} * kSide * 4);
    for (std::uint32_t y = 0; y < kSide; ++y) {
        const std::uint8_t* src =
            image.data() + kDibHeaderSize + std::size_t{kSide - 1 - y} * kSide * 4;
        std::uint8_t* dst = topDown.data() + std::size_t{y} * kSide * 4;
        for (std::uint32_t x = 0; x < kSide * 4; x += 4) {
            dst[x] = src[x + 2];
            dst[x + 1] = src[x + 1];
            dst[x + 2] = src[x];
            dst[x + 3] = src[x + 3];
        }
    }
    const std::string reference = (dir / "default.png").string();
    const double defaultSeconds = Seconds(
        [&] {
            png_image out{};
            out.version = PNG_IMAGE_VERSION;
            out.width = kSide;
            out.height = kSide;
            out.format = PNG_FORMAT_RGBA;
            png_image_write_to_file(&out, reference.c_str(), 0, topDown.data(), 0, nullptr);
        },
        1);

    const double pixelMiB = double(kSide) * kSide * 4 / (1 << 20);
    auto size = [](const std::string& p) { return double(fs::file_size(p)) / (1 << 20); };
    std::printf("\n4096 x 4096 dxt texture: %s (plasma fractal, roughness %.2f, alpha ramp)\n",
                content, double(roughness));
    std::printf("%-34s %9s %10s %9s %7s\n", "export", "ms", "MiB/s", "file MiB", "x BMP");
    auto row = [&](const char* what, double seconds, const std::string& file) {
        std::printf("%-34s %9.1f %10.1f %9.2f %7.2f\n", what, seconds * 1e3, pixelMiB / seconds,
                    size(file), seconds / bmpSeconds);
    };
    row("BMP (preview block)", bmpSeconds, bmp);
    row("PNG --depth 4", png4Seconds, png4);
    row("PNG --depth 8", png8Seconds, png8);
    row("PNG 8-bit from the built image", viewerSeconds, viewerPng);
    row("PNG, libpng defaults (8-bit pixels)", defaultSeconds, reference);
    std::printf("PNG --depth 8 size against libpng's defaults: %.2f x\n",
                size(png8) / size(reference));
}

}  // namespace

int main() {
    KeepFreedMemoryForReuse();
    const fs::path dir =
        fs::temp_directory_path() / ("marrowix-export-" + std::to_string(getpid()));
    fs::create_directories(dir);
    bench::PrintMachine();
    MeasureContent(dir, "smooth", 0.55f);
    MeasureContent(dir, "photographic", 0.8f);
    fs::remove_all(dir);
    return 0;
}
