// The tree of a texture set as a read-only item model over the set's own
// arrays: category nodes "[+] name" at the root in order, each texture under
// its category's node, textures without a category line at the root after
// the category nodes. No object is kept per node.
#pragma once

#include <QAbstractItemModel>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "textureset/SetTree.h"
#include "textureset/TextureSet.h"

namespace marrowix {

class TextureTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    // The item value of a node: -1 for a category, the entry index for a
    // texture.
    static constexpr int ItemValueRole = Qt::UserRole;

    explicit TextureTreeModel(QObject* parent = nullptr);

    // Shows `set` (not owned; null for an empty tree), or of its textures
    // only the first `shown`. Every node of the previous set is gone when
    // this returns. A filter in force stays. Throws std::bad_alloc when
    // memory runs out, leaving the tree empty.
    void SetTextureSet(SharedSet set, std::size_t shown = SIZE_MAX);
    // How many of the set's textures the tree shows.
    std::size_t ShownTextures() const { return m_shown; }

    // Shows only the textures whose name contains `text` (ASCII letters
    // matched in either case), under their categories; categories without
    // one are left out. An empty text shows everything. Throws
    // std::bad_alloc when memory runs out, leaving no filter in force.
    void SetFilter(const std::u16string& text);
    bool Filtering() const { return !m_filter.empty(); }
    const std::u16string& Filter() const { return m_filter; }

    // Where an entry or a category is shown; invalid where it is not.
    QModelIndex IndexOfEntry(std::size_t entry) const;
    QModelIndex IndexOfCategory(std::size_t category) const;
    // The category a category node stands for.
    std::optional<std::size_t> CategoryOf(const QModelIndex& index) const;
    // The texture after `from` in the tree's order, from the top again
    // after the last; invalid when no texture is shown.
    QModelIndex NextTexture(const QModelIndex& from) const;

    // The textures of one group, as the tree shows them (only the matches
    // while filtering): those under category node `category`, or with
    // nullopt those at the root.
    std::vector<std::size_t> TexturesOf(std::optional<std::size_t> category) const;
    // Every texture the tree shows, in the tree's order.
    std::vector<std::size_t> AllTextures() const;
    // The group entry `entry` hangs in: its category's node, or nullopt at
    // the root.
    std::optional<std::size_t> GroupOf(std::size_t entry) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // A node is its position: categories first (0..C-1), then entries (C+i).
    // The position is scrambled into the internal id, since a model index
    // hashes its id with its row unmixed, and dense ids make large trees
    // slow to expand and tear down.
    static quintptr IdOf(std::size_t position);
    static std::size_t PositionOf(quintptr id);
    QModelIndex CategoryIndex(std::size_t category) const;
    void Rebuild(bool narrower);
    void Clear();

    // What is shown: the categories in order (all, or those with a match)
    // and, for each category and the root, its textures in entry order.
    std::size_t ShownCategories() const;
    std::size_t CategoryAtRow(std::size_t row) const;
    int RowOfCategory(std::size_t category) const;
    std::span<const std::size_t> ChildrenOf(std::size_t category) const;
    std::span<const std::size_t> RootTextures() const;

    SharedSet m_set;
    std::size_t m_shown = 0;  // the first entries of the set that are shown
    SetTree m_tree;
    std::u16string m_filter;                     // lower case; empty: no filter
    std::vector<std::size_t> m_shownCategories;  // category of each root row
    std::vector<int> m_categoryRow;              // row of each category, -1: hidden
    std::vector<std::size_t> m_first;            // filtered lists: starts, per category
    std::vector<std::size_t> m_matches;          // and the root last
    std::vector<std::uint8_t> m_matched;         // per entry: 1 where the filter matches
};

}  // namespace marrowix
