#include "thumbnails/ContactSheet.h"

#include <algorithm>
#include <new>
#include <string>

#include "textureset/SetCheck.h"
#include "thumbnails/Checker.h"
#include "thumbnails/ThumbnailWorkers.h"

namespace marrowix {
namespace {

#include "thumbnails/Glyphs.inc"

constexpr std::uint32_t kPad = 4;

struct Layout {
    std::uint32_t size;
    std::uint32_t columns;
    std::uint32_t lines;  // of text under each thumbnail
    std::uint32_t cellWidth() const { return size + 2 * kPad; }
    std::uint32_t cellHeight() const { return size + 2 * kPad + lines * (kPad + kGlyphHeight); }
};

class Canvas {
public:
    Canvas(ContactSheet& sheet, const SheetStyle& style) : m_sheet(sheet), m_style(style) {}

    // The background at (x, y): 0xRRGGBB.
    std::uint32_t Background(std::uint32_t x, std::uint32_t y) const {
        if (!m_style.checker) {
            return m_style.background;
        }
        const auto grey = static_cast<std::uint32_t>(CheckerGrey(
            static_cast<int>(x / kCheckerSquare), static_cast<int>(y / kCheckerSquare)));
        return grey << 16 | grey << 8 | grey;
    }
    // Light text on a dark one-colour background, dark text otherwise.
    bool LightText() const {
        const std::uint32_t b = m_style.background;
        const std::uint32_t luma =
            (((b >> 16) & 0xFF) * 2126 + ((b >> 8) & 0xFF) * 7152 + (b & 0xFF) * 722) / 10000;
        return !m_style.checker && luma < 128;
    }
    void FillBackground() {
        for (std::uint32_t y = 0; y < m_sheet.height; ++y) {
            for (std::uint32_t x = 0; x < m_sheet.width; ++x) {
                const std::uint32_t c = Background(x, y);
                std::uint8_t* p = At(x, y);
                p[0] = static_cast<std::uint8_t>(c >> 16);
                p[1] = static_cast<std::uint8_t>(c >> 8);
                p[2] = static_cast<std::uint8_t>(c);
                p[3] = 255;
            }
        }
    }
    // A pixel 0xAARRGGBB blended onto the background at (x, y).
    void Blend(std::uint32_t x, std::uint32_t y, std::uint32_t pixel) {
        const std::uint32_t a = pixel >> 24;
        const std::uint32_t under = Background(x, y);
        std::uint8_t* p = At(x, y);
        for (int c = 0; c < 3; ++c) {
            const int shift = 16 - 8 * c;
            const std::uint32_t top = (pixel >> shift) & 0xFF;
            const std::uint32_t bottom = (under >> shift) & 0xFF;
            p[c] = static_cast<std::uint8_t>((top * a + bottom * (255 - a) + 127) / 255);
        }
        p[3] = 255;
    }

    std::uint8_t* At(std::uint32_t x, std::uint32_t y) {
        return &m_sheet.rgba[(std::size_t{y} * m_sheet.width + x) * 4];
    }
    void Fill(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h,
              std::uint32_t rgba) {
        for (std::uint32_t j = 0; j < h; ++j) {
            for (std::uint32_t i = 0; i < w; ++i) {
                std::uint8_t* p = At(x + i, y + j);
                p[0] = static_cast<std::uint8_t>(rgba >> 24);
                p[1] = static_cast<std::uint8_t>(rgba >> 16);
                p[2] = static_cast<std::uint8_t>(rgba >> 8);
                p[3] = static_cast<std::uint8_t>(rgba);
            }
        }
    }
    // Text in black over white at (x, y), at most `room` pixels wide: bytes
    // outside printable ASCII as '?', a name too long cut with "..".
    void Text(std::uint32_t x, std::uint32_t y, std::uint32_t room, std::string_view text) {
        const std::size_t fits = room / kGlyphWidth;
        std::string shown(text.substr(0, std::min(text.size(), fits)));
        if (text.size() > fits && fits >= 2) {
            shown.replace(fits - 2, 2, "..");
        }
        x += (room - static_cast<std::uint32_t>(shown.size()) * kGlyphWidth) / 2;
        for (char c : shown) {
            const auto u = static_cast<unsigned char>(c);
            const unsigned char* glyph = kGlyphs[(u >= 32 && u < 127 ? u : '?') - 32];
            for (int gy = 0; gy < kGlyphHeight; ++gy) {
                for (int gx = 0; gx < kGlyphWidth; ++gx) {
                    std::uint8_t* p =
                        At(x + static_cast<std::uint32_t>(gx), y + static_cast<std::uint32_t>(gy));
                    const std::uint8_t coverage = glyph[gy * kGlyphWidth + gx];
                    for (int k = 0; k < 3; ++k) {
                        p[k] = LightText()
                                   ? std::max(p[k], coverage)
                                   : std::min(p[k], static_cast<std::uint8_t>(255 - coverage));
                    }
                }
            }
            x += kGlyphWidth;
        }
    }

private:
    ContactSheet& m_sheet;
    const SheetStyle& m_style;
};

// The thumbnail into its square, centred, grown by a whole factor when it
// is at most half the square.
void Place(Canvas& canvas, const Thumbnail& t, std::uint32_t left, std::uint32_t top,
           std::uint32_t size) {
    const std::uint32_t factor = std::max(1u, size / std::max(t.width, t.height));
    const std::uint32_t w = t.width * factor;
    const std::uint32_t h = t.height * factor;
    left += (size - w) / 2;
    top += (size - h) / 2;
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            canvas.Blend(left + x, top + y,
                         t.pixels[std::size_t{y / factor} * t.width + x / factor]);
        }
    }
}

}  // namespace

