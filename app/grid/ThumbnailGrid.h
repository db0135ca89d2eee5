// A grid of thumbnails over the preview area, for surveying a group of
// textures: one painted view, no widget or object per texture, thumbnails
// made on worker threads (the cells on screen first, then a few rows ahead)
// and kept in a cache of bounded bytes. A cell shows a placeholder until its
// thumbnail arrives; the window never waits for one.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/preview/PreviewView.h"
#include "thumbnails/LruCache.h"
#include "thumbnails/ThumbnailWorkers.h"

namespace marrowix {

class ThumbnailGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kMinCell = 48;
    static constexpr int kMaxCell = 256;
    static constexpr std::size_t kDefaultBudget = std::size_t{64} << 20;

    explicit ThumbnailGrid(QWidget* parent = nullptr, std::size_t cacheBudget = kDefaultBudget);
    ~ThumbnailGrid() override;

    // Shows the textures `entries` of `set`, in that order. A different set
    // drops every thumbnail of the one before.
    void SetTextures(SharedSet set, std::vector<std::size_t> entries);
    // The set is going: work on it ends before this returns, and nothing of
    // it is shown any more.
    void ForgetSet();
    // The set read again in `set`: entry i is now newIndex[i] (-1: gone).
    // The thumbnails made of entries still there are kept aside, each shown
    // again once the new data is found to give the same thumbnail (read,
    // not decoded); only those of changed entries are made again.
    void ReplaceSet(SharedSet set, const std::vector<std::ptrdiff_t>& newIndex);
    // Thumbnails made (not found unchanged) since the grid was created.
    std::size_t ThumbnailsMade() const { return m_made; }
    const std::vector<std::size_t>& Entries() const { return m_entries; }

    // The texture whose cell is current; set from outside without a signal,
    // scrolling to it.
    std::optional<std::size_t> Current() const;
    void SetCurrent(std::optional<std::size_t> entry);

    void SetMode(ViewMode mode);
    void SetPrecision(Precision precision);
    // The cell's side in logical pixels, kMinCell to kMaxCell.
    int CellSize() const { return m_cell; }
    void SetCellSize(int side);
    void Larger();
    void Smaller();

    int Columns() const;
    // Where the cell of position `position` (in Entries()) is in the viewport.
    QRect CellRect(std::size_t position) const;
    // Whether every cell on screen shows its thumbnail (or its reason).
    bool VisibleMade() const;
    std::size_t CacheBytes() const { return m_cache.Bytes(); }
    std::size_t CacheBudget() const { return m_cache.Budget(); }
    // Bytes the thumbnails shown so far read from data files.
    std::uint64_t BytesRead() const { return m_bytesRead; }

signals:
    // The user made a cell current (click, arrow keys).
    void currentChanged(std::size_t entry);
    // Enter or a double-click on a cell.
    void activated(std::size_t entry);
    // A thumbnail arrived and was painted into its cell.
    void thumbnailArrived();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // A cell's tooltip: its index, whole name, size, offset and, for a red
    // corner, the problem a check names.
    bool viewportEvent(QEvent* event) override;

public:
    // The tooltip of the cell at position `position`.
    QString CellToolTip(std::size_t position) const;

private:
    struct Key {
        std::uint64_t set = 0;
        std::size_t index = 0;
        std::uint32_t side = 0;
        Precision precision = Precision::kNibbles;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return std::hash<std::uint64_t>()(k.set * 0x9E3779B97F4A7C15ull ^ k.index * 31 ^
                                              k.side ^ static_cast<std::uint64_t>(k.precision));
        }
    };
    // A thumbnail as it is kept: the pixels, the image the view mode makes
    // of them (remade when the mode changes), or why there is none.
    struct Cell {
        Thumbnail thumbnail;
        QImage shown;
        ViewMode shownMode = ViewMode::kRgb;
        std::string error;
    };
    static std::size_t CellBytes(const Cell& cell);
    // A tag no set of any grid had before.
    static std::uint64_t NextSetId();

    // Thumbnail pixels a cell's image takes at most, in device pixels.
    std::uint32_t ThumbnailSide() const;
    int NameHeight() const;
    int Rows() const;
    std::optional<std::size_t> PositionAt(QPoint viewportPoint) const;
    // First and one past the last position on screen.
    std::pair<std::size_t, std::size_t> VisiblePositions() const;
    void UpdateScrollRange();
    // Asks the workers for the cells on screen not yet made, then those of
    // a few rows ahead; whatever was asked before and is not among them is
    // dropped.
    void RequestThumbnails();
    void Arrived(const ThumbnailJob& job, Result<Thumbnail> result);
    void MoveCurrent(std::ptrdiff_t by);
    void MakeCurrent(std::size_t position);
    void ScrollToPosition(std::size_t position);
    void PaintCell(QPainter& painter, std::size_t position, const QRect& rect);
    const QImage& ShownImage(Cell& cell);

    SharedSet m_set;
    std::uint64_t m_setId = 0;
    std::vector<std::size_t> m_entries;
    std::optional<std::size_t> m_current;  // a position in m_entries
    ViewMode m_mode = ViewMode::kRgb;
    Precision m_precision = Precision::kNibbles;
    int m_cell = 128;
    std::uint64_t m_bytesRead = 0;
    LruCache<Key, Cell, KeyHash> m_cache;
    // Cells of the set before a reload, under their new keys, until their
    // entries are found unchanged or changed.
    std::unordered_map<Key, Cell, KeyHash> m_kept;
    std::size_t m_made = 0;
    ThumbnailWorkers m_workers;  // last: its threads end before the rest goes
};

}  // namespace marrowix
