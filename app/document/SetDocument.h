// What the viewer shows, apart from how it shows it: the loaded set, the
// other set it is compared with (the other encoding beside the listing, or
// another version of it), the entry the preview shows and the set and entry
// its image came from. Every part that reads a set holds it as a SharedSet
// it got from here, and follows the signals: swapping a set in is one call,
// and no part can outlive the set it reads.
#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "textureset/TextureSet.h"

namespace marrowix {

class SetDocument : public QObject {
    Q_OBJECT
public:
    explicit SetDocument(QObject* parent = nullptr);

    // The loaded set; null until the first is loaded.
    const SharedSet& Current() const { return m_current; }
    // Replaces the loaded set, and forgets the selection, the choice and
    // what was shown.
    // `newIndex` when it is the same set read again: entry i of the set
    // before is entry newIndex[i] of this one (-1: gone); the other set is
    // kept when `keepOther` says its files did not change, else it goes.
    void SetCurrent(SharedSet set, std::vector<std::ptrdiff_t> newIndex = {},
                    bool keepOther = false);

    // The other version's listing; empty: the other encoding of the set.
    const std::u16string& CompareWith() const { return m_compareWith; }
    bool ComparingVersions() const { return !m_compareWith.empty(); }
    // Compares with the version at `listing` (empty: the other encoding)
    // from now on; the other set opened before goes.
    void SetCompareWith(std::u16string listing);

    // The other set, opened by EnsureOther when first wanted.
    const SharedSet& Other() const { return m_other; }
    // Opens the other set unless it is open; false, with the reason, when
    // there is none (a file of it is missing, or no set is loaded).
    bool EnsureOther(QString* why);
    void ForgetOther();
    // Entry `index`'s counterpart in the other set: the same entry for the
    // other encoding, the one of the same category and name for a version.
    std::optional<std::size_t> OtherIndex(std::size_t index) const;
    // What a set is called beside the other: its encoding, or for versions
    // "this" and "other".
    QString NameOf(const CTextureSet& set) const;

    // The entry the preview shows, and the set and entry its image came
    // from (the other set's while E shows it).
    std::optional<std::size_t> Selected() const { return m_selected; }
    void SetSelected(std::optional<std::size_t> entry) { m_selected = entry; }
    struct Source {
        SharedSet set;
        std::size_t index = 0;
    };
    const Source& Shown() const { return m_shown; }
    void SetShown(Source shown) { m_shown = std::move(shown); }
    // The window shows the image of entry `index` now: imageShown.
    void NotifyShown(std::size_t index) { emit imageShown(index); }
    // The node the user chose last in the tree or the grid: an entry, or a
    // category (its index in the set's categories); found again whenever
    // the filter lets it show.
    struct Choice {
        bool isCategory = false;
        std::size_t index = 0;
    };
    std::optional<Choice> LastChoice() const { return m_lastChoice; }
    void SetLastChoice(std::optional<Choice> choice) { m_lastChoice = choice; }

signals:
    // The loaded set is now Current(); `newIndex` as SetCurrent got it.
    void currentChanged(const std::vector<std::ptrdiff_t>& newIndex);
    // The other set went; `wasShown` when the preview's image came from it.
    void otherForgotten(bool wasShown);
    // The preview now shows entry `index` (sent by the window once it does).
    void imageShown(std::size_t index);

private:
    SharedSet m_current;
    SharedSet m_other;
    std::u16string m_compareWith;
    std::vector<std::ptrdiff_t> m_otherIndex;  // versions: each entry's counterpart, -1: none
    std::optional<std::size_t> m_selected;
    Source m_shown;
    std::optional<Choice> m_lastChoice;
};

// The encoding's word of a set: "dxt" or "etc".
QString EncodingName(const CTextureSet& set);

}  // namespace marrowix
