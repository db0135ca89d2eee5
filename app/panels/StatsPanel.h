// The statistics panel beside the preview (H): for the texture shown, at the
// precision shown, from the source shown (the other encoding or version
// while E shows it), of the whole texture or of the region chosen: per
// channel range, mean and deviation, the histograms, alpha coverage and the
// encoding's choices (stats/TextureStats.h). Large textures are measured on
// a worker thread; the panel says "measuring..." until the figures arrive.
// It also holds the display's levels: channel, black, white, gamma, Fit and
// Reset.
#pragma once

#include <QFrame>
#include <QRect>
#include <cstddef>
#include <optional>

#include "app/document/BackgroundWork.h"
#include "app/preview/Levels.h"
#include "decode/Decode.h"
#include "stats/TextureStats.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace marrowix {

class HistogramView;

class StatsPanel : public QFrame {
    Q_OBJECT
public:
    explicit StatsPanel(QWidget* parent = nullptr);
    ~StatsPanel() override;

    // Textures of at least this many texels are measured off the dialog's
    // thread.
    static constexpr std::uint64_t kWorkerTexels = std::uint64_t{1} << 20;

    // Measures entry `index` of `set` (null: nothing) at `precision`, of the
    // region's texels or all.
    void Measure(SharedSet set, std::size_t index, Precision precision,
                 std::optional<QRect> region);
    // Figures still being made are no longer wanted.
    void Forget();
    // The figures shown; empty until they arrive.
    std::optional<TextureStats> Figures() const { return m_figures; }
    QString Text() const;
    const QLabel* FiguresLabel() const { return m_figuresText; }

    Levels GetLevels() const;
    void SetLevels(const Levels& levels);

signals:
    // New figures are shown.
    void measured();
    void levelsChanged(const Levels& levels);
    void fitRequested();

private:
    void Show(const Result<TextureStats>& result, bool dxt);

    QLabel* m_title = nullptr;
    HistogramView* m_histogram = nullptr;
    QCheckBox* m_log = nullptr;
    QLabel* m_figuresText = nullptr;
    QComboBox* m_channel = nullptr;
    QSpinBox* m_black = nullptr;
    QSpinBox* m_white = nullptr;
    QDoubleSpinBox* m_gamma = nullptr;
    bool m_settingLevels = false;

    std::optional<TextureStats> m_figures;
    BackgroundWork m_worker{this};
};

}  // namespace marrowix
