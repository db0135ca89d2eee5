#include "app/features/SaveAndCopy.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstring>
#include <new>

#include "app/NativePaths.h"
#include "app/document/SetDocument.h"
#include "app/features/Comparison.h"
#include "app/preview/PreviewView.h"
#include "app/preview/ReadoutLabel.h"
#include "decode/Decode.h"
#include "decode/Image.h"
#include "imagefiles/ImageFiles.h"

namespace marrowix {
namespace {

// An image as a preview block: the header, then the rows bottom up, each
// pixel's bytes blue, green, red, fourth byte.
Buffer<std::uint8_t> BlockOfImage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Buffer<std::uint8_t> dib(kDibHeaderSize + std::size_t(argb.width()) * argb.height() * 4);
    WriteDibHeader(dib.data(), argb.width(), argb.height());
    const MutableImageView pixels = *EditDib(dib);
    for (std::uint32_t y = 0; y < pixels.height; ++y) {
        std::memcpy(pixels.Row(y), argb.constScanLine(static_cast<int>(y)),
                    std::size_t{pixels.width} * 4);
    }
    return dib;
}

}  // namespace

// The difference view's image as a file or the clipboard hold it: the
// differences at the scale shown, opaque (the preview block's fourth byte
// holds the alpha difference, which would make it transparent).
SaveAndCopy::SaveAndCopy(const ViewerParts& parts, const Comparison& comparison,
                         std::function<bool()> asShownWithLevels,
                         std::function<QString(const QString&)> promptSavePath, QObject* parent)
    : QObject(parent),
      m_parts(parts),
      m_comparison(comparison),
      m_asShownWithLevels(std::move(asShownWithLevels)),
      m_promptSavePath(std::move(promptSavePath)) {
    connect(
        m_parts.addAction(QStringLiteral("Save image..."), {QKeySequence(Qt::CTRL | Qt::Key_S)}),
        &QAction::triggered, this, &SaveAndCopy::SaveImage);
    connect(m_parts.addAction(QStringLiteral("Copy image"), {QKeySequence(Qt::CTRL | Qt::Key_C)}),
            &QAction::triggered, this, &SaveAndCopy::CopyImage);
    connect(m_parts.addAction(QStringLiteral("Copy readout"),
                              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)}),
            &QAction::triggered, this, &SaveAndCopy::CopyReadout);
}

void SaveAndCopy::CopyReadout() {
    QGuiApplication::clipboard()->setText(m_parts.readout->text());
}

QImage SaveAndCopy::DifferenceImage() const {
    QImage image = m_parts.preview->Image();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] |= 0xFF000000u;
        }
    }
    return image;
}

void SaveAndCopy::SaveImage() {
    if (!m_parts.document->Current() || !m_parts.document->Selected()) {
        return;
    }
    const std::size_t index = *m_parts.document->Selected();
    // What is on screen: the difference view's image, the other encoding
    // (or version) while E shows it, or the loaded set's texture.
    const bool difference = m_comparison.ShowsDifference();
    const CTextureSet* source = m_parts.document->Current().get();
    std::size_t sourceIndex = index;
    QString which;
    const bool leveled = !difference && m_asShownWithLevels();
    if (difference) {
        which = m_comparison.DifferenceSuffix();
    } else if (const auto other = m_comparison.ShowingOther() ? m_parts.document->OtherIndex(index)
                                                              : std::nullopt) {
        source = m_parts.document->Other().get();
        sourceIndex = *other;
        which = QLatin1Char('-') + m_parts.document->NameOf(*source);
    }
    if (leveled) {
        which += QStringLiteral("-levels");
    }
    QString path = m_promptSavePath(
        QString::fromStdU16String(m_parts.document->Current()->GetEntryName(index)) + which +
        ".png");
    if (path.isEmpty()) {
        return;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty()) {
        path += QStringLiteral(".png");
    }
    QString error;
    const bool dds = suffix == QLatin1String("dds");
    if (!suffix.isEmpty() && suffix != QLatin1String("png") && suffix != QLatin1String("bmp") &&
        !dds) {
        error = QStringLiteral("choose a .png, a .bmp or a .dds file");
    } else if (dds && (difference || leveled)) {
        error = QStringLiteral(
            "a DDS holds a texture's own blocks or texels; save what is shown as .png or .bmp");
    } else {
        try {
            const ImageFormat format = dds                              ? ImageFormat::kDds
                                       : suffix == QLatin1String("bmp") ? ImageFormat::kBmp
                                                                        : ImageFormat::kPng;
            const std::string native = NativeOfQt(path);
            const SetFileGuard guard(*m_parts.document->Current());
            std::string written;
            if (dds) {
                written = ExportEntryImage(native, *source, sourceIndex, format,
                                           m_parts.preview->GetPrecision(), guard);
            } else if (difference || leveled) {
                const QImage image =
                    difference ? DifferenceImage() : m_parts.preview->LeveledImage();
                Buffer<std::uint8_t> dib = BlockOfImage(image);
                written = WriteImageFile(native, format, dib, guard);
            } else {
                const Result<Buffer<std::uint8_t>> dib =
                    BuildFileImage(*source, sourceIndex, format, m_parts.preview->GetPrecision());
                written = dib.ok() ? WriteImageFile(native, format, dib.value, guard) : dib.error;
            }
            error = QString::fromStdString(written);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("not enough memory to save this texture");
        }
    }
    if (!error.isEmpty()) {
        m_parts.warn(QStringLiteral("Cannot save %1: %2").arg(path, error));
    } else {
        m_parts.readout->ShowText(
            QStringLiteral("saved %1").arg(path));  // until the readout moves on
    }
}

void SaveAndCopy::CopyImage() {
    if (!m_parts.preview->HasImage()) {
        return;
    }
    if (m_comparison.ShowsDifference()) {
        // Differences are values as they are, not nibbles to widen.
        if (QImage image = DifferenceImage(); !image.isNull()) {
            QGuiApplication::clipboard()->setImage(image);
        } else {
            m_parts.warn(QStringLiteral("not enough memory to copy this texture"));
        }
        return;
    }
    if (m_asShownWithLevels()) {
        if (QImage image = m_parts.preview->LeveledImage(); !image.isNull()) {
            QGuiApplication::clipboard()->setImage(image);
        } else {
            m_parts.warn(QStringLiteral("not enough memory to copy this texture"));
        }
        return;
    }
    if (QImage image = m_parts.preview->Image(); !image.isNull()) {
        // As PNG files hold it: at 4-bit each nibble widened exactly.
        const bool nibbles = m_parts.preview->GetPrecision() == Precision::kNibbles;
        for (int y = 0; nibbles && y < image.height(); ++y) {
            std::uint8_t* row = image.scanLine(y);
            for (qsizetype i = 0; i < image.bytesPerLine(); ++i) {
                row[i] = ExactFromPreviewByte(row[i]);
            }
        }
        QGuiApplication::clipboard()->setImage(image);
    } else {
        m_parts.warn(QStringLiteral("not enough memory to copy this texture"));
    }
}

}  // namespace marrowix
