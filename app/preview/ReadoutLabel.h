// The readout under the preview. Its text is a row of fields two spaces
// apart ("x 3, y 1", "R 238 G 51 B 12 A 255", "a0 255 a1 0"); lines break
// between fields only, never inside one. The dialog gives it room for two
// lines at the bottom of the preview area; a readout that needs more grows
// upward over the bottom of the preview, on the window's colour and letting
// the pointer through to the preview, so every field can be read at any
// window size, the template's included.
#pragma once

#include <QLabel>
#include <QStringList>

class QFontMetrics;

namespace marrowix {

class ReadoutLabel : public QLabel {
    Q_OBJECT
public:
    explicit ReadoutLabel(QWidget* parent = nullptr);

    // The readout's own room, given by the dialog's layout.
    void SetRoom(const QRect& room);
    QRect Room() const { return m_room; }

    // The text as drawn: one string a line.
    QStringList Lines() const;

    // `text` broken into lines no wider than `width`, between fields only; a
    // single field wider than a line breaks after its "; " or ", ", then at
    // its spaces, and a word wider than a line (a long path) between
    // characters.
    static QStringList WrapFields(const QString& text, const QFontMetrics& metrics, int width);

public slots:
    void ShowText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Room and text decide the height: the room's, or more upward.
    void Fit();

    QRect m_room;
};

}  // namespace marrowix
