// The grid's layout, input and the work it asks for; painting is in
// ThumbnailGridPaint.cpp.
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>

#include "app/grid/ThumbnailGrid.h"
#include "compare/Compare.h"

namespace marrowix {
namespace {

// Rows of cells made ahead of those on screen, below and above.
constexpr int kRowsAhead = 2;
constexpr int kRowsBehind = 1;
// Cell sizes Ctrl++ and Ctrl+- step through.
constexpr int kCellSteps[] = {48, 64, 96, 128, 192, 256};

}  // namespace

std::uint64_t ThumbnailGrid::NextSetId() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}

ThumbnailGrid::ThumbnailGrid(QWidget* parent, std::size_t cacheBudget)
    : QAbstractScrollArea(parent),
      m_cache(cacheBudget, &ThumbnailGrid::CellBytes),
      m_workers([this](const ThumbnailJob& job, Result<Thumbnail> result) {
          // Onto the dialog's thread; dropped there if the grid is gone.
          QMetaObject::invokeMethod(
              this, [this, job, r = std::move(result)]() mutable { Arrived(job, std::move(r)); },
              Qt::QueuedConnection);
      }) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
}

ThumbnailGrid::~ThumbnailGrid() {
    m_workers.CancelAll();
}

// A cell's cost is fixed when it enters the cache: its pixels, and the image
// of the same size the view mode makes of them when it is first painted
// (counted from the start, so that the cache never holds more than its
// budget once its cells are painted).
std::size_t ThumbnailGrid::CellBytes(const Cell& cell) {
    const std::size_t image =
        std::size_t{cell.thumbnail.width} * cell.thumbnail.height * 4 + sizeof(QImage) + 64;
    return cell.thumbnail.pixels.capacity() * 4 + (cell.thumbnail.pixels.empty() ? 0 : image) +
           cell.error.capacity();
}

void ThumbnailGrid::SetTextures(SharedSet set, std::vector<std::size_t> entries) {
    if (set != m_set) {
        ForgetSet();
        m_set = std::move(set);
        m_setId = NextSetId();
    }
    const std::optional<std::size_t> current = Current();
    m_entries = std::move(entries);
    m_current.reset();
    UpdateScrollRange();
    SetCurrent(current);
    RequestThumbnails();
    viewport()->update();
}

void ThumbnailGrid::ForgetSet() {
    m_workers.CancelAll();
    m_cache.Clear();
    m_kept.clear();
    m_set = nullptr;
    m_setId = 0;
    m_entries.clear();
    m_current.reset();
    UpdateScrollRange();
    viewport()->update();
}

std::optional<std::size_t> ThumbnailGrid::Current() const {
    return m_current ? std::optional<std::size_t>(m_entries[*m_current]) : std::nullopt;
}

void ThumbnailGrid::SetCurrent(std::optional<std::size_t> entry) {
    m_current.reset();
    if (entry) {
        const auto it = std::find(m_entries.begin(), m_entries.end(), *entry);
        if (it != m_entries.end()) {
            m_current = static_cast<std::size_t>(it - m_entries.begin());
            ScrollToPosition(*m_current);
        }
    }
    viewport()->update();
}

void ThumbnailGrid::SetMode(ViewMode mode) {
    m_mode = mode;
    viewport()->update();
}

void ThumbnailGrid::SetPrecision(Precision precision) {
    m_precision = precision;
    RequestThumbnails();
    viewport()->update();
}

void ThumbnailGrid::SetCellSize(int side) {
    side = std::clamp(side, kMinCell, kMaxCell);
    if (side == m_cell) {
        return;
    }
    m_cell = side;
    UpdateScrollRange();
    if (m_current) {
        ScrollToPosition(*m_current);
    }
    RequestThumbnails();
    viewport()->update();
}

void ThumbnailGrid::Larger() {
    for (int step : kCellSteps) {
        if (step > m_cell) {
            SetCellSize(step);
            return;
        }
    }
}

void ThumbnailGrid::Smaller() {
    for (auto it = std::rbegin(kCellSteps); it != std::rend(kCellSteps); ++it) {
        if (*it < m_cell) {
            SetCellSize(*it);
            return;
        }
    }
}

int ThumbnailGrid::Columns() const {
    return std::max(1, viewport()->width() / m_cell);
}

int ThumbnailGrid::Rows() const {
    const auto columns = static_cast<std::size_t>(Columns());
    return static_cast<int>(
        std::min<std::size_t>((m_entries.size() + columns - 1) / columns, INT_MAX / kMaxCell));
}

