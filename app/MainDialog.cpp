#include "app/MainDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

#include "app/DialogBuilder.h"
#include "app/TextureTreeModel.h"
#include "app/resources/DialogTemplate.h"
#include "app/resources/Resource.h"
#include "decode/Decode.h"

namespace marrowix {
namespace {

std::u16string ToU16(const QString& text) {
    return text.toStdU16String();
}
// Paths reach the file system as the bytes Qt would use for them.
std::u16string PathToU16(const QString& path) {
    return FromNativePath(QFile::encodeName(path).toStdString());
}
QString PathFromU16(const std::u16string& path) {
    return QFile::decodeName(QByteArray::fromStdString(ToNativePath(path)));
}

}  // namespace

QString ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QImage ImageFromPreviewDib(std::span<const std::uint8_t> dib) {
    const BITMAPINFOHEADER h = ReadDibHeader(dib);
    if (h.biWidth <= 0 || h.biHeight <= 0 || h.biBitCount != 32) {
        return {};
    }
    const auto w = static_cast<std::size_t>(h.biWidth);
    const auto rows = static_cast<std::size_t>(h.biHeight);
    if (dib.size() - kDibHeaderSize != w * rows * 4) {
        return {};
    }
    QImage image(h.biWidth, h.biHeight, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const std::uint8_t* pixels = dib.data() + kDibHeaderSize;
    for (std::size_t y = 0; y < rows; ++y) {
        const std::uint8_t* src = pixels + (rows - 1 - y) * w * 4;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint8_t* p = src + x * 4;
            dst[x] = qRgb(p[2], p[1], p[0]);
        }
    }
    return image;
}

CMarrowix::CMarrowix(QWidget* parent) : QDialog(parent) {
    BuildDialogFromTemplate(*this, res::MainDialogTemplate());
    OnInitDialog();
}

CMarrowix::~CMarrowix() {
    // The tree lets go of the set before the set goes.
    if (m_pModel != nullptr) {
        m_pModel->SetTextureSet(nullptr);
    }
}

bool CMarrowix::OnInitDialog() {
    m_pTree = qobject_cast<QTreeView*>(GetDlgItem(IDC_TREE));
    m_pModel = new TextureTreeModel(this);
    m_pTree->setModel(m_pModel);
    ConnectMessageMap();
    setWindowTitle(QStringLiteral("Orlek's Marrowix (built @ Dec 10 2012 22:43:27 MSK)"));
    return true;
}

// The dialog's two commands.
void CMarrowix::ConnectMessageMap() {
    connect(qobject_cast<QPushButton*>(GetDlgItem(IDC_BROWSE)), &QPushButton::clicked, this,
            &CMarrowix::OnBrowse);
    connect(m_pTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CMarrowix::OnTreeSelChanged);
}

QWidget* CMarrowix::GetDlgItem(int id) const {
    return FindControl(*this, id);
}

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

void CMarrowix::OnBrowse() {
    const QString path = PromptListingPath();
    if (path.isEmpty()) {
        return;  // cancelled: everything stays as it was
    }
    LoadTextureSet(path);
}

int CMarrowix::LoadTextureSet(const QString& listingPath) {
    // Discard the previous set and every node; selection changes sent while
    // the tree empties find no set.
    if (m_pTextureSet) {
        std::unique_ptr<CTextureSet> previous = std::move(m_pTextureSet);
        m_pModel->SetTextureSet(nullptr);
    }

    auto set = std::make_unique<CTextureSet>();
    const QString modeWord = AskLoadDxt() ? QStringLiteral("dxt") : QStringLiteral("etc");
    OpenTextureSet(*set, PathToU16(listingPath), ToU16(modeWord));
    m_pTextureSet = std::move(set);

    qobject_cast<QLineEdit*>(GetDlgItem(IDC_PATH))->setText(listingPath);
    m_pModel->SetTextureSet(m_pTextureSet.get());

    WarnOfMissingFiles();
    return static_cast<int>(m_pTextureSet->GetEntryCount());
}

void CMarrowix::WarnOfMissingFiles() {
    const CTextureSet& set = *m_pTextureSet;
    QStringList lines;
    // A file with a reason was not opened, or not read in full.
    auto add = [&](const char* what, const std::u16string& path, const std::string& reason) {
        if (!reason.empty()) {
            lines << QStringLiteral("%1: %2 (%3)")
                         .arg(QLatin1String(what), PathFromU16(path),
                              QString::fromStdString(reason));
        }
    };
    add("Listing", set.ListingPath(), set.ListingError());
    add("Offset table", set.OffsetTablePath(), set.OffsetTableError());
    add("Data file", set.DataPath(), set.DataError());
    if (lines.isEmpty()) {
        return;
    }
    QString text =
        QStringLiteral("Some files of this texture set could not be opened or read:\n\n") +
        lines.join(QLatin1Char('\n'));
    if (!set.HasOffsetTableFile() || !set.HasDataFile()) {
        text += QStringLiteral(
            "\n\nWithout an offset table every texture is read at offset 0; without a data "
            "file its texels are shown as 0.");
    }
    ShowWarning(text);
}

void CMarrowix::OnTreeSelChanged() {
    if (!m_pTextureSet || m_pModel->rowCount() == 0) {
        return;
    }
    const QModelIndex selected = m_pTree->selectionModel()->currentIndex();
    if (!selected.isValid()) {
        return;
    }
    const qlonglong value = selected.data(TextureTreeModel::ItemValueRole).toLongLong();
    if (value < 0) {
        return;  // a category: labels and preview stay
    }
    const auto index = static_cast<std::size_t>(value);
    const TextureEntry entry = m_pTextureSet->GetEntry(index);

    qobject_cast<QLabel*>(GetDlgItem(IDC_DIMENSIONS))
        ->setText(QString::asprintf("Dimensions: %d x %d", entry.width, entry.height));
    qobject_cast<QLabel*>(GetDlgItem(IDC_OFFSET))
        ->setText(QString::asprintf("Offset: 0x%X", entry.offset));

    const Result<Buffer<std::uint8_t>> dib = BuildPreviewDib(*m_pTextureSet, index);
    // A refused entry, or one of width or height 0, shows an empty preview.
    ShowPreview(dib.ok() ? ImageFromPreviewDib(dib.value) : QImage());
}

void CMarrowix::ShowPreview(const QImage& image) {
    auto* preview = qobject_cast<QLabel*>(GetDlgItem(IDC_PREVIEW));
    if (image.isNull()) {
        preview->clear();
        return;
    }
    // Real size, from the control's template corner.
    preview->setPixmap(QPixmap::fromImage(image));
    preview->resize(image.size());
}

void CMarrowix::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            accept();
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            reject();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

}  // namespace marrowix
