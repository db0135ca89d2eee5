// The main dialog: Browse loads a texture set into the tree; selecting a
// texture shows its dimensions, its data offset and its decoded image.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

#include "app/document/SetDocument.h"
#include "app/features/Loading.h"
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

class Comparison;
class Finding;
class Selecting;
class Session;
class Reloading;
class Replacing;
class SaveAndCopy;
class Statistics;
class Survey;
class PreviewView;
class ReadoutLabel;
class TextureTreeModel;
class ThumbnailGrid;
class TextureReplacement;
class ViewerSettings;
class SetReload;
class StatsPanel;
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

    // The precision the preview shows: 4-bit (the preview block, the
    // default) or 8-bit (the full precision of "dxt" blocks).
    void SetPrecision(Precision precision);

    // The selected texture's image into a file (PNG with alpha at the
    // precision shown, each nibble widened exactly at 4-bit; or BMP: the
    // preview block as it is), asking where; or onto the clipboard as a PNG
    // would hold it. What is on screen is what is taken: the other encoding
    // (or version) while E shows it ("NAME-etc.png" suggested), the
    // difference view's image, opaque at the scale shown ("NAME-diff-x4.png").
    void SaveImage();
    void CopyImage();

    // The grid of thumbnails in the preview's place (G, and the context
    // menu): the textures of the selected category, of the selected
    // texture's category, or every match while the find field filters.
    ThumbnailGrid* Grid() const;
    bool ShowingGrid() const;
    void ShowGrid(bool on);

    // Comparison. E shows the selected texture from the other encoding of
    // the set (its offset table and data file beside the listing), or with
    // SetCompareWith from the other version, keeping zoom, scroll, mode,
    // precision and pin; E again flips back. The view mode 7 shows the
    // difference of the two 8-bit images, its scale stepped by D (x1, x4,
    // x16). The labels keep the loaded set's values.
    void SetCompareWith(const std::u16string& otherListing);
    void FlipSource();
    bool ShowingOther() const;
    void SetViewMode(ViewMode mode);
    void StepDifferenceScale();
    // The split view (S): what E shows now left of a divider the user drags,
    // the other encoding or version right of it; S again ends it.
    void ToggleSplit();
    bool Splitting() const;

    // The difference view's second mode (T): texels whose largest channel
    // difference exceeds a threshold, in red over the texture dimmed; D then
    // steps the threshold through 1, 2, 4, 8, 16, 32.
    void ToggleDifferenceThreshold();
    int DifferenceThreshold() const;
    int DifferenceScale() const;

    // Replace texture... (the preview's context menu, or an image file
    // dropped on the preview): writes a new set in which the selected
    // texture holds an image (asked for when not given) at a listing the user
    // chooses (a folder beside the set's suggested), on a worker thread, then
    // opens it at the same texture with the old set as the other version (E,
    // 7), the readout telling what the replacement measured.
    void ReplaceTexture(const QString& imagePath = {});
    TextureReplacement* Replacement() const;

    // The statistics panel beside the preview (H, and the context menu): the
    // figures of the texture shown, or of the region chosen by Shift+drag
    // (Escape clears it); and the display's levels, fitted to the texels in
    // view or the region by L, reset by Shift+L.
    StatsPanel* Stats() const;
    void ShowStats(bool on);
    void FitLevels();
    void ResetLevels();
    // Ctrl+S and Ctrl+C take the texture's values; with "as shown" on (the
    // context menu) and levels on, the image as the levels show it
    // ("NAME-levels.png" suggested).
    void SetAsShown(bool on);
    bool AsShownWithLevels() const;

    // Reload (F5, and by itself once the set's files have changed and been
    // quiet for a moment): the set read again off the dialog's thread and
    // swapped in, keeping the selected texture (found again by category and
    // name), zoom, scroll, view mode, precision, pin and the grid; the
    // readout says "reloaded HH:MM:SS", and which file is incomplete when
    // the set was caught mid-write. No message box is raised.
    void Reload();
    SetReload* Reloader() const;

    // What the viewer remembers between runs: restored now (window,
    // precision, view mode, grid cell size), saved when the dialog closes,
    // and the sets loaded, for Open recent (Ctrl+R). Without settings (as in
    // tests) nothing is remembered.
    void UseSettings(std::unique_ptr<ViewerSettings> settings);
    QMenu* RecentMenu() const;
    void done(int result) override;

    // The find field over the bottom of the tree: shown by Ctrl+F, it
    // filters the tree as it is typed in; Enter goes to the next match.
    QLineEdit* FindField() const;
    void ShowFind();
    void HideFind();
    void SelectNextMatch();

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
    void CreateGrid();
    void CreatePanels();
    // The selection and the preview that follows it; the loading of sets.
    void CreateSelection();
    // What the features get to work with.
    ViewerParts Parts();
    // The parts follow the document: a set swapped in, the other one gone.
    void ConnectDocument();
    void OnSetChanged();
    // The texture shown made again (another source, mode or precision),
    // keeping the pin and the region.
    void QueuePreview();
    void AddPreviewActions();
    // A command on `keys` anywhere in the window, also in the preview's
    // context menu; the caller connects it.
    QAction* AddWindowAction(const QString& text, const QList<QKeySequence>& keys);
    void LayoutControls();
    void LayoutPreview();
    void CreateSession();
    // The check mark of the view mode's command in the preview's menu.
    void CheckViewModeAction(ViewMode mode);
    // Watches the loaded set's files (and the other version's) for changes.
    void WatchForChanges();

    SetDocument* m_pDocument = nullptr;
    TextureTreeModel* m_pModel = nullptr;
    PreviewView* m_pPreview = nullptr;
    ReadoutLabel* m_pReadout = nullptr;
    Comparison* m_pComparison = nullptr;
    Selecting* m_pSelecting = nullptr;
    Loading* m_pLoading = nullptr;
    Finding* m_pFinding = nullptr;
    QAction* m_pPrecision = nullptr;  // checked at 8-bit precision
    Survey* m_pSurvey = nullptr;
    Replacing* m_pReplacing = nullptr;
    Session* m_pSession = nullptr;
    Reloading* m_pReloading = nullptr;
    Statistics* m_pStatistics = nullptr;
    SaveAndCopy* m_pSaveAndCopy = nullptr;
    TreeSplitter* m_pSplitter = nullptr;
};

// The caption of the program's message boxes: the program file's name
// without its extension.
QString ProgramName();

}  // namespace marrowix
