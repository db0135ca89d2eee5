// The tree's selection and the preview that follows it. A texture chosen
// sets the Dimensions and Offset labels at once; its image is built once the
// events at hand are handled, for the newest selection only, so that a key
// held down over large textures moves the selection at once. A category
// chosen keeps the labels and the preview.
#pragma once

#include <QObject>
#include <cstddef>
#include <optional>

#include "app/features/ViewerParts.h"

class QLabel;

namespace marrowix {

class Comparison;
class Finding;
class Survey;

class Selecting : public QObject {
    Q_OBJECT
public:
    struct Labels {
        QLabel* dimensions = nullptr;
        QLabel* offset = nullptr;
    };
    Selecting(const ViewerParts& parts, Comparison& comparison, Survey& survey,
              const Finding& finding, Labels labels, QObject* parent);

    // The tree's current index changed.
    void OnCurrentChanged();
    // The texture shown made again (another source or mode), keeping the pin
    // and the region.
    void ShowAgain();
    // The texture shown made again at another precision.
    void Rebuild();
    // A preview still to come was of a set no longer loaded.
    void Forget() { m_pending.reset(); }

private:
    void Queue(std::size_t index);
    void ShowPending();

    ViewerParts m_parts;
    Comparison& m_comparison;
    Survey& m_survey;
    const Finding& m_finding;
    Labels m_labels;
    std::optional<std::size_t> m_pending;  // the entry the preview is to show
    bool m_queued = false;
};

}  // namespace marrowix
