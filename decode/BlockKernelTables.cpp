#include <memory>

#include "decode/BlockKernels.h"
#include "decode/Decode.h"

namespace marrowix::kernels {
namespace {

std::unique_ptr<PaletteTables> MakePalettes() {
    auto t = std::make_unique<PaletteTables>();
    for (std::uint32_t f0 = 0; f0 < 64; ++f0) {
        for (std::uint32_t f1 = 0; f1 < 64; ++f1) {
            std::uint32_t red = 0;
            std::uint32_t green = 0;
            std::uint32_t blue = 0;
            for (unsigned k = 0; k < 4; ++k) {
                const std::uint32_t five =
                    PaletteChannel(Expand5(f0 & 31), Expand5(f1 & 31), k) >> 4;
                green |= (PaletteChannel(Expand6(f0), Expand6(f1), k) >> 4) << (8 * k);
                red |= (five << 4) << (8 * k);
                blue |= (five << 4) << (8 * k);
            }
            t->green[f0 * 64 + f1] = green;
            if (f0 < 32 && f1 < 32) {
                t->red[f0 * 32 + f1] = red;
                t->blue[f0 * 32 + f1] = blue;
            }
        }
    }
    for (std::uint32_t a0 = 0; a0 < 256; ++a0) {
        for (std::uint32_t a1 = 0; a1 < 256; ++a1) {
            std::uint64_t nibbles = 0;
            for (std::uint32_t i = 0; i < 8; ++i) {
                nibbles |= std::uint64_t{BlockAlpha(a0, a1, i) >> 4} << (8 * i);
            }
            t->alpha[a0 | (a1 << 8)] = nibbles;
        }
    }
    return t;
}

std::unique_ptr<PaletteTables8> MakePalettes8() {
    auto t = std::make_unique<PaletteTables8>();
    for (std::uint32_t f0 = 0; f0 < 64; ++f0) {
        for (std::uint32_t f1 = 0; f1 < 64; ++f1) {
            std::uint32_t five = 0;
            std::uint32_t six = 0;
            for (unsigned k = 0; k < 4; ++k) {
                five |= PaletteChannel(Expand5(f0 & 31), Expand5(f1 & 31), k) << (8 * k);
                six |= PaletteChannel(Expand6(f0), Expand6(f1), k) << (8 * k);
            }
            t->green[f0 * 64 + f1] = six;
            if (f0 < 32 && f1 < 32) {
                t->red[f0 * 32 + f1] = five;
                t->blue[f0 * 32 + f1] = five;
            }
        }
    }
    for (std::uint32_t a0 = 0; a0 < 256; ++a0) {
        for (std::uint32_t a1 = 0; a1 < 256; ++a1) {
            std::uint64_t alphas = 0;
            for (std::uint32_t i = 0; i < 8; ++i) {
                alphas |= std::uint64_t{BlockAlpha(a0, a1, i)} << (8 * i);
            }
            t->alpha[a0 | (a1 << 8)] = alphas;
        }
    }
    return t;
}

}  // namespace

const PaletteTables& Palettes() {
    static const std::unique_ptr<PaletteTables> tables = MakePalettes();
    return *tables;
}

const PaletteTables8& Palettes8() {
    static const std::unique_ptr<PaletteTables8> tables = MakePalettes8();
    return *tables;
}

}  // namespace marrowix::kernels
