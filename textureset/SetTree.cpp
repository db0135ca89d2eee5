#include "textureset/SetTree.h"

#include <algorithm>

namespace marrowix {

SetTree::SetTree(const CTextureSet& set, std::size_t shown) {
    const std::size_t categories = set.GetCategoryCount();
    const std::span<const StoredEntry> entries =
        set.Entries().first(std::min(shown, set.GetEntryCount()));
    // Counting sort by parent; the root takes slot `categories`.
    std::vector<std::size_t> count(categories + 1, 0);
    auto parentOf = [categories](const StoredEntry& e) {
        return e.category < categories ? std::size_t{e.category} : categories;
    };
    for (const StoredEntry& e : entries) {
        ++count[parentOf(e)];
    }
    m_first.assign(categories + 1, 0);
    std::size_t start = 0;
    for (std::size_t c = 0; c <= categories; ++c) {
        m_first[c] = start;
        start += count[c];
    }
    std::vector<std::size_t> next(m_first);
    m_children.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t parent = parentOf(entries[i]);
        m_children[next[parent]++] = i;
    }
}

}  // namespace marrowix
