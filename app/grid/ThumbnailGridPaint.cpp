// Painting the grid: one paint for the cells on screen, each its thumbnail
// in the view mode (or a placeholder until it arrives), its name and a mark
// on entries whose data or size a check would report.
#include <QPaintEvent>
#include <QPainter>

#include "app/grid/ThumbnailGrid.h"
#include "textureset/SetCheck.h"
#include "thumbnails/Checker.h"

namespace marrowix {
namespace {

constexpr int kMargin = 4;  // logical pixels around a cell's image and name

}  // namespace

const QImage& ThumbnailGrid::ShownImage(Cell& cell) {
    const Thumbnail& t = cell.thumbnail;
    if (!cell.shown.isNull() && cell.shownMode == m_mode) {
        return cell.shown;
    }
    QImage image(static_cast<int>(t.width), static_cast<int>(t.height), QImage::Format_RGB32);
    if (image.isNull()) {
        cell.shown = QImage();
        return cell.shown;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint32_t* src = t.pixels.data() + static_cast<std::size_t>(y) * t.width;
        for (int x = 0; x < image.width(); ++x) {
            dst[x] = ShowPixel(src[x], m_mode, CheckerGrey(x / kCheckerSquare, y / kCheckerSquare),
                               m_precision);
        }
    }
    cell.shown = std::move(image);
    cell.shownMode = m_mode;
    return cell.shown;
}

void ThumbnailGrid::PaintCell(QPainter& painter, std::size_t position, const QRect& rect) {
    const std::size_t entry = m_entries[position];
    const bool current = m_current && *m_current == position;
    if (current) {
        painter.fillRect(rect.adjusted(1, 1, -1, -1), palette().highlight());
    }
    const int nameHeight = NameHeight();
    const QRect area = rect.adjusted(kMargin, kMargin, -kMargin, -kMargin - nameHeight);
    Cell* cell = m_cache.Find({m_setId, entry, ThumbnailSide(), m_precision});
    const QImage* image = cell != nullptr && cell->error.empty() ? &ShownImage(*cell) : nullptr;
    if (image != nullptr && !image->isNull()) {
        // Device pixels: a thumbnail smaller than the cell (a small texture)
        // grows by a whole factor, its texels crisp squares.
        const double ratio = devicePixelRatioF();
        const double room = std::min(area.width() * ratio / image->width(),
                                     area.height() * ratio / image->height());
        const double factor = room >= 2 ? std::floor(room) : std::min(1.0, room);
        const QSizeF size(image->width() * factor / ratio, image->height() * factor / ratio);
        const QRectF target(area.left() + (area.width() - size.width()) / 2,
                            area.top() + (area.height() - size.height()) / 2, size.width(),
                            size.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, *image);
    } else {
        // Until it arrives, or for an entry without an image: a quiet square.
        painter.fillRect(area.adjusted(area.width() / 4, area.height() / 4, -area.width() / 4,
                                       -area.height() / 4),
                         QColor(0, 0, 0, cell != nullptr ? 24 : 12));
    }
    if (m_set != nullptr && !EntryDataProblem(*m_set, m_set->Entries()[entry]).empty()) {
        // The mark: a red corner, as a check would report the entry.
        const QPoint corner = rect.topRight() + QPoint(-kMargin, kMargin);
        const QPolygon triangle({corner, corner + QPoint(-10, 0), corner + QPoint(0, 10)});
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xD0, 0x20, 0x20));
        painter.drawPolygon(triangle);
    }
    const std::string_view name = m_set != nullptr ? m_set->GetEntryNameBytes(entry) : "";
    const QString text = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    const QRect nameRect(rect.left() + kMargin, area.bottom() + 1, rect.width() - 2 * kMargin,
                         nameHeight + kMargin);
    painter.setPen(current ? palette().highlightedText().color() : palette().text().color());
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop,
                     // Names of a set's tiles differ at their end: it stays.
                     fontMetrics().elidedText(text, Qt::ElideLeft, nameRect.width()));
}

void ThumbnailGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().base());
    const auto [first, last] = VisiblePositions();
    for (std::size_t p = first; p < last; ++p) {
        const QRect rect = CellRect(p);
        if (rect.intersects(event->rect())) {
            PaintCell(painter, p, rect);
        }
    }
}

}  // namespace marrowix
