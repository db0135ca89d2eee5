#include "thumbnails/ContactSheet.h"

#include <algorithm>
#include <new>
#include <string>

#include "textureset/SetCheck.h"
#include "thumbnails/ThumbnailWorkers.h"

namespace marrowix {
namespace {

#include "thumbnails/Glyphs.inc"

constexpr std::uint32_t kPad = 4;

struct Layout {
    std::uint32_t size;
    std::uint32_t columns;
    std::uint32_t cellWidth() const { return size + 2 * kPad; }
    std::uint32_t cellHeight() const { return size + 3 * kPad + kGlyphHeight; }
};

class Canvas {
public:
    explicit Canvas(ContactSheet& sheet) : m_sheet(sheet) {}

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
                    const auto ink = static_cast<std::uint8_t>(255 - glyph[gy * kGlyphWidth + gx]);
                    p[0] = p[1] = p[2] = std::min(p[0], ink);
                }
            }
            x += kGlyphWidth;
        }
    }

private:
    ContactSheet& m_sheet;
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
            const std::uint32_t p = t.pixels[std::size_t{y / factor} * t.width + x / factor];
            std::uint8_t* out = canvas.At(left + x, top + y);
            out[0] = static_cast<std::uint8_t>(p >> 16);
            out[1] = static_cast<std::uint8_t>(p >> 8);
            out[2] = static_cast<std::uint8_t>(p);
            out[3] = static_cast<std::uint8_t>(p >> 24);
        }
    }
}

}  // namespace

Result<ContactSheet> MakeContactSheet(const CTextureSet& set,
                                      const std::vector<std::size_t>& entries, std::uint32_t size,
                                      std::uint32_t columns) {
    Result<ContactSheet> result;
    const Layout layout{std::max(size, 1u), std::max(1u, columns)};
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
        sheet.rgba.assign(static_cast<std::size_t>(width * height) * 4, 255);
        Canvas canvas(sheet);
        std::vector<std::string> failures(entries.size());
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
                    failures[position] = thumbnail.error;
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
                canvas.Text(left, top + layout.size + kPad, layout.size,
                            set.GetEntryNameBytes(entry));

            } catch (const std::bad_alloc&) {
                failures[position] = "not enough memory";
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
        for (const std::string& failure : failures) {
            if (failure.rfind("not enough memory", 0) == 0) {
                throw std::bad_alloc();
            }
        }
    } catch (const std::bad_alloc&) {
        result.value = ContactSheet{};
        result.error = "not enough memory for the contact sheet";
    }
    return result;
}

}  // namespace marrowix
