#include "app/document/SetDocument.h"

#include <new>

#include "app/NativePaths.h"
#include "compare/Compare.h"

namespace marrowix {

QString EncodingName(const CTextureSet& set) {
    return QString::fromUtf8(ModeWord(set.GetMode()));
}

SetDocument::SetDocument(QObject* parent) : QObject(parent) {}

void SetDocument::SetCurrent(SharedSet set, std::vector<std::ptrdiff_t> newIndex, bool keepOther) {
    SharedSet other;
    std::vector<std::ptrdiff_t> otherIndex;
    if (keepOther) {
        other = std::move(m_other);
        otherIndex = std::move(m_otherIndex);
    }
    ForgetOther();
    m_other = std::move(other);
    m_otherIndex = std::move(otherIndex);
    m_current = std::move(set);
    m_selected.reset();
    m_shown = {};
    m_lastChoice.reset();
    emit currentChanged(newIndex);
}

void SetDocument::SetCompareWith(std::u16string listing) {
    ForgetOther();
    m_compareWith = std::move(listing);
}

void SetDocument::ForgetOther() {
    const bool wasShown = m_other && m_shown.set == m_other;
    if (wasShown) {
        m_shown = {};
    }
    m_other.reset();
    m_otherIndex.clear();
    emit otherForgotten(wasShown);
}

bool SetDocument::EnsureOther(QString* why) {
    if (m_other) {
        return true;
    }
    if (!m_current) {
        *why = QStringLiteral("no texture set is loaded");
        return false;
    }
    const bool versions = ComparingVersions();
    const std::u16string listing = versions ? m_compareWith : m_current->ListingPath();
    const bool dxt = m_current->GetMode() == kModeDxt;
    const std::u16string mode = (dxt != versions) ? u"etc" : u"dxt";
    try {
        auto other = std::make_shared<CTextureSet>();
        OpenTextureSet(*other, listing, mode);
        auto missing = [&](const char* what, const std::u16string& path, const std::string& e) {
            *why = QStringLiteral("no %1 %2: %3 (%4)")
                       .arg(QString::fromStdU16String(mode), QLatin1String(what), PathFromU16(path),
                            QString::fromStdString(e));
            return false;
        };
        if (!other->HasListingFile()) {
            return missing("listing", other->ListingPath(), other->ListingError());
        }
        if (!other->HasOffsetTableFile()) {
            return missing("offset table", other->OffsetTablePath(), other->OffsetTableError());
        }
        if (!other->HasDataFile()) {
            return missing("data file", other->DataPath(), other->DataError());
        }
        if (versions) {
            const Pairing pairing = PairEntries(*m_current, *other);
            m_otherIndex.assign(m_current->GetEntryCount(), -1);
            for (const auto& [i, j] : pairing.pairs) {
                m_otherIndex[i] = static_cast<std::ptrdiff_t>(j);
            }
        }
        m_other = std::move(other);
    } catch (const std::bad_alloc&) {
        m_otherIndex.clear();
        *why = QStringLiteral("not enough memory to open the other set");
        return false;
    }
    return true;
}

std::optional<std::size_t> SetDocument::OtherIndex(std::size_t index) const {
    if (!m_other) {
        return std::nullopt;
    }
    if (ComparingVersions()) {
        return index < m_otherIndex.size() && m_otherIndex[index] >= 0
                   ? std::optional<std::size_t>(static_cast<std::size_t>(m_otherIndex[index]))
                   : std::nullopt;
    }
    return index < m_other->GetEntryCount() ? std::optional<std::size_t>(index) : std::nullopt;
}

QString SetDocument::NameOf(const CTextureSet& set) const {
    if (!ComparingVersions()) {
        return EncodingName(set);
    }
    return &set == m_current.get() ? QStringLiteral("this") : QStringLiteral("other");
}

}  // namespace marrowix
