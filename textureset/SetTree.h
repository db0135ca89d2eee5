// How a set's entries hang under its categories, as the tree shows them: a
// node per category in order, each texture under its category's node, and
// textures whose category index has no category line at the root after the
// category nodes, every list in entry order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix {

class SetTree {
public:
    // The tree of the set's first `entries` entries (all by default).
    explicit SetTree(const CTextureSet& set, std::size_t entries = SIZE_MAX);
    SetTree() = default;

    std::size_t CategoryCount() const { return m_first.size() - 1; }
    // Entry indices under category `c`.
    std::span<const std::size_t> Children(std::size_t c) const {
        return {m_children.data() + m_first[c], m_first[c + 1] - m_first[c]};
    }
    // Entry indices at the root, after the category nodes.
    std::span<const std::size_t> RootEntries() const {
        return {m_children.data() + m_first.back(), m_children.size() - m_first.back()};
    }

private:
    std::vector<std::size_t> m_first{0};  // CategoryCount() + 1 starts into m_children
    std::vector<std::size_t> m_children;  // by category, then the root entries
};

}  // namespace marrowix
