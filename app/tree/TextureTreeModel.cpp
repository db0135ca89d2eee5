#include "app/tree/TextureTreeModel.h"

#include <algorithm>
#include <limits>
#include <new>

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

char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Whether a name (each byte one unit of it) contains `needle` (lower case,
// not empty), ASCII letters in either case.
bool NameContains(std::string_view name, std::u16string_view needle) {
    if (needle.size() > name.size()) {
        return false;
    }
    const char16_t first = needle.front();
    for (std::size_t start = 0; start + needle.size() <= name.size(); ++start) {
        if (LowerAscii(static_cast<unsigned char>(name[start])) != first) {
            continue;
        }
        std::size_t k = 1;
        while (k < needle.size() &&
               LowerAscii(static_cast<unsigned char>(name[start + k])) == needle[k]) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
}

// Row of `entry` in a list of entry indices in rising order, or -1.
int RowIn(std::span<const std::size_t> list, std::size_t entry) {
    const auto at = std::lower_bound(list.begin(), list.end(), entry);
    return at != list.end() && *at == entry ? static_cast<int>(at - list.begin()) : -1;
}

}  // namespace

TextureTreeModel::TextureTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void TextureTreeModel::SetTextureSet(SharedSet set, std::size_t shown) {
    beginResetModel();
    Clear();
    try {
        if (set != nullptr) {
            m_tree = SetTree(*set, shown);
            m_shown = std::min(shown, set->GetEntryCount());
            m_set = std::move(set);
        }
        Rebuild(false);
    } catch (const std::bad_alloc&) {
        Clear();
        endResetModel();
        throw;
    }
    endResetModel();
}

void TextureTreeModel::SetFilter(const std::u16string& text) {
    std::u16string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    beginResetModel();
    // A text that contains the last one can only match what that matched.
    const bool narrower = !m_filter.empty() && lower.find(m_filter) != std::u16string::npos;
    m_filter = std::move(lower);
    try {
        Rebuild(narrower);
    } catch (const std::bad_alloc&) {
        m_filter.clear();
        Rebuild(false);  // without a filter nothing is allocated
        endResetModel();
        throw;
    }
    endResetModel();
}

// An empty tree, letting go of every list.
void TextureTreeModel::Clear() {
    m_set = nullptr;
    m_shown = 0;
    m_tree = SetTree();
    m_shownCategories = {};
    m_categoryRow = {};
    m_first = {};
    m_matches = {};
    m_matched = {};
}

void TextureTreeModel::Rebuild(bool narrower) {
    m_shownCategories.clear();
    m_categoryRow.clear();
    m_first.clear();
    m_matches.clear();
    if (m_set == nullptr || m_filter.empty()) {
        m_matched.clear();
        return;
    }
    // The names in entry order, the order they lie in the name pool.
    const std::size_t count = m_shown;
    if (!narrower || m_matched.size() != count) {
        m_matched.assign(count, 1);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (m_matched[i] != 0) {
            m_matched[i] = NameContains(m_set->GetEntryNameBytes(i), m_filter) ? 1 : 0;
        }
    }
    const std::size_t categories = m_tree.CategoryCount();
    m_categoryRow.assign(categories, -1);
    for (std::size_t c = 0; c <= categories; ++c) {
        m_first.push_back(m_matches.size());
        for (std::size_t i : c < categories ? m_tree.Children(c) : m_tree.RootEntries()) {
            if (m_matched[i] != 0) {
                m_matches.push_back(i);
            }
        }
        if (c < categories && m_matches.size() > m_first.back()) {
            m_categoryRow[c] = static_cast<int>(m_shownCategories.size());
            m_shownCategories.push_back(c);
        }
    }
    m_first.push_back(m_matches.size());
}

std::size_t TextureTreeModel::ShownCategories() const {
    return Filtering() ? m_shownCategories.size() : m_tree.CategoryCount();
}

std::size_t TextureTreeModel::CategoryAtRow(std::size_t row) const {
    return Filtering() ? m_shownCategories[row] : row;
}

int TextureTreeModel::RowOfCategory(std::size_t category) const {
    if (category >= m_tree.CategoryCount()) {
        return -1;
    }
    return Filtering() ? m_categoryRow[category] : static_cast<int>(category);
}

std::span<const std::size_t> TextureTreeModel::ChildrenOf(std::size_t category) const {
    if (!Filtering()) {
        return m_tree.Children(category);
    }
    return {m_matches.data() + m_first[category], m_first[category + 1] - m_first[category]};
}

std::span<const std::size_t> TextureTreeModel::RootTextures() const {
    if (!Filtering()) {
        return m_tree.RootEntries();
    }
    const std::size_t root = m_tree.CategoryCount();
    return {m_matches.data() + m_first[root], m_first[root + 1] - m_first[root]};
}

quintptr TextureTreeModel::IdOf(std::size_t position) {
    return static_cast<quintptr>((std::uint64_t{position} + 1) * kScramble);
}

std::size_t TextureTreeModel::PositionOf(quintptr id) {
    return static_cast<std::size_t>(std::uint64_t{id} * kUnscramble - 1);
}

QModelIndex TextureTreeModel::CategoryIndex(std::size_t category) const {
    const int row = RowOfCategory(category);
    return row < 0 ? QModelIndex() : createIndex(row, 0, IdOf(category));
}

QModelIndex TextureTreeModel::IndexOfCategory(std::size_t category) const {
    return m_set == nullptr ? QModelIndex() : CategoryIndex(category);
}

std::optional<std::size_t> TextureTreeModel::CategoryOf(const QModelIndex& index) const {
    if (m_set == nullptr || !index.isValid()) {
        return std::nullopt;
    }
    const std::size_t position = PositionOf(index.internalId());
    return position < m_tree.CategoryCount() ? std::optional<std::size_t>(position) : std::nullopt;
}

std::vector<std::size_t> TextureTreeModel::TexturesOf(std::optional<std::size_t> category) const {
    if (m_set == nullptr || (category && *category >= m_tree.CategoryCount())) {
        return {};
    }
    const auto textures = category ? ChildrenOf(*category) : RootTextures();
    return {textures.begin(), textures.end()};
}

std::vector<std::size_t> TextureTreeModel::AllTextures() const {
    std::vector<std::size_t> all;
    if (m_set == nullptr) {
        return all;
    }
    for (std::size_t row = 0; row < ShownCategories(); ++row) {
        const auto children = ChildrenOf(CategoryAtRow(row));
        all.insert(all.end(), children.begin(), children.end());
    }
    const auto loose = RootTextures();
    all.insert(all.end(), loose.begin(), loose.end());
    return all;
}

std::optional<std::size_t> TextureTreeModel::GroupOf(std::size_t entry) const {
    if (m_set == nullptr || entry >= m_set->GetEntryCount()) {
        return std::nullopt;
    }
    const std::uint32_t category = m_set->Entries()[entry].category;
    return category < m_tree.CategoryCount() ? std::optional<std::size_t>(category) : std::nullopt;
}

QModelIndex TextureTreeModel::IndexOfEntry(std::size_t entry) const {
    if (m_set == nullptr || entry >= m_shown) {
        return {};
    }
    const std::size_t categories = m_tree.CategoryCount();
    const std::uint32_t category = m_set->Entries()[entry].category;
    if (category < categories) {
        const int row = RowIn(ChildrenOf(category), entry);
        return row < 0 ? QModelIndex() : createIndex(row, 0, IdOf(categories + entry));
    }
    const int row = RowIn(RootTextures(), entry);
    return row < 0 ? QModelIndex()
                   : createIndex(static_cast<int>(ShownCategories()) + row, 0,
                                 IdOf(categories + entry));
}

QModelIndex TextureTreeModel::NextTexture(const QModelIndex& from) const {
    if (m_set == nullptr) {
        return {};
    }
    // The tree's textures in order: each shown category's, then the root's.
    // The search starts at root row `row`, child `child`, and may come round
    // to the start again.
    const std::size_t shown = ShownCategories();
    const std::size_t rows = shown + RootTextures().size();
    if (rows == 0) {
        return {};
    }
    std::size_t row = 0;
    std::size_t child = 0;
    if (from.isValid()) {
        const QModelIndex parent = from.parent();
        const bool isCategory = PositionOf(from.internalId()) < m_tree.CategoryCount();
        if (parent.isValid()) {
            row = static_cast<std::size_t>(parent.row());
            child = static_cast<std::size_t>(from.row()) + 1;
        } else {
            row = static_cast<std::size_t>(from.row()) + (isCategory ? 0 : 1);
        }
    }
    for (std::size_t step = 0; step <= rows; ++step, child = 0) {
        const std::size_t r = (row + step) % rows;
        if (r >= shown) {
            return index(static_cast<int>(r), 0);
        }
        if (child < ChildrenOf(CategoryAtRow(r)).size()) {
            return index(static_cast<int>(child), 0, index(static_cast<int>(r), 0));
        }
    }
    return {};
}

QModelIndex TextureTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (m_set == nullptr || row < 0 || column != 0) {
        return {};
    }
    const std::size_t categories = m_tree.CategoryCount();
    const std::size_t shown = ShownCategories();
    const auto r = static_cast<std::size_t>(row);
    if (!parent.isValid()) {
        if (r < shown) {
            const std::size_t category = CategoryAtRow(r);
            return createIndex(row, 0, IdOf(category));
        }
        const auto loose = RootTextures();
        if (r - shown >= loose.size()) {
            return {};
        }
        return createIndex(row, 0, IdOf(categories + loose[r - shown]));
    }
    const std::size_t position = PositionOf(parent.internalId());
    if (position >= categories) {
        return {};  // textures have no children
    }
    const auto children = ChildrenOf(position);
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
        return ClampRows(ShownCategories() + RootTextures().size());
    }
    const std::size_t position = PositionOf(parent.internalId());
    return position < categories ? ClampRows(ChildrenOf(position).size()) : 0;
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
        // Each byte of a name is one unit of it: Latin-1.
        const std::string_view name = m_set->GetEntryNameBytes(position - categories);
        return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
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
