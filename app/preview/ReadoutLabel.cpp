#include "app/preview/ReadoutLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace marrowix {
namespace {

const QString kFieldBreak = QStringLiteral("  ");

// Appends `piece` to the lines, starting a new line when it does not fit
// after `joint` on the last one.
void Place(QStringList& lines, const QString& piece, const QString& joint,
           const QFontMetrics& metrics, int width) {
    if (!lines.isEmpty() && !lines.back().isEmpty()) {
        const QString joined = lines.back() + joint + piece;
        if (metrics.horizontalAdvance(joined) <= width) {
            lines.back() = joined;
            return;
        }
        lines.append(QString());
    } else if (lines.isEmpty()) {
        lines.append(QString());
    }
    if (metrics.horizontalAdvance(piece) <= width) {
        lines.back() = piece;
        return;
    }
    // Wider than a line: between its characters.
    QString part;
    for (const QChar c : piece) {
        if (!part.isEmpty() && metrics.horizontalAdvance(part + c) > width) {
            lines.back() = part;
            lines.append(QString());
            part.clear();
        }
        part += c;
    }
    lines.back() = part;
}

}  // namespace

ReadoutLabel::ReadoutLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(true);
    // The pointer stays on the preview under a readout grown over it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

namespace {

// Places `text`'s pieces between `separators[0]`; a piece wider than a line
// on lines of its own, broken at the next separator.
void PlacePieces(QStringList& lines, const QString& text, const QStringList& separators,
                 const QFontMetrics& metrics, int width) {
    const QString separator = separators.front();
    const bool keep = separator.trimmed().size() > 0;  // "; " stays with its piece
    const QStringList pieces = text.split(separator, Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        QString piece = pieces[i].trimmed();
        if (keep && i + 1 < pieces.size()) {
            piece += separator.trimmed();
        }
        if (piece.isEmpty()) {
            continue;
        }
        const QString joint = separator == QLatin1String("  ") ? separator : QStringLiteral(" ");
        if (separators.size() == 1 || metrics.horizontalAdvance(piece) <= width) {
            Place(lines, piece, joint, metrics, width);
            continue;
        }
        if (!lines.isEmpty() && !lines.back().isEmpty()) {
            lines.append(QString());
        }
        PlacePieces(lines, piece, separators.mid(1), metrics, width);
        lines.append(QString());
    }
}

}  // namespace

QStringList ReadoutLabel::WrapFields(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    PlacePieces(lines, text,
                {kFieldBreak, QStringLiteral("; "), QStringLiteral(", "), QStringLiteral(" ")},
                metrics, std::max(width, 1));
    while (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    // A line never starts with a separator: it goes up to the line before,
    // or that line's last character comes down with it, whichever fits.
    const int room = std::max(width, 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QString& line = lines[i];
        QString& before = lines[i - 1];
        if (line.isEmpty() || (line[0] != QLatin1Char(';') && line[0] != QLatin1Char(','))) {
            continue;
        }
        if (metrics.horizontalAdvance(before + line[0]) <= room) {
            before += line[0];
            line.remove(0, 1);
            line = line.trimmed();
            if (line.isEmpty()) {
                lines.removeAt(i--);
            }
        } else if (before.size() > 1 && metrics.horizontalAdvance(before.back() + line) <= room) {
            line.prepend(before.back());
            before.chop(1);
        }
    }
    return lines;
}

QStringList ReadoutLabel::Lines() const {
    return WrapFields(text(), fontMetrics(), m_room.isValid() ? m_room.width() : width());
}

void ReadoutLabel::SetRoom(const QRect& room) {
    m_room = room;
    Fit();
}

void ReadoutLabel::ShowText(const QString& text) {
    setText(text);
    Fit();
    update();
}

void ReadoutLabel::Fit() {
    if (!m_room.isValid()) {
        return;
    }
    const int spacing = fontMetrics().lineSpacing();
    const int needed = static_cast<int>(Lines().size()) * spacing + 2;
    QRect r = m_room;
    if (needed > r.height()) {
        // Upward, but never above the parent's top.
        r.setTop(std::max(0, r.bottom() + 1 - needed));
    }
    if (r != geometry()) {
        setGeometry(r);
    }
    if (r.height() > m_room.height()) {
        raise();
    }
}

void ReadoutLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    int y = metrics.ascent();
    for (const QString& line : Lines()) {
        painter.drawText(0, y, line);
        y += metrics.lineSpacing();
    }
}

}  // namespace marrowix
