#include "app/MainDialog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTreeView>

#include "app/DialogBuilder.h"
#include "app/MemoryRoom.h"
#include "app/NativePaths.h"
#include "app/features/Finding.h"
#include "app/features/Loading.h"
#include "app/features/Selecting.h"
#include "app/features/Statistics.h"
#include "app/features/Survey.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/panels/StatsPanel.h"
#include "app/preview/PreviewView.h"
#include "app/preview/ReadoutLabel.h"
#include "app/resources/DialogTemplate.h"
#include "app/resources/Resource.h"
#include "app/tree/TextureTreeModel.h"
#include "app/tree/TreeSplitter.h"

namespace marrowix {

QString ProgramName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

CMarrowix::CMarrowix(QWidget* parent) : QDialog(parent) {
    BuildDialogFromTemplate(*this, res::MainDialogTemplate());
    OnInitDialog();
}

// Each part holds the sets it reads: they go with the last of them.
CMarrowix::~CMarrowix() = default;

bool CMarrowix::OnInitDialog() {
    m_pDocument = new SetDocument(this);
    m_pTree = qobject_cast<QTreeView*>(GetDlgItem(IDC_TREE));
    m_pModel = new TextureTreeModel(this);
    m_pTree->setModel(m_pModel);
    m_pSplitter = new TreeSplitter(this);
    connect(m_pSplitter, &TreeSplitter::moved, this, [this] {
        LayoutControls();
        LayoutPreview();
        if (m_features.finding->Showing()) {
            m_features.finding->Layout();
        }
    });
    CreatePreview();
    InstallFeatures();
    LayoutPreview();
    // The set the parts read comes from the document (its signals), and so
    // does this one.
    connect(m_pDocument, &SetDocument::currentChanged, this, [this] {
        m_pTextureSet = m_pDocument->Current();
        m_features.loading->OnSetChanged();
    });
    connect(m_pDocument, &SetDocument::imageShown, this, &CMarrowix::previewShown);
    setAcceptDrops(true);
    // Never smaller than the template: every control keeps its room.
    setMinimumSize(size());
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

// The template's bitmap control becomes a scrolling view from the same
// corner, with the readout line along the bottom of the preview area.
void CMarrowix::CreatePreview() {
    QWidget* bitmap = GetDlgItem(IDC_PREVIEW);
    m_pPreview = new PreviewView(this);
    m_pPreview->setProperty("controlId", IDC_PREVIEW);
    m_pPreview->setGeometry(bitmap->geometry());
    m_pPreview->stackUnder(bitmap);
    delete bitmap;
    m_pReadout = new ReadoutLabel(this);
    m_pReadout->setProperty("controlId", IDC_READOUT);
    m_pReadout->ShowText(m_pPreview->ReadoutText());
    connect(m_pPreview, &PreviewView::readoutChanged, m_pReadout, &ReadoutLabel::ShowText);
    m_pPreview->SetFootCover(m_pReadout);
}

// Beyond the template's size the tree grows downward, the path box and the
// group box to the right with Browse kept at the right margin; the splitter
// moves the boundary between the tree and everything right of it. At the
// template's size, the splitter untouched, every control is where the
// template puts it.
void CMarrowix::LayoutControls() {
    const res::DialogTemplate& t = res::MainDialogTemplate();
    const DialogUnits units = DialogUnits::For(*this);
    const int dx = std::max(0, width() - units.X(t.cx));
    const int dy = std::max(0, height() - units.Y(t.cy));
    // The tree keeps 40 units; the group box 200, room for its two labels.
    m_pSplitter->SetRange(units.X(40 - 134), units.X(368 - 200) + dx);
    const int extra = m_pSplitter->Shown();
    for (const res::ControlTemplate& c : t.controls) {
        QRect r = units.Map(c.x, c.y, c.cx, c.cy);
        switch (c.id) {
            case IDC_TREE:
                r.setHeight(r.height() + dy);
                r.setWidth(r.width() + extra);
                m_pSplitter->setGeometry(r.right() + 1, r.top(),
                                         units.X(147) + extra - r.right() - 1, r.height());
                break;
            case IDC_PATH:
            case IDC_STATIC:  // the group box
                r.setWidth(r.width() + dx);
                r.setLeft(r.left() + extra);
                break;
            case IDC_OFFSET:
            case IDC_DIMENSIONS:
                r.translate(extra, 0);
                break;
            case IDC_BROWSE:
                r.translate(dx, 0);
                break;
            default:
                continue;
        }
        if (QWidget* control = GetDlgItem(c.id)) {
            control->setGeometry(r);
        }
    }
}

// The view reaches from the template's corner to the dialog's right and
// bottom margins (those of the template's tree), less the readout's two
// lines.
void CMarrowix::LayoutPreview() {
    if (m_pPreview == nullptr) {
        return;
    }
    const DialogUnits units = DialogUnits::For(*this);
    const QPoint corner = units.Map(149, 53, 15, 13).topLeft() + QPoint(m_pSplitter->Shown(), 0);
    const int right = width() - units.X(7);
    const int bottom = height() - units.Y(7);
    const int lines = 2 * m_pReadout->fontMetrics().lineSpacing() + 2;
    const QRect area(
        corner, QPoint(std::max(corner.x(), right - 1), std::max(corner.y() + lines, bottom - 1)));
    // The statistics panel, when open, takes a column on the right.
    int panel = 0;
    if (m_features.statistics != nullptr && m_features.statistics->Showing()) {
        panel = std::min(units.X(150), area.width() / 2);
        m_features.statistics->Panel()->setGeometry(area.right() + 1 - panel, area.top(), panel,
                                                    std::max(1, area.height() - lines));
        panel += units.X(3);
    }
    m_pReadout->SetRoom(QRect(area.left(), area.bottom() + 1 - lines, area.width(), lines));
    m_pPreview->setGeometry(area.left(), area.top(), std::max(1, area.width() - panel),
                            std::max(1, area.height() - lines));
    if (m_features.survey != nullptr) {
        m_features.survey->Grid()->setGeometry(m_pPreview->geometry());
    }
}

void CMarrowix::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutControls();
    LayoutPreview();
    if (m_features.finding != nullptr && m_features.finding->Showing()) {
        m_features.finding->Layout();
    }
}

QWidget* CMarrowix::GetDlgItem(int id) const {
    return FindControl(*this, id);
}

void CMarrowix::OnBrowse() {
    const QString path = PromptListingPath();
    if (path.isEmpty()) {
        return;  // cancelled: everything stays as it was
    }
    LoadTextureSet(path);
}

int CMarrowix::LoadTextureSet(const QString& listingPath, std::optional<TextureMode> mode) {
    return LoadTextureSet(PathToU16(listingPath), mode);
}

int CMarrowix::LoadTextureSet(const std::u16string& listingPath, std::optional<TextureMode> mode) {
    return m_features.loading->Load(listingPath, mode);
}

std::size_t CMarrowix::ShowableTextures(std::size_t count) {
    return TexturesThatFit(count);
}

void CMarrowix::OnTreeSelChanged() {
    m_features.selecting->OnCurrentChanged();
}

}  // namespace marrowix