QRect ThumbnailGrid::CellRect(std::size_t position) const {
    const auto columns = static_cast<std::size_t>(Columns());
    const auto row = static_cast<int>(position / columns);
    const auto column = static_cast<int>(position % columns);
    return {column * m_cell, row * m_cell - verticalScrollBar()->value(), m_cell, m_cell};
}

QString ThumbnailGrid::CellToolTip(std::size_t position) const {
    if (m_set == nullptr || position >= m_entries.size()) {
        return {};
    }
    const std::size_t entry = m_entries[position];
    const StoredEntry& e = m_set->Entries()[entry];
    const std::string_view name = m_set->GetEntryNameBytes(entry);
    QString tip = QStringLiteral("#%1 %2\n%3 x %4, offset 0x%5")
                      .arg(entry)
                      .arg(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())))
                      .arg(e.width)
                      .arg(e.height)
                      .arg(QString::number(e.offset, 16).toUpper());
    if (const std::string problem = UnreadableReason(*m_set, entry); !problem.empty()) {
        tip += QStringLiteral("\n") + QString::fromStdString(problem);
    }
    return tip;
}

bool ThumbnailGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const auto position = PositionAt(help->pos())) {
            QToolTip::showText(help->globalPos(), CellToolTip(*position), viewport());
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

std::optional<std::size_t> ThumbnailGrid::PositionAt(QPoint point) const {
    if (point.x() < 0 || point.y() < 0 || point.x() >= Columns() * m_cell) {
        return std::nullopt;
    }
    const std::size_t row =
        static_cast<std::size_t>((point.y() + verticalScrollBar()->value()) / m_cell);
    const std::size_t position =
        row * static_cast<std::size_t>(Columns()) + static_cast<std::size_t>(point.x() / m_cell);
    return position < m_entries.size() ? std::optional<std::size_t>(position) : std::nullopt;
}

std::pair<std::size_t, std::size_t> ThumbnailGrid::VisiblePositions() const {
    const auto columns = static_cast<std::size_t>(Columns());
    const int top = verticalScrollBar()->value();
    const auto firstRow = static_cast<std::size_t>(top / m_cell);
    const auto lastRow = static_cast<std::size_t>((top + viewport()->height() - 1) / m_cell);
    return {std::min(m_entries.size(), firstRow * columns),
            std::min(m_entries.size(), (lastRow + 1) * columns)};
}

void ThumbnailGrid::UpdateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, Rows() * m_cell - viewport()->height()));
    bar->setPageStep(std::max(1, viewport()->height()));
    bar->setSingleStep(std::max(1, m_cell / 4));
}

void ThumbnailGrid::ScrollToPosition(std::size_t position) {
    const QRect rect = CellRect(position);
    QScrollBar* bar = verticalScrollBar();
    if (rect.top() < 0) {
        bar->setValue(bar->value() + rect.top());
    } else if (rect.bottom() >= viewport()->height()) {
        bar->setValue(bar->value() + rect.bottom() + 1 - viewport()->height());
    }
}

std::uint32_t ThumbnailGrid::ThumbnailSide() const {
    const int image = m_cell - 8 - NameHeight();
    return static_cast<std::uint32_t>(std::max(1.0, std::ceil(image * devicePixelRatioF())));
}

int ThumbnailGrid::NameHeight() const {
    return fontMetrics().height() + 2;
}

bool ThumbnailGrid::VisibleMade() const {
    const auto [first, last] = VisiblePositions();
    const std::uint32_t side = ThumbnailSide();
    for (std::size_t p = first; p < last; ++p) {
        if (m_cache.Peek({m_setId, m_entries[p], side, m_precision}) == nullptr) {
            return false;
        }
    }
    return true;
}

void ThumbnailGrid::RequestThumbnails() {
    if (m_set == nullptr || m_entries.empty()) {
        m_workers.Want({});
        return;
    }
    const auto [first, last] = VisiblePositions();
    const auto columns = static_cast<std::size_t>(Columns());
    const std::size_t aheadLast = std::min(m_entries.size(), last + kRowsAhead * columns);
    const std::size_t behindFirst =
        first > kRowsBehind * columns ? first - kRowsBehind * columns : 0;
    const std::uint32_t side = ThumbnailSide();
    std::vector<ThumbnailJob> jobs;
    auto want = [&](std::size_t p) {
        const Key key{m_setId, m_entries[p], side, m_precision};
        // A peek that does not count as shown: only cells painted do.
        if (m_cache.Peek(key) == nullptr) {
            ThumbnailJob job{m_set.get(), m_setId, m_entries[p], side, m_precision};
            if (const auto kept = m_kept.find(key); kept != m_kept.end()) {
                job.verify = true;
                job.digest = kept->second.thumbnail.digest;
            }
            jobs.push_back(job);
        }
    };
    for (std::size_t p = first; p < last; ++p) {
        want(p);
    }
    for (std::size_t p = last; p < aheadLast; ++p) {
        want(p);
    }
    for (std::size_t p = first; p-- > behindFirst;) {
        want(p);
    }
    m_workers.Want(std::move(jobs));
}

