// The preview of the selected texture: a scrolling view that draws the image
// at real size from its top-left corner by default, zooms in powers of two
// (texels stay crisp squares) or to fit, shows the image as RGB, as RGBA over
// a checkerboard, or one channel as grey, and tells where the texel under the
// pointer comes from in the data file.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstddef>
#include <optional>

#include "app/preview/Levels.h"
#include "app/preview/PreviewPainting.h"
#include "app/preview/ShownImage.h"
#include "app/preview/SplitView.h"
#include "app/preview/ViewGeometry.h"
#include "app/preview/ViewMode.h"
#include "decode/Decode.h"
#include "decode/Image.h"
#include "textureset/PreviewImage.h"
#include "textureset/TextureSet.h"

namespace marrowix {

class PreviewView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kMinZoom = 1.0 / 16;
    static constexpr double kMaxZoom = 32;

    explicit PreviewView(QWidget* parent = nullptr);

    // Shows the image `dib` of entry `index` of `set` at the view's
    // precision (BuildPreviewDib's block at kNibbles, BuildImageDib's at
    // kFull: header, then bottom-up pixels blue, green, red, alpha),
    // painting straight from it; an empty or malformed block shows nothing.
    // Mode and zoom stay; the fit mode fits the new image; the pin stays
    // when it is the same texture again.
    void SetTexture(Buffer<std::uint8_t> dib, SharedSet set, std::size_t index);
    // The set the image came from is going: the image stays, its source goes.
    void ForgetSet();
    // The next SetTexture shows the same texture from another source (the
    // other encoding, the other version): the pin stays.
    void KeepPinForNextTexture() { m_keepPin = true; }
    // A note after the readout's state (which source is shown); empty: none.
    void SetSourceNote(const QString& note);
    // A sibling that may grow over the preview's foot (the readout): the
    // split view's half names stay above it.
    void SetFootCover(QWidget* cover);
    // In the difference view, what the readout tells of each texel; null
    // when there is none to tell (the view then shows the image as it is).
    void SetDifference(const PreviewDifference* difference);
    // Lets go of the image's memory just before the next image is set, so
    // that the next one can take it over; nothing is painted in between.
    void ReleaseImageMemory();
    // A copy of the image shown, top row first, the fourth byte as alpha
    // (ARGB32, not premultiplied); null when there is none.
    QImage Image() const;
    bool HasImage() const { return !m_shown.Empty(); }

    ViewMode Mode() const { return m_look.mode; }
    void SetMode(ViewMode mode);
    // How the images given are to be read: 4-bit (the preview block, the
    // default) or 8-bit (the full-precision image). Whoever sets it gives
    // the texture's image again at that precision.
    Precision GetPrecision() const { return m_look.precision; }
    void SetPrecision(Precision precision);
    // Device pixels per texel: at 100% one texel is one device pixel on a
    // screen of any scale.
    double Zoom() const { return m_zoom; }
    // Device pixels per logical pixel of the viewport.
    double DevicePixelRatio() const;
    bool Fitting() const { return m_fit; }
    // One power of two in or out, about a point of the viewport.
    void ZoomIn(QPoint about);
    void ZoomOut(QPoint about);
    void ZoomIn() { ZoomIn(viewport()->rect().center()); }
    void ZoomOut() { ZoomOut(viewport()->rect().center()); }
    void RealSize();
    void Fit();

    // The texel at a point of the viewport, if the image is there.
    std::optional<QPoint> TexelAt(QPoint viewportPoint) const;
    // Where the viewport shows texel `texel`'s top-left corner.
    QPoint ViewportPointOf(QPoint texel) const;

    std::optional<QPoint> Pinned() const { return m_pinned; }
    void Pin(QPoint texel);
    void Unpin();

    // A rectangle of texels the user chose (Shift+drag), or none.
    std::optional<QRect> Region() const { return m_region; }
    void SetRegion(std::optional<QRect> region);
    // The texels the viewport shows now, whole or in part.
    QRect VisibleTexels() const;

    // The split view: `dib` (an image of the same size at the same
    // precision, from the other encoding or version) shown right of a
    // divider the user drags, the view's own image left of it, both at the
    // same zoom and scroll, each half labelled; the readout gives both
    // texels. An empty `dib` ends it.
    void SetSplit(Buffer<std::uint8_t> dib, const QString& leftName, const QString& rightName);
    bool Splitting() const { return m_split.On(); }
    // The divider's place, in viewport pixels from the left.
    int SplitAt() const;
    void SetSplitAt(int x);

    // Levels for the display only (Levels.h); the readout says they are on.
    const Levels& GetLevels() const { return m_look.levels; }
    void SetLevels(const Levels& levels);
    // The image with the levels applied, top row first, 8-bit values (at
    // 4-bit precision each nibble widened exactly first); alpha as it is
    // unless the levels are for alpha.
    QImage LeveledImage() const;

    // The readout: the encoding of the set the image came from, the view
    // mode, precision and zoom, then the texel under the pointer (or the
    // pinned one) and where it comes from.
    QString ReadoutText() const;

signals:
    void readoutChanged(const QString& text);
    // The region was chosen, changed or cleared.
    void regionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Where the image lies in the viewport now.
    ViewGeometry Geometry() const;
    QPoint Scroll() const;
    // The largest zoom at which the whole image can be scrolled to.
    double MaxZoom() const;
    void SetZoom(double zoom, QPoint about);
    void UpdateScrollRanges();
    void UpdateReadout();
    // Shift+drag: the region from the texel where it began.
    void ExtendRegion(QPoint viewportPoint);
    // The y above which the split view's names stay clear of the foot's
    // cover.
    int SplitFoot(int lineHeight) const;

    ShownImage m_shown;
    SharedSet m_set;
    std::size_t m_index = 0;
    QString m_encoding;  // "dxt" or "etc": of the set the image came from

    PixelLook m_look;
    double m_zoom = 1;
    bool m_fit = false;

    bool m_keepPin = false;
    QString m_sourceNote;
    const PreviewDifference* m_difference = nullptr;

    std::optional<QPoint> m_hover;   // the texel under the pointer
    std::optional<QPoint> m_pinned;  // the texel the readout is pinned to

    SplitView m_split;
    QWidget* m_footCover = nullptr;

    std::optional<QRect> m_region;
    std::optional<QPoint> m_regionFrom;  // while Shift+dragging

    QPoint m_pressAt;      // where the left button went down
    QPoint m_pressScroll;  // the scroll position then
    bool m_pressed = false;
    bool m_dragging = false;
};

}  // namespace marrowix
