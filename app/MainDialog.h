// The main dialog: Browse loads a texture set into the tree; selecting a
// texture shows its dimensions, its data offset and its decoded image.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

#include "app/document/SetDocument.h"
#include "app/features/ViewerFeatures.h"
#include "app/features/ViewerParts.h"
#include "app/preview/PreviewView.h"
#include "decode/Decode.h"
#include "textureset/TextureSet.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeView;

namespace marrowix {

class PreviewView;
class ReadoutLabel;
class TextureTreeModel;
class TreeSplitter;

class CMarrowix : public QDialog {
    Q_OBJECT
public:
    explicit CMarrowix(QWidget* parent = nullptr);
    ~CMarrowix() override;

    // The control with a template identifier (IDC_...), or null.
    QWidget* GetDlgItem(int id) const;

    // Replaces the current set and the tree's content with the set at
    // `listingPath`, asking which encoding to load unless `mode` says it.
    // Returns the number of entries. The path is either as Qt names files or,
    // as the set's paths are kept, the file system's bytes without loss
    // (FromNativePath).
    int LoadTextureSet(const QString& listingPath, std::optional<TextureMode> mode = std::nullopt);
    int LoadTextureSet(const std::u16string& listingPath,
                       std::optional<TextureMode> mode = std::nullopt);

    // Loads the listing at `path` as LoadTextureSet does when it can be one
    // (see CouldBeListing); otherwise says so and keeps the loaded set.
    // Returns the number of entries, or -1 when the file was refused.
    int OpenListing(const std::u16string& path, std::optional<TextureMode> mode = std::nullopt);

    TextureTreeModel* TreeModel() const { return m_pModel; }
    // The handle between the tree and the right-hand side.
    TreeSplitter* Splitter() const { return m_pSplitter; }
    PreviewView* Preview() const { return m_pPreview; }

    // What the window does beyond the dialog's two commands, feature by
    // feature (ViewerFeatures.h).
    const ViewerFeatures& Features() const { return m_features; }

    // Compares with the version at `otherListing` from now on (E, S and 7
    // show it), watching its files too; empty: the other encoding.
    void SetCompareWith(const std::u16string& otherListing);

    // Saves what the session remembers before the dialog closes.
    void done(int result) override;

    // What the dialog shows: the loaded set, the other one, the selection.
    SetDocument* Document() const { return m_pDocument; }

    // The set loaded by the last Browse; none until the first. The
    // document's, held here as every part holds it.
    SharedSet m_pTextureSet;
    QTreeView* m_pTree = nullptr;

signals:
    // The preview now shows entry `index`. Previews are built once the
    // events at hand are handled, for the newest selection only.
    void previewShown(std::size_t index);

public slots:
    void OnBrowse();
    void OnTreeSelChanged();

protected:
    bool OnInitDialog();

    // What the user is asked; replaced in tests.
    // The listing to load; empty when the user cancels.
    virtual QString PromptListingPath();
    // The encoding question: true for Yes ("dxt"), false for No ("etc").
    virtual bool AskLoadDxt();
    virtual void ShowWarning(const QString& text);
    // Where to save an image; empty when the user cancels.
    virtual QString PromptSavePath(const QString& suggestedName);
    // The image that replaces a texture, and the new set's listing; empty
    // when the user cancels.
    virtual QString PromptImagePath();
    virtual QString PromptNewSetPath(const QString& suggested);
    // How many of `count` textures the tree can show with the memory there
    // is; replaced in tests.
    virtual std::size_t ShowableTextures(std::size_t count);

    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A file dropped on the dialog, taken once the drop has ended.
    void OpenDropped(const QString& path);
    void ConnectMessageMap();
    void CreatePreview();
    // The features, in the order their commands appear in the preview's
    // context menu.
    void InstallFeatures();
    // What the features get to work with.
    ViewerParts Parts();
    Session* CreateSession();
    // A command on `keys` anywhere in the window, also in the preview's
    // context menu; the caller connects it.
    QAction* AddWindowAction(const QString& text, const QList<QKeySequence>& keys);
    void LayoutControls();
    void LayoutPreview();

    SetDocument* m_pDocument = nullptr;
    TextureTreeModel* m_pModel = nullptr;
    PreviewView* m_pPreview = nullptr;
    ReadoutLabel* m_pReadout = nullptr;
    TreeSplitter* m_pSplitter = nullptr;
    ViewerFeatures m_features;
};

// The caption of the program's message boxes: the program file's name
// without its extension.
QString ProgramName();

}  // namespace marrowix
