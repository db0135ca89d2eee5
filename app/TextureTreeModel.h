// The tree of a texture set as a read-only item model over the set's own
// arrays: category nodes "[+] name" at the root in order, each texture under
// its category's node, textures without a category line at the root after
// the category nodes. No object is kept per node.
#pragma once

#include <QAbstractItemModel>

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

    // Shows `set` (not owned; null for an empty tree). Every node of the
    // previous set is gone when this returns.
    void SetTextureSet(const CTextureSet* set);

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

    const CTextureSet* m_set = nullptr;
    SetTree m_tree;
};

}  // namespace marrowix
