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
#include <filesystem>
#include <new>
#include <system_error>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/PreviewView.h"
#include "decode/Decode.h"
#include "imagefiles/ImageFiles.h"

namespace marrowix {

QString CMarrowix::PromptSavePath(const QString& suggestedName) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save image"), suggestedName,
                                        QStringLiteral("PNG image (*.png);;BMP image (*.bmp)"));
}

void CMarrowix::SaveImage() {
    if (!m_pTextureSet || !m_selected) {
        return;
    }
    const std::size_t index = *m_selected;
    QString path =
        PromptSavePath(QString::fromStdU16String(m_pTextureSet->GetEntryName(index)) + ".png");
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
            const Result<Buffer<std::uint8_t>> dib =
                BuildFileImage(*m_pTextureSet, index, format, m_pPreview->GetPrecision());
            const std::string native = QFile::encodeName(path).toStdString();
            const std::string written =
                dib.ok() ? WriteImageFile(native, format, dib.value, SetFileGuard(*m_pTextureSet))
                         : dib.error;
            error = QString::fromStdString(written);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("not enough memory to save this texture");
        }
    }
    if (!error.isEmpty()) {
        ShowWarning(QStringLiteral("Cannot save %1: %2").arg(path, error));
    } else {
        m_pReadout->setText(QStringLiteral("saved %1").arg(path));  // until the readout moves on
    }
}

void CMarrowix::CopyImage() {
    if (!m_pPreview->HasImage()) {
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

int CMarrowix::OpenListing(const std::u16string& path, std::optional<TextureMode> mode) {
    if (!CouldBeListing(path)) {
        ShowWarning(QStringLiteral("%1 is not a texture listing")
                        .arg(QFileInfo(PathFromU16(path)).fileName()));
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
    // An image dropped while a texture shows replaces it in a new set.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if ((suffix == QLatin1String("png") || suffix == QLatin1String("dds")) && m_selected) {
        ReplaceTexture(path);
        return;
    }
    OpenListing(PathToU16(path));
}

}  // namespace marrowix