void ThumbnailGrid::Arrived(const ThumbnailJob& job, Result<Thumbnail> result) {
    if (job.tag != m_setId || m_set == nullptr) {
        return;  // of a set since replaced
    }
    const Key key{job.tag, job.index, job.side, job.precision};
    Cell cell;
    const auto kept = m_kept.find(key);
    if (job.verify && result.ok() && result.value.pixels.empty() && kept != m_kept.end()) {
        cell = std::move(kept->second);  // unchanged: the thumbnail made before
    } else {
        ++m_made;
        m_bytesRead += result.value.bytesRead;
        cell.thumbnail = std::move(result.value);
        cell.error = std::move(result.error);
    }
    if (kept != m_kept.end()) {
        m_kept.erase(kept);
    }
    try {
        m_cache.Insert(key, std::move(cell));
    } catch (const std::bad_alloc&) {
        return;  // the cell keeps its placeholder
    }
    viewport()->update();
    emit thumbnailArrived();
}

void ThumbnailGrid::MakeCurrent(std::size_t position) {
    if (position >= m_entries.size()) {
        return;
    }
    m_current = position;
    ScrollToPosition(position);
    viewport()->update();
    emit currentChanged(m_entries[position]);
}

void ThumbnailGrid::MoveCurrent(std::ptrdiff_t by) {
    if (m_entries.empty()) {
        return;
    }
    const auto last = static_cast<std::ptrdiff_t>(m_entries.size()) - 1;
    const std::ptrdiff_t from = m_current ? static_cast<std::ptrdiff_t>(*m_current) : -by;
    const std::ptrdiff_t to = from + by;
    if (to < 0 || to > last) {
        // Past the ends: to the first or last cell, unless already there.
        const std::ptrdiff_t edge = to < 0 ? 0 : last;
        if (!m_current || static_cast<std::ptrdiff_t>(*m_current) != edge) {
            MakeCurrent(static_cast<std::size_t>(edge));
        }
        return;
    }
    MakeCurrent(static_cast<std::size_t>(to));
}

void ThumbnailGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
    RequestThumbnails();
}

void ThumbnailGrid::scrollContentsBy(int, int) {
    RequestThumbnails();
    viewport()->update();
}

void ThumbnailGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const auto position = PositionAt(event->position().toPoint())) {
            MakeCurrent(*position);
        }
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void ThumbnailGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const auto position = PositionAt(event->position().toPoint())) {
            emit activated(m_entries[*position]);
            return;
        }
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void ThumbnailGrid::keyPressEvent(QKeyEvent* event) {
    const auto columns = static_cast<std::ptrdiff_t>(Columns());
    const auto page =
        columns * std::max<std::ptrdiff_t>(1, viewport()->height() / std::max(1, m_cell));
    switch (event->key()) {
        case Qt::Key_Left:
            MoveCurrent(-1);
            return;
        case Qt::Key_Right:
            MoveCurrent(1);
            return;
        case Qt::Key_Up:
            MoveCurrent(-columns);
            return;
        case Qt::Key_Down:
            MoveCurrent(columns);
            return;
        case Qt::Key_PageUp:
            MoveCurrent(-page);
            return;
        case Qt::Key_PageDown:
            MoveCurrent(page);
            return;
        case Qt::Key_Home:
            MoveCurrent(-static_cast<std::ptrdiff_t>(m_entries.size()));
            return;
        case Qt::Key_End:
            MoveCurrent(static_cast<std::ptrdiff_t>(m_entries.size()));
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // The single preview of the current texture; never the dialog's end.
            if (m_current) {
                emit activated(m_entries[*m_current]);
            }
            event->accept();
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
    }
}

void ThumbnailGrid::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->angleDelta().y() > 0) {
            Larger();
        } else if (event->angleDelta().y() < 0) {
            Smaller();
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

}  // namespace marrowix
