#include "imagefiles/EntryPixels.h"
#include "textureset/TexelAccess.h"

#include <algorithm>

namespace marrowix {

EntryPixelReader::EntryPixelReader(const CTextureSet& set, const TextureEntry& entry,
                                   PixelForm form)
    : m_set(set),
      m_entry(entry),
      m_form(form),
      m_width(static_cast<std::uint32_t>(entry.width)),
      m_height(static_cast<std::uint32_t>(entry.height)),
      // Bands of about kPixelPieceMax texels where rows are narrow, so that a
      // tall texture is read in few large reads; a multiple of 4 rows.
      m_bandRows(std::max(4u, kPixelPieceMax / std::max(m_width, 1u) / 4 * 4)) {}

const std::uint32_t* EntryPixelReader::Pixels(std::uint32_t y, std::uint32_t x,
                                              std::uint32_t count) {
    const std::uint32_t bandY = y / m_bandRows * m_bandRows;
    if (!m_loaded || bandY != m_bandY || x < m_bandX || x + count > m_bandX + m_bandWidth) {
        Load(bandY, x, count);
    }
    return m_pixels.data() + std::size_t{y - bandY} * m_bandWidth + (x - m_bandX);
}

void EntryPixelReader::Load(std::uint32_t bandY, std::uint32_t x, std::uint32_t count) {
    // Blocks start on multiples of 4, in both directions.
    m_bandY = bandY;
    m_bandX = x / 4 * 4;
    m_bandWidth = std::min(m_width - m_bandX, (x + count - m_bandX + 3) / 4 * 4);
    const std::uint32_t rows = std::min(m_bandRows, m_height - bandY);
    const std::size_t texels = std::size_t{m_bandWidth} * rows;
    m_loaded = false;
    m_pixels.resize(texels);
    if (m_form == PixelForm::kFull) {
        ReadTexelRegion(m_set, m_entry, bandY, rows, m_bandX, m_bandWidth, m_pixels.data());
    } else {
        m_nibbles.resize(texels);
        ReadTexelRegion(m_set, m_entry, bandY, rows, m_bandX, m_bandWidth, m_nibbles.data());
        // One plain loop each, so that the compiler vectorises them.
        const std::uint16_t* from = m_nibbles.data();
        std::uint32_t* to = m_pixels.data();
        if (m_form == PixelForm::kPreview) {
            for (std::size_t i = 0; i < texels; ++i) {
                to[i] = PreviewPixelOf(from[i]);
            }
        } else {
            for (std::size_t i = 0; i < texels; ++i) {
                to[i] = WidenTexel(from[i]);
            }
        }
    }
    m_loaded = true;
}

}  // namespace marrowix
