#include "app/session/SetReload.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <new>

#include "app/NativePaths.h"
#include "platform/Files.h"
#include "textureset/ListingObserver.h"

namespace marrowix {

SetReload::SetReload(QObject* parent) : QObject(parent) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &SetReload::ReloadIfChanged);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &SetReload::Changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SetReload::Changed);
}

SetReload::~SetReload() = default;

void SetReload::Watch(const std::u16string& listing, TextureMode mode,
                      const std::u16string& other) {
    m_listing = listing;
    m_mode = mode;
    m_other = other;
    m_stamp = Stamp();
    WatchPaths();
}

std::vector<std::u16string> SetReload::Files() const {
    std::vector<std::u16string> files;
    const std::u16string word = ModeWordU16(m_mode);
    // The set's listing, table and data file; then those of the other
    // version, or the other encoding's table and data file.
    for (const std::u16string& listing : {m_listing, m_other}) {
        if (!listing.empty()) {
            files.insert(files.end(), {listing, DeriveSetPath(listing, word, u".toc"),
                                       DeriveSetPath(listing, word, u".dat")});
        }
    }
    if (m_other.empty() && !m_listing.empty()) {
        const std::u16string otherWord = m_mode == kModeDxt ? u"etc" : u"dxt";
        files.insert(files.end(), {DeriveSetPath(m_listing, otherWord, u".toc"),
                                   DeriveSetPath(m_listing, otherWord, u".dat")});
    }
    return files;
}

std::vector<std::string> SetReload::Stamp() const {
    std::vector<std::string> stamps;
    for (const std::u16string& file : Files()) {
        stamps.push_back(platform::ChangeStamp(ToNativePath(file)));
    }
    return stamps;
}

void SetReload::ReloadIfChanged() {
    if (Stamp() != m_stamp) {
        ReloadNow();
    }
}

bool SetReload::OtherChanged() const {
    return m_otherChanged;
}

void SetReload::WatchPaths() {
    if (!m_watcher.files().isEmpty()) {
        m_watcher.removePaths(m_watcher.files());
    }
    if (!m_watcher.directories().isEmpty()) {
        m_watcher.removePaths(m_watcher.directories());
    }
    QStringList paths;
    for (const std::u16string& file : Files()) {
        const QString path = PathFromU16(file);
        if (QFileInfo::exists(path)) {
            paths << path;
        }
        const QString folder = QFileInfo(path).absolutePath();
        if (!paths.contains(folder)) {
            paths << folder;
        }
    }
    if (!paths.isEmpty()) {
        m_watcher.addPaths(paths);
    }
}

void SetReload::Changed() {
    // A file replaced by rename is no longer the one watched: watch again.
    WatchPaths();
    m_quiet.start();
}

void SetReload::ReloadNow() {
    m_quiet.stop();
    if (m_listing.empty()) {
        return;
    }
    if (m_worker.Running()) {
        m_again = true;
        return;
    }
    std::vector<std::string> stamp = Stamp();
    // The other set is built from the listing and its own files (from the
    // fourth on).
    m_otherChanged =
        stamp.size() != m_stamp.size() || stamp.empty() || stamp[0] != m_stamp[0] ||
        !std::equal(stamp.begin() + std::min<std::ptrdiff_t>(3, std::ssize(stamp)), stamp.end(),
                    m_stamp.begin() + std::min<std::ptrdiff_t>(3, std::ssize(m_stamp)));
    m_stamp = std::move(stamp);
    struct Read {
        SharedSet set;
        std::uint64_t tableBytes = 0;
    };
    m_worker.Run(
        [listing = m_listing, mode = m_mode] {
            // The offset table's bytes the texture lines need: four for each
            // read up to the last texture line's. Other lines' entries are
            // never read, nor is the empty read that meets the end of the
            // file.
            struct TableNeed : ListingObserver {
                std::uint64_t bytes = 0;
                void OnRead(const ListingRead& read) override {
                    if (read.isTexture) {
                        bytes = 4 * (read.line + 1);
                    }
                }
            } counter;
            Read read;
            try {
                auto set = std::make_shared<CTextureSet>();
                OpenTextureSet(*set, listing, ModeWordU16(mode), &counter);
                read.set = std::move(set);
            } catch (const std::bad_alloc&) {
                read.set.reset();
            }
            read.tableBytes = counter.bytes;
            return read;
        },
        [this](Read read) {
            m_read = std::move(read.set);
            m_reads = read.tableBytes;
            emit reloaded();
            if (m_again) {
                m_again = false;
                ReloadNow();
            }
        });
}

}  // namespace marrowix
