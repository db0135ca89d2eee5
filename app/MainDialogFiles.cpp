// The main dialog's files: the image saved or copied, a listing dropped.
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/features/Comparison.h"
#include "app/preview/PreviewView.h"
#include "app/preview/ReadoutLabel.h"
#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"

namespace marrowix {
namespace {

// An image as a preview block: the header, then the rows bottom up, each
// pixel's bytes blue, green, red, fourth byte.
Buffer<std::uint8_t> BlockOfImage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Buffer<std::uint8_t> dib(kDibHeaderSize + std::size_t(argb.width()) * argb.height() * 4);
    WriteDibHeader(dib.data(), argb.width(), argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        std::memcpy(dib.data() + kDibHeaderSize +
                        std::size_t(argb.height() - 1 - y) * std::size_t(argb.width()) * 4,
                    argb.constScanLine(y), std::size_t(argb.width()) * 4);
    }
    return dib;
}

}  // namespace

QString CMarrowix::PromptSavePath(const QString& suggestedName) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save image"), suggestedName,
                                        QStringLiteral("PNG image (*.png);;BMP image (*.bmp)"));
}

// The difference view's image as a file or the clipboard hold it: the
// differences at the scale shown, opaque (the preview block's fourth byte
// holds the alpha difference, which would make it transparent).
QImage CMarrowix::DifferenceImage() const {
    QImage image = m_pPreview->Image();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] |= 0xFF000000u;
        }
    }
    return image;
}

void CMarrowix::SaveImage() {
    if (!m_pTextureSet || !m_pDocument->Selected()) {
        return;
    }
    const std::size_t index = *m_pDocument->Selected();
    // What is on screen: the difference view's image, the other encoding
    // (or version) while E shows it, or the loaded set's texture.
    const bool difference = m_pComparison->ShowsDifference();
    const CTextureSet* source = m_pTextureSet.get();
    std::size_t sourceIndex = index;
    QString which;
    const bool leveled = !difference && AsShownWithLevels();
    if (difference) {
        which = m_pComparison->DifferenceSuffix();
    } else if (const auto other = ShowingOther() ? m_pDocument->OtherIndex(index) : std::nullopt) {
        source = m_pDocument->Other().get();
        sourceIndex = *other;
        which = QLatin1Char('-') + m_pDocument->NameOf(*source);
    }
    if (leveled) {
        which += QStringLiteral("-levels");
    }
    QString path = PromptSavePath(QString::fromStdU16String(m_pTextureSet->GetEntryName(index)) +
                                  which + ".png");
    if (path.isEmpty()) {
        return;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty()) {
        path += QStringLiteral(".png");
    }
    QString error;
    if (!suffix.isEmpty() && suffix != QLatin1String("png") && suffix != QLatin1String("bmp")) {
        error = QStringLiteral("choose a .png or a .bmp file");
    } else {
        try {
            const ImageFormat format =
                suffix == QLatin1String("bmp") ? ImageFormat::kBmp : ImageFormat::kPng;
            const std::string native = NativeOfQt(path);
            const SetFileGuard guard(*m_pTextureSet);
            std::string written;
            if (difference || leveled) {
                const QImage image = difference ? DifferenceImage() : m_pPreview->LeveledImage();
                Buffer<std::uint8_t> dib = BlockOfImage(image);
                written = WriteImageFile(native, format, dib, guard);
            } else {
                const Result<Buffer<std::uint8_t>> dib =
                    BuildFileImage(*source, sourceIndex, format, m_pPreview->GetPrecision());
                written = dib.ok() ? WriteImageFile(native, format, dib.value, guard) : dib.error;
            }
            error = QString::fromStdString(written);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("not enough memory to save this texture");
        }
    }
    if (!error.isEmpty()) {
        ShowWarning(QStringLiteral("Cannot save %1: %2").arg(path, error));
    } else {
        m_pReadout->ShowText(QStringLiteral("saved %1").arg(path));  // until the readout moves on
    }
}

