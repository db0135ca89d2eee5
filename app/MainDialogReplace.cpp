// The main dialog's replacement of a texture: what to replace it with and
// where the new set goes are asked here; the writing is the
// TextureReplacement's; the new set is then opened as Browse would.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QTreeView>

#include "app/MainDialog.h"
#include "app/NativePaths.h"
#include "app/preview/ReadoutLabel.h"
#include "app/session/TextureReplacement.h"
#include "app/tree/TextureTreeModel.h"
#include "compare/Compare.h"
#include "repack/SetWriter.h"

namespace marrowix {

QString CMarrowix::PromptImagePath() {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Replace texture with"), QString(),
                                        QStringLiteral("Images (*.png *.dds);;All files (*)"));
}

QString CMarrowix::PromptNewSetPath(const QString& suggested) {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Write the new set as"), suggested,
                                        QStringLiteral("Texture listings (*.txt)"));
}

void CMarrowix::ReplaceTexture(const QString& imagePath) {
    if (!m_pTextureSet || !m_pDocument->Selected()) {
        ShowWarning(QStringLiteral("Select the texture to replace first."));
        return;
    }
    if (!m_pReplacement) {
        m_pReplacement = new TextureReplacement(this);
        connect(m_pReplacement, &TextureReplacement::finished, this, [this] { OnReplaced(); });
    }
    if (m_pReplacement->Running()) {
        ShowWarning(QStringLiteral("A new set is being written; wait for it to finish."));
        return;
    }
    const QString image = imagePath.isEmpty() ? PromptImagePath() : imagePath;
    if (image.isEmpty()) {
        return;
    }
    // A folder beside the set's folder, named after it: "sets/world" gives
    // "sets/world-edited/world.txt". It is made for the file dialog to open
    // in (a dialog given a missing folder opens somewhere else), and taken
    // away again unless the new set goes into it.
    const QFileInfo listing(QtOfNative(ToNativePath(m_pTextureSet->ListingPath())));
    QDir parent = listing.absoluteDir();
    const QString folderName = parent.dirName() + QStringLiteral("-edited");
    parent.cdUp();
    const QString folder = parent.filePath(folderName);
    const bool made = !QFileInfo::exists(folder) && parent.mkdir(folderName);
    const QString source = QtOfNative(ToNativePath(m_pTextureSet->ListingPath()));
    QString target;
    for (QString suggested = QDir(folder).filePath(listing.fileName());;) {
        target = PromptNewSetPath(suggested);
        if (target.isEmpty()) {
            break;
        }
        // The file dialog asked before a listing already there was chosen.
        const std::string refusal =
            CheckNewSetPlace(NativeOfQt(source), NativeOfQt(target), QFileInfo::exists(target));
        if (refusal.empty()) {
            break;
        }
        ShowWarning(
            QStringLiteral("The new set cannot go there: %1").arg(QString::fromStdString(refusal)));
        suggested = target;
    }
    if (made && (target.isEmpty() || QFileInfo(target).absoluteDir() != QDir(folder))) {
        parent.rmdir(folderName);  // only when empty
    }
    if (target.isEmpty()) {
        return;
    }
    m_pReplacement->Start(m_pTextureSet->ListingPath(), m_pTextureSet->GetMode(),
                          NativeOfQt(target), *m_pDocument->Selected(), NativeOfQt(image));
}

void CMarrowix::OnReplaced() {
    const RepackResult& result = m_pReplacement->Outcome();
    if (result.error == kCancelled) {
        return;  // the user's own choice: nothing to warn of
    }
    if (!result.error.empty()) {
        ShowWarning(QStringLiteral("Cannot replace the texture: %1")
                        .arg(QString::fromStdString(result.error)));
        return;
    }
    // The new set in the encoding shown then, the old one as the other
    // version (whatever was browsed to meanwhile).
    const std::u16string old = m_pReplacement->Source();
    const TextureMode mode = m_pReplacement->Mode();
    const std::size_t index = m_pReplacement->Index();
    QString measured;
    for (const WrittenTexture& w : result.written) {
        if (w.mode == mode) {
            measured = QString::fromStdString(DescribeMeasures(w.measures));
        }
    }
    LoadTextureSet(FromNativePath(m_pReplacement->NewListing()), mode);
    SetCompareWith(old);
    const QModelIndex node = m_pModel->IndexOfEntry(index);
    if (!node.isValid()) {
        return;
    }
    // Said once the replaced texture shows, until the readout moves on.
    const QString note =
        QStringLiteral("replaced (%1): %2; E: before")
            .arg(mode == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc"), measured);
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(this, &CMarrowix::previewShown, this, [this, once, note] {
        QObject::disconnect(*once);
        m_pReadout->ShowText(note);
    });
    m_pTree->setCurrentIndex(node);
    m_pTree->scrollTo(node);
}

}  // namespace marrowix