Result<ContactSheet> MakeContactSheet(const CTextureSet& set,
                                      const std::vector<std::size_t>& entries, std::uint32_t size,
                                      std::uint32_t columns, const SheetStyle& style) {
    Result<ContactSheet> result;
    const std::uint32_t lines = style.labels == SheetStyle::Labels::kNone          ? 0
                                : style.labels == SheetStyle::Labels::kNameAndSize ? 2
                                                                                   : 1;
    const Layout layout{std::max(size, 1u), std::max(1u, columns), lines};
    const std::uint64_t shownColumns =
        std::min<std::uint64_t>(layout.columns, std::max<std::size_t>(entries.size(), 1));
    const std::uint64_t rows =
        (std::max<std::size_t>(entries.size(), 1) + shownColumns - 1) / shownColumns;
    const std::uint64_t width = shownColumns * layout.cellWidth();
    const std::uint64_t height = rows * layout.cellHeight();
    if (width * height > kMaxTexels) {
        result.error = "a contact sheet of " + std::to_string(entries.size()) +
                       " textures would be " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels, more than " + GroupDigits(kMaxTexels) +
                       "; choose a category, a smaller --size or fewer --columns";
        return result;
    }
    try {
        ContactSheet& sheet = result.value;
        sheet.width = static_cast<std::uint32_t>(width);
        sheet.height = static_cast<std::uint32_t>(height);
        sheet.rgba.resize(static_cast<std::size_t>(width * height) * 4);
        Canvas canvas(sheet, style);
        canvas.FillBackground();
        // Cells whose thumbnail ran out of memory: then the sheet does.
        std::vector<char> outOfMemory(entries.size(), 0);
        // Each cell is its own region of the sheet: workers write their own.
        ThumbnailWorkers workers([&](const ThumbnailJob& job, Result<Thumbnail> thumbnail) {
            const std::size_t position = job.tag;
            try {
                const auto left =
                    static_cast<std::uint32_t>(position % shownColumns) * layout.cellWidth() + kPad;
                const auto top =
                    static_cast<std::uint32_t>(position / shownColumns) * layout.cellHeight() +
                    kPad;
                if (thumbnail.ok()) {
                    Place(canvas, thumbnail.value, left, top, layout.size);
                } else {
                    outOfMemory[position] = thumbnail.outOfMemory ? 1 : 0;
                    canvas.Fill(left + layout.size / 4, top + layout.size / 4, layout.size / 2,
                                layout.size / 2, 0xE0E0E0FFu);
                }
                const std::size_t entry = entries[position];
                if (!EntryDataProblem(set, set.Entries()[entry]).empty()) {
                    const std::uint32_t corner = std::min(10u, layout.size);
                    for (std::uint32_t j = 0; j < corner; ++j) {
                        canvas.Fill(left + layout.size - corner + j, top + j, corner - j, 1,
                                    0xD02020FFu);
                    }
                }
                if (layout.lines >= 1) {
                    canvas.Text(left, top + layout.size + kPad, layout.size,
                                set.GetEntryNameBytes(entry));
                }
                if (layout.lines >= 2) {
                    const StoredEntry& e = set.Entries()[entry];
                    canvas.Text(left, top + layout.size + 2 * kPad + kGlyphHeight, layout.size,
                                std::to_string(e.width) + " x " + std::to_string(e.height));
                }

            } catch (const std::bad_alloc&) {
                outOfMemory[position] = 1;
            }
        });
        std::vector<ThumbnailJob> jobs;
        jobs.reserve(entries.size());
        for (std::size_t p = 0; p < entries.size(); ++p) {
            // The tag is the cell.
            jobs.push_back({&set, p, entries[p], layout.size, Precision::kFull});
        }
        workers.Want(std::move(jobs));
        workers.Finish();
        if (std::find(outOfMemory.begin(), outOfMemory.end(), 1) != outOfMemory.end()) {
            throw std::bad_alloc();
        }
    } catch (const std::bad_alloc&) {
        result.value = ContactSheet{};
        result.error = "not enough memory for the contact sheet";
    }
    return result;
}

}  // namespace marrowix
