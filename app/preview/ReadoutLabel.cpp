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

QStringList ReadoutLabel::WrapFields(const QString& text, const QFontMetrics& metrics, int width) {
    width = std::max(width, 1);
    QStringList lines;
    for (const QString& field : text.split(kFieldBreak, Qt::SkipEmptyParts)) {
        const QString trimmed = field.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        if (metrics.horizontalAdvance(trimmed) <= width) {
            Place(lines, trimmed, kFieldBreak, metrics, width);
            continue;
        }
        // A field longer than a line: its words on a line of their own.
        if (!lines.isEmpty() && !lines.back().isEmpty()) {
            lines.append(QString());
        }
        for (const QString& word : trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            Place(lines, word, QStringLiteral(" "), metrics, width);
        }
        lines.append(QString());
    }
    while (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
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
