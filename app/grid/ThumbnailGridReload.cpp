// The grid across a reload: thumbnails of unchanged entries are not made
// again.
#include <new>

#include "app/grid/ThumbnailGrid.h"

namespace marrowix {

void ThumbnailGrid::ReplaceSet(SharedSet set, const std::vector<std::ptrdiff_t>& newIndex) {
    m_workers.CancelAll();
    const std::uint64_t id = NextSetId();
    std::unordered_map<Key, Cell, KeyHash> kept;
    try {
        m_cache.ForEach([&](const Key& key, Cell& cell) {
            if (key.set == m_setId && key.index < newIndex.size() && newIndex[key.index] >= 0 &&
                cell.error.empty() && !cell.thumbnail.pixels.empty()) {
                kept.emplace(
                    Key{id, static_cast<std::size_t>(newIndex[key.index]), key.side, key.precision},
                    std::move(cell));
            }
        });
    } catch (const std::bad_alloc&) {
        kept.clear();  // all made again
    }
    ForgetSet();
    m_set = std::move(set);
    m_setId = id;
    m_kept = std::move(kept);
}

}  // namespace marrowix
