// Comparison in the viewer: E flips the preview between the loaded set and
// the other one (the other encoding beside the listing, or the version given
// by --compare-with); S splits the view between the two; the view mode 7
// shows the difference of their 8-bit images, D stepping its scale (x1, x4,
// x16) or, once T has turned it on, the threshold (1 to 32) over which
// texels show red. The two images of a difference are decoded once and
// measured off the dialog's thread.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

#include "app/document/BackgroundWork.h"
#include "app/document/SetDocument.h"
#include "app/preview/PreviewView.h"

namespace marrowix {

class Comparison : public QObject {
    Q_OBJECT
public:
    Comparison(SetDocument& document, PreviewView& preview, QObject* parent);

    bool ShowingOther() const { return m_showingOther; }
    bool Splitting() const { return m_split; }
    int DifferenceThreshold() const { return m_difference.threshold; }
    int DifferenceScale() const { return m_difference.scale; }
    // The view mode before the difference view.
    ViewMode PlainMode() const { return m_plainMode; }
    // Whether the preview shows a difference image now.
    bool ShowsDifference() const;
    // What a saved difference image's name says of it: "-diff-x4",
    // "-diff-over-8".
    QString DifferenceSuffix() const;

    // E, S, 7, D and T. Each returns whether the preview's image is to be
    // made again; where there is no other set, the preview says why, headed
    // by the key.
    bool Flip();
    bool ToggleSplit();
    bool EnterDifference(ViewMode before);
    bool StepDifferenceScale();
    bool ToggleDifferenceThreshold();
    // After a reload: the flip stays where there is still something to flip
    // to.
    void KeepFlip(bool flipped);

    // The image the preview is to show of entry `index` at its precision:
    // from the loaded set, the other one, or their difference; `source` says
    // which set and entry it came from.
    Result<Buffer<std::uint8_t>> ImageOf(std::size_t index, SetDocument::Source* source);
    // The split view's other image for entry `index`, when S has it on.
    void UpdateSplit(std::size_t index);

private:
    void OnOtherForgotten();
    // Lets go of the difference's two images, the worker measuring them
    // first.
    void ForgetDifferenceImages();
    // The difference image of entry `index` and its counterpart `other`, or
    // an empty result with `note` saying why there is none.
    std::optional<Result<Buffer<std::uint8_t>>> DifferenceOf(std::size_t index, std::size_t other,
                                                             QString* note);

    SetDocument& m_document;
    PreviewView& m_preview;
    bool m_showingOther = false;
    bool m_split = false;
    ViewMode m_plainMode = ViewMode::kRgb;
    PreviewDifference m_difference;
    int m_lastThreshold = 4;  // what T turns the threshold on at
    // The difference's two images, what they are the images of (so that D
    // and T reuse them), and their measures ("" until they arrive).
    Buffer<std::uint8_t> m_first;
    Buffer<std::uint8_t> m_second;
    struct Pair {
        const CTextureSet* first;
        std::size_t firstIndex;
        const CTextureSet* second;
        std::size_t secondIndex;
        bool operator==(const Pair&) const = default;
    };
    std::optional<Pair> m_pair;
    QString m_measures;
    QString m_thresholdText;  // "; N texels differ by more than T", or ""
    BackgroundWork m_measure{this};
};

}  // namespace marrowix
