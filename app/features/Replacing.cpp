#include "app/features/Replacing.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeView>

#include "app/NativePaths.h"
#include "app/document/SetDocument.h"
#include "app/preview/ReadoutLabel.h"
#include "app/session/TextureReplacement.h"
#include "app/tree/TextureTreeModel.h"
#include "compare/Compare.h"
#include "repack/SetWriter.h"

namespace marrowix {

Replacing::Replacing(const ViewerParts& parts, Window window, QObject* parent)
    : QObject(parent), m_parts(parts), m_window(std::move(window)) {
    connect(m_parts.addAction(QStringLiteral("Replace texture..."), {}), &QAction::triggered, this,
            [this] { ReplaceTexture({}); });
}

void Replacing::ReplaceTexture(const QString& imagePath) {
    const SharedSet& set = m_parts.document->Current();
    if (!set || !m_parts.document->Selected()) {
        m_parts.warn(QStringLiteral("Select the texture to replace first."));
        return;
    }
    if (!m_pReplacement) {
        m_pReplacement = new TextureReplacement(m_parts.window);
        connect(m_pReplacement, &TextureReplacement::finished, this, [this] { OnReplaced(); });
    }
    if (m_pReplacement->Running()) {
        m_parts.warn(QStringLiteral("A new set is being written; wait for it to finish."));
        return;
    }
    const QString image = imagePath.isEmpty() ? m_window.promptImagePath() : imagePath;
    if (image.isEmpty()) {
        return;
    }
    // A folder beside the set's folder, named after it: "sets/world" gives
    // "sets/world-edited/world.txt". It is made for the file dialog to open
    // in (a dialog given a missing folder opens somewhere else), and taken
    // away again unless the new set goes into it.
    const QFileInfo listing(QtOfNative(ToNativePath(set->ListingPath())));
    QDir parent = listing.absoluteDir();
    const QString folderName = parent.dirName() + QStringLiteral("-edited");
    parent.cdUp();
    const QString folder = parent.filePath(folderName);
    const bool made = !QFileInfo::exists(folder) && parent.mkdir(folderName);
    const QString source = QtOfNative(ToNativePath(set->ListingPath()));
    QString target;
    for (QString suggested = QDir(folder).filePath(listing.fileName());;) {
        target = m_window.promptNewSetPath(suggested);
        if (target.isEmpty()) {
            break;
        }
        // The file dialog asked before a listing already there was chosen.
        const std::string refusal =
            CheckNewSetPlace(NativeOfQt(source), NativeOfQt(target), QFileInfo::exists(target));
        if (refusal.empty()) {
            break;
        }
        m_parts.warn(
            QStringLiteral("The new set cannot go there: %1").arg(QString::fromStdString(refusal)));
        suggested = target;
    }
    if (made && (target.isEmpty() || QFileInfo(target).absoluteDir() != QDir(folder))) {
        parent.rmdir(folderName);  // only when empty
    }
    if (target.isEmpty()) {
        return;
    }
    m_pReplacement->Start(set->ListingPath(), set->GetMode(), NativeOfQt(target),
                          *m_parts.document->Selected(), NativeOfQt(image));
}

void Replacing::OnReplaced() {
    const RepackResult& result = m_pReplacement->Outcome();
    if (result.error == kCancelled) {
        return;  // the user's own choice: nothing to warn of
    }
    if (!result.error.empty()) {
        m_parts.warn(QStringLiteral("Cannot replace the texture: %1")
                         .arg(QString::fromStdString(result.error)));
        return;
    }
    // The new set in the encoding shown then, the old one as the other
    // version (whatever was browsed to meanwhile).
    const std::u16string old = m_pReplacement->Source();
    const TextureMode mode = m_pReplacement->Mode();
    const std::size_t index = m_pReplacement->Index();
    QString measured;
    QString kept;  // what the image's format could not carry
    for (const WrittenTexture& w : result.written) {
        if (w.mode == mode) {
            measured = QString::fromStdString(DescribeMeasures(w.measures));
            kept = w.note.empty() ? QString() : "; " + QString::fromStdString(w.note);
        }
    }
    m_window.openNewSet(FromNativePath(m_pReplacement->NewListing()), mode, old);
    const QModelIndex node = m_parts.model->IndexOfEntry(index);
    if (!node.isValid()) {
        return;
    }
    // Said once the replaced texture shows, until the readout moves on.
    const QString note =
        QStringLiteral("replaced (%1%2): %3; E: before")
            .arg(mode == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc"), kept, measured);
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(m_parts.document, &SetDocument::imageShown, this, [this, once, note] {
        QObject::disconnect(*once);
        m_parts.readout->ShowText(note);
    });
    m_parts.tree->setCurrentIndex(node);
    m_parts.tree->scrollTo(node);
}

}  // namespace marrowix
