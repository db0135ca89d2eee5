#include "app/TextureTreeModel.h"

#include <limits>

namespace marrowix {
namespace {

// An odd multiplier and its inverse modulo 2^64.
constexpr std::uint64_t kScramble = 0x9E3779B97F4A7C15ull;

constexpr std::uint64_t Inverse(std::uint64_t a) {
    std::uint64_t x = a;  // Newton's iteration: each step doubles the correct bits
    for (int i = 0; i < 6; ++i) {
        x *= 2 - a * x;
    }
    return x;
}
constexpr std::uint64_t kUnscramble = Inverse(kScramble);
static_assert(kScramble * kUnscramble == 1);

int ClampRows(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
}

}  // namespace

TextureTreeModel::TextureTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void TextureTreeModel::SetTextureSet(const CTextureSet* set) {
    beginResetModel();
    m_set = set;
    m_tree = set != nullptr ? SetTree(*set) : SetTree();
    endResetModel();
}

quintptr TextureTreeModel::IdOf(std::size_t position) {
    return static_cast<quintptr>((std::uint64_t{position} + 1) * kScramble);
}

std::size_t TextureTreeModel::PositionOf(quintptr id) {
    return static_cast<std::size_t>(std::uint64_t{id} * kUnscramble - 1);
}

QModelIndex TextureTreeModel::CategoryIndex(std::size_t category) const {
    return createIndex(static_cast<int>(category), 0, IdOf(category));
}

QModelIndex TextureTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (m_set == nullptr || row < 0 || column != 0) {
        return {};
    }
    const std::size_t categories = m_tree.CategoryCount();
    const auto r = static_cast<std::size_t>(row);
    if (!parent.isValid()) {
        if (r < categories) {
            return CategoryIndex(r);
        }
        const auto loose = m_tree.RootEntries();
        if (r - categories >= loose.size()) {
            return {};
        }
        return createIndex(row, 0, IdOf(categories + loose[r - categories]));
    }
    const std::size_t position = PositionOf(parent.internalId());
    if (position >= categories) {
        return {};  // textures have no children
    }
    const auto children = m_tree.Children(position);
    if (r >= children.size()) {
        return {};
    }
    return createIndex(row, 0, IdOf(categories + children[r]));
}

QModelIndex TextureTreeModel::parent(const QModelIndex& child) const {
    if (m_set == nullptr || !child.isValid()) {
        return {};
    }
    const std::size_t categories = m_tree.CategoryCount();
    const std::size_t position = PositionOf(child.internalId());
    if (position < categories) {
        return {};
    }
    const std::uint32_t category = m_set->Entries()[position - categories].category;
    return category < categories ? CategoryIndex(category) : QModelIndex();
}

int TextureTreeModel::rowCount(const QModelIndex& parent) const {
    if (m_set == nullptr || parent.column() > 0) {
        return 0;
    }
    const std::size_t categories = m_tree.CategoryCount();
    if (!parent.isValid()) {
        return ClampRows(categories + m_tree.RootEntries().size());
    }
    const std::size_t position = PositionOf(parent.internalId());
    return position < categories ? ClampRows(m_tree.Children(position).size()) : 0;
}

int TextureTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant TextureTreeModel::data(const QModelIndex& index, int role) const {
    if (m_set == nullptr || !index.isValid()) {
        return {};
    }
    const std::size_t categories = m_tree.CategoryCount();
    const std::size_t position = PositionOf(index.internalId());
    const bool isCategory = position < categories;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (isCategory) {
            return QStringLiteral("[+] ") +
                   QString::fromStdU16String(m_set->GetCategoryName(position));
        }
        return QString::fromUtf16(m_set->Entries()[position - categories].name);
    }
    if (role == ItemValueRole) {
        return isCategory ? qlonglong{-1} : static_cast<qlonglong>(position - categories);
    }
    return {};
}

Qt::ItemFlags TextureTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    const bool isCategory = PositionOf(index.internalId()) < m_tree.CategoryCount();
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable |
           (isCategory ? Qt::ItemFlags() : Qt::ItemNeverHasChildren);
}

}  // namespace marrowix
