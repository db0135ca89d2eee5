// Reload on change: the loaded set's files (and the other version's) are
// watched, through their folders too, so that a file replaced by rename is
// seen; once they have been quiet for a while the set is read again on a
// worker thread and handed to the dialog, which swaps it in keeping what the
// user was looking at.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/document/BackgroundWork.h"
#include "textureset/TextureSet.h"

namespace marrowix {

class SetReload : public QObject {
    Q_OBJECT
public:
    // How long the files must be quiet before the set is read again.
    static constexpr int kQuietMs = 300;

    explicit SetReload(QObject* parent);
    // Waits for a reading under way.
    ~SetReload() override;

    // Watches the files of the set at `listing` in `mode`, and those of the
    // other version's listing when one is given.
    void Watch(const std::u16string& listing, TextureMode mode, const std::u16string& other);
    // Reads the set again now (F5); a reading under way is let finish first.
    void ReloadNow();

    // The set read last, taken by the dialog; and how many bytes of the
    // offset table its texture lines need.
    SharedSet TakeSet() { return std::move(m_read); }
    std::uint64_t TableBytesNeeded() const { return m_reads; }
    // Whether the reading found a file the other encoding or version is
    // read from changed (its listing, table or data file, or the set's
    // listing): when not, a set opened of it before can be kept.
    bool OtherChanged() const;

signals:
    // A reading has ended; TakeSet has it.
    void reloaded();

private:
    void Changed();
    void WatchPaths();
    // Reads again when one of the set's files is not what it was: a change
    // beside them in their folder (an image saved there) is none.
    void ReloadIfChanged();
    // The set's files and the other version's: listing, table, data file.
    std::vector<std::u16string> Files() const;
    // What the watched files are now: for each, whether it is there, its
    // identity, size and time of change.
    std::vector<std::string> Stamp() const;

    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    std::u16string m_listing;
    std::u16string m_other;
    TextureMode m_mode = kModeDxt;
    bool m_again = false;  // changed while reading: read once more
    SharedSet m_read;
    std::uint64_t m_reads = 0;
    std::vector<std::string> m_stamp;  // of the files when they were read last
    bool m_otherChanged = true;
    BackgroundWork m_worker{this};  // last: the reading ends before the rest goes
};

}  // namespace marrowix
