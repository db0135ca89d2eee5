// What the dialog asks the user (a listing, the encoding, where to save or
// what to replace with) and tells them, and the files dropped on it.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/features/Loading.h"
#include "app/features/Replacing.h"
#include "repack/ImageInput.h"

namespace marrowix {

QString CMarrowix::PromptListingPath() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("*.txt (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

bool CMarrowix::AskLoadDxt() {
    QMessageBox box(
        QMessageBox::Question, ProgramName(),
        QStringLiteral("Click yes if u wanna load DXT textures, otherwise - ETC (uncompressed)"),
        QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void CMarrowix::ShowWarning(const QString& text) {
    QMessageBox::warning(this, ProgramName(), text);
}

QString CMarrowix::PromptImagePath() {
    return QFileDialog::getOpenFileName(
        this, QStringLiteral("Replace texture with"), QString(),
        QStringLiteral("Images (*.png *.dds *.jpg *.jpeg *.tga *.bmp);;All files (*)"));
}

QString CMarrowix::PromptNewSetPath(const QString& suggested) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Write the new set as"), suggested,
                                        QStringLiteral("Texture listings (*.txt)"));
}

QString CMarrowix::PromptSavePath(const QString& suggestedName) {
    return QFileDialog::getSaveFileName(
        this, QStringLiteral("Save image"), suggestedName,
        QStringLiteral("PNG image (*.png);;BMP image (*.bmp);;DDS texture (*.dds)"));
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
    if (IsPictureName(NativeOfQt(path)) && m_pDocument->Selected()) {
        m_features.replacing->ReplaceTexture(path);
        return;
    }
    // Another picture is not taken for a listing: only those that can be
    // read replace a texture.
    static const QStringList kPictures = {"gif", "tif", "tiff", "webp", "psd",
                                          "exr", "hdr", "ktx",  "heic", "avif"};
    if (kPictures.contains(suffix) && !CouldBeListing(PathToU16(path))) {
        ShowWarning(QStringLiteral("%1 is not a texture listing; only PNG, JPEG, TGA, BMP or DDS "
                                   "images can replace a texture")
                        .arg(QFileInfo(path).fileName()));
        return;
    }
    OpenListing(PathToU16(path));
}

}  // namespace marrowix
