// Ctrl+S and Ctrl+C: the selected texture's image into a file (PNG with
// alpha at the precision shown, each nibble widened exactly at 4-bit; or
// BMP: the preview block as it is), asking where; or onto the clipboard as a
// PNG would hold it. What is on screen is what is taken: the other encoding
// (or version) while E shows it ("NAME-etc.png" suggested), the difference
// view's image, opaque at the scale shown ("NAME-diff-x4.png"), or with "as
// shown" the image as the levels show it ("NAME-levels.png").
#pragma once

#include <QImage>
#include <QObject>
#include <functional>

#include "app/features/ViewerParts.h"

namespace marrowix {

class Comparison;

class SaveAndCopy : public QObject {
    Q_OBJECT
public:
    // `promptSavePath` asks where to save, given the name suggested; empty
    // when the user cancels. `asShownWithLevels` tells whether the image is
    // taken as the levels show it.
    SaveAndCopy(const ViewerParts& parts, const Comparison& comparison,
                std::function<bool()> asShownWithLevels,
                std::function<QString(const QString&)> promptSavePath, QObject* parent);

    void SaveImage();
    void CopyImage();
    // The readout's text onto the clipboard (Ctrl+Shift+C).
    void CopyReadout();

private:
    // The difference view's image as saved and copied: opaque.
    QImage DifferenceImage() const;

    ViewerParts m_parts;
    const Comparison& m_comparison;
    std::function<bool()> m_asShownWithLevels;
    std::function<QString(const QString&)> m_promptSavePath;
};

}  // namespace marrowix