void CMarrowix::CopyImage() {
    if (!m_pPreview->HasImage()) {
        return;
    }
    if (m_pComparison->ShowsDifference()) {
        // Differences are values as they are, not nibbles to widen.
        if (QImage image = DifferenceImage(); !image.isNull()) {
            QGuiApplication::clipboard()->setImage(image);
        } else {
            ShowWarning(QStringLiteral("not enough memory to copy this texture"));
        }
        return;
    }
    if (AsShownWithLevels()) {
        if (QImage image = m_pPreview->LeveledImage(); !image.isNull()) {
            QGuiApplication::clipboard()->setImage(image);
        } else {
            ShowWarning(QStringLiteral("not enough memory to copy this texture"));
        }
        return;
    }
    if (QImage image = m_pPreview->Image(); !image.isNull()) {
        // As PNG files hold it: at 4-bit each nibble widened exactly.
        const bool nibbles = m_pPreview->GetPrecision() == Precision::kNibbles;
        for (int y = 0; nibbles && y < image.height(); ++y) {
            std::uint8_t* row = image.scanLine(y);
            for (qsizetype i = 0; i < image.bytesPerLine(); ++i) {
                row[i] = ExactFromPreviewByte(row[i]);
            }
        }
        QGuiApplication::clipboard()->setImage(image);
    } else {
        ShowWarning(QStringLiteral("not enough memory to copy this texture"));
    }
}

bool CouldBeListing(const std::u16string& path) {
    const std::size_t dot = path.size() >= 4 ? path.size() - 4 : std::u16string::npos;
    if (dot != std::u16string::npos && path[dot] == u'.' && (path[dot + 1] | 0x20) == u't' &&
        (path[dot + 2] | 0x20) == u'x' && (path[dot + 3] | 0x20) == u't') {
        return true;
    }
    std::error_code ec;
    for (const char16_t* mode : {u"dxt", u"etc"}) {
        for (const char16_t* suffix : {u".toc", u".dat"}) {
            if (std::filesystem::exists(ToNativePath(DeriveSetPath(path, mode, suffix)), ec)) {
                return true;
            }
        }
    }
    return false;
}

QString ListingRefusal(const std::u16string& path) {
    return CouldBeListing(path) ? QString()
                                : QStringLiteral("%1 is not a texture listing")
                                      .arg(QFileInfo(PathFromU16(path)).fileName());
}

int CMarrowix::OpenListing(const std::u16string& path, std::optional<TextureMode> mode) {
    if (const QString refusal = ListingRefusal(path); !refusal.isEmpty()) {
        ShowWarning(refusal);
        return -1;
    }
    return LoadTextureSet(path, mode);
}

// A single file dropped on the dialog loads as Browse would load it when it
// can be a listing; the file's path, or empty for anything else.
static QString DroppedFile(const QMimeData* data) {
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile() ||
        !QFileInfo(urls.front().toLocalFile()).isFile()) {
        return {};
    }
    return urls.front().toLocalFile();
}

void CMarrowix::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMarrowix::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // What the drop leads to (a question, a warning, a load) comes once the
    // drop has ended: the program the file came from waits until it returns.
    QMetaObject::invokeMethod(
        this, [this, path] { OpenDropped(path); }, Qt::QueuedConnection);
}

void CMarrowix::OpenDropped(const QString& path) {
    // An image dropped while a texture shows replaces it in a new set.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if ((suffix == QLatin1String("png") || suffix == QLatin1String("dds")) &&
        m_pDocument->Selected()) {
        ReplaceTexture(path);
        return;
    }
    // Another picture is not taken for a listing: only PNG and DDS images
    // replace a texture.
    static const QStringList kPictures = {"jpg",  "jpeg", "bmp", "gif", "tga", "tif",
                                          "tiff", "webp", "psd", "exr", "hdr", "ktx"};
    if (kPictures.contains(suffix) && !CouldBeListing(PathToU16(path))) {
        ShowWarning(QStringLiteral("%1 is not a texture listing; only PNG or DDS images can "
                                   "replace a texture")
                        .arg(QFileInfo(path).fileName()));
        return;
    }
    OpenListing(PathToU16(path));
}

}  // namespace marrowix
