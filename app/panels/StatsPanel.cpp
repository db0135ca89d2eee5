#include "app/panels/StatsPanel.h"

#include "textureset/SetCheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/panels/HistogramView.h"
#include "app/preview/PreviewView.h"

namespace marrowix {
namespace {

QString Number(std::uint64_t n) {
    return QString::fromStdString(GroupDigits(n));
}

QString FiguresText(const TextureStats& s, bool dxt) {
    if (s.texels == 0) {
        return QStringLiteral("no texels");
    }
    static const char* const kNames[] = {"R", "G", "B", "A"};
    QString text;
    for (int c = 0; c < 4; ++c) {
        const ChannelStats& ch = s.channels[c];
        text += QStringLiteral("%1 %2..%3 mean %4\n  sd %5\n")
                    .arg(QLatin1String(kNames[c]))
                    .arg(ch.min, 3)
                    .arg(ch.max, 3)
                    .arg(ch.mean, 6, 'f', 2)
                    .arg(ch.stddev, 6, 'f', 2);
    }
    // A figure a line: each can be read whole in the panel's narrow column.
    text += QStringLiteral("alpha 0: %1\nalpha 255: %2\nalpha between: %3\n")
                .arg(Number(s.transparent), Number(s.opaque), Number(s.translucent));
    if (dxt) {
        text += QStringLiteral(
                    "blocks: %1\n alpha 8 values: %2\n alpha 6 values: %3\n"
                    " c0 <= c1: %4\n one colour: %5")
                    .arg(Number(s.blocks), Number(s.alphaEight), Number(s.alphaSix),
                         Number(s.threeColourOrder), Number(s.oneColour));
    } else {
        text += QStringLiteral("distinct texels: %1").arg(Number(s.distinct));
    }
    if (s.incomplete) {
        text += QStringLiteral("\ndata past the end of the\ndata file read as 0");
    }
    return text;
}

}  // namespace

StatsPanel::StatsPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    m_title = new QLabel(this);
    m_title->setWordWrap(true);
    layout->addWidget(m_title);
    m_histogram = new HistogramView(this);
    layout->addWidget(m_histogram, 1);
    m_log = new QCheckBox(QStringLiteral("Logarithmic counts"), this);
    m_log->setFocusPolicy(Qt::NoFocus);
    connect(m_log, &QCheckBox::toggled, m_histogram, &HistogramView::SetLogarithmic);
    layout->addWidget(m_log);
    m_figuresText = new QLabel(this);
    m_figuresText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_figuresText->setTextFormat(Qt::PlainText);
    m_figuresText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_figuresText->setWordWrap(true);  // never cut, however narrow the panel
    layout->addWidget(m_figuresText);

    // Levels: for the display only.
    auto* levels = new QGridLayout;
    m_channel = new QComboBox(this);
    m_channel->addItems({QStringLiteral("RGB"), QStringLiteral("R"), QStringLiteral("G"),
                         QStringLiteral("B"), QStringLiteral("A")});
    m_black = new QSpinBox(this);
    m_black->setRange(0, 254);
    m_white = new QSpinBox(this);
    m_white->setRange(1, 255);
    m_white->setValue(255);
    m_gamma = new QDoubleSpinBox(this);
    m_gamma->setRange(0.1, 10);
    m_gamma->setSingleStep(0.1);
    m_gamma->setValue(1);
    auto* fit = new QPushButton(QStringLiteral("Fit"), this);
    auto* reset = new QPushButton(QStringLiteral("Reset"), this);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_channel, m_black, m_white, m_gamma, fit, reset}) {
        w->setFocusPolicy(Qt::ClickFocus);  // the keys stay the dialog's
    }
    levels->addWidget(new QLabel(QStringLiteral("Levels"), this), 0, 0);
    levels->addWidget(m_channel, 0, 1);
    levels->addWidget(fit, 0, 2);
    levels->addWidget(reset, 0, 3);
    levels->addWidget(new QLabel(QStringLiteral("black"), this), 1, 0);
    levels->addWidget(m_black, 1, 1);
    levels->addWidget(new QLabel(QStringLiteral("white"), this), 1, 2);
    levels->addWidget(m_white, 1, 3);
    levels->addWidget(new QLabel(QStringLiteral("gamma"), this), 2, 0);
    levels->addWidget(m_gamma, 2, 1);
    layout->addLayout(levels);
    auto changed = [this] {
        if (!m_settingLevels) {
            emit levelsChanged(GetLevels());
        }
    };
    connect(m_channel, &QComboBox::currentIndexChanged, this, changed);
    connect(m_black, &QSpinBox::valueChanged, this, changed);
    connect(m_white, &QSpinBox::valueChanged, this, changed);
    connect(m_gamma, &QDoubleSpinBox::valueChanged, this, changed);
    connect(fit, &QPushButton::clicked, this, &StatsPanel::fitRequested);
    connect(reset, &QPushButton::clicked, this, [this] {
        Levels identity;
        identity.channel = GetLevels().channel;
        SetLevels(identity);
        emit levelsChanged(identity);
    });
}

StatsPanel::~StatsPanel() = default;

void StatsPanel::Forget() {
    m_worker.Cancel();
}

void StatsPanel::Measure(SharedSet set, std::size_t index, Precision precision,
                         std::optional<QRect> region) {
    m_worker.Cancel();
    m_figures.reset();
    if (set == nullptr || index >= set->Entries().size()) {
        m_title->setText(QStringLiteral("Statistics: no texture"));
        m_histogram->Clear();
        m_figuresText->clear();
        return;
    }
    const StoredEntry& e = set->Entries()[index];
    TexelRect rect;
    if (region) {
        rect = {static_cast<std::uint32_t>(region->x()), static_cast<std::uint32_t>(region->y()),
                static_cast<std::uint32_t>(region->width()),
                static_cast<std::uint32_t>(region->height())};
    }
    m_title->setText(
        QStringLiteral("Statistics, %1 %2: %3")
            .arg(set->GetMode() == kModeDxt ? QStringLiteral("dxt") : QStringLiteral("etc"),
                 PrecisionName(precision),
                 region ? QStringLiteral("region %1,%2, %3 x %4")
                              .arg(region->x())
                              .arg(region->y())
                              .arg(region->width())
                              .arg(region->height())
                        : QStringLiteral("the whole texture")));
    const bool dxt = set->GetMode() == kModeDxt;
    const std::uint64_t texels =
        region ? std::uint64_t(rect.width) * rect.height
               : std::uint64_t(std::max(0, e.width)) * std::uint64_t(std::max(0, e.height));
    if (texels < kWorkerTexels) {
        Show(ComputeStats(*set, index, precision, region ? &rect : nullptr), dxt);
        return;
    }
    m_figuresText->setText(QStringLiteral("measuring..."));
    m_histogram->Clear();
    m_worker.Run([set = std::move(set), index, precision, region,
                  rect] { return ComputeStats(*set, index, precision, region ? &rect : nullptr); },
                 [this, dxt](const Result<TextureStats>& result) { Show(result, dxt); });
}

void StatsPanel::Show(const Result<TextureStats>& result, bool dxt) {
    if (!result.ok()) {
        m_figuresText->setText(QString::fromStdString(result.error));
        m_histogram->Clear();
        return;
    }
    m_figures = result.value;
    std::array<HistogramView::Bins, 4> bins;
    for (int c = 0; c < 4; ++c) {
        bins[c] = result.value.channels[c].histogram;
    }
    m_histogram->SetHistograms(bins);
    m_figuresText->setText(FiguresText(result.value, dxt));
    emit measured();
}

QString StatsPanel::Text() const {
    return m_title->text() + QLatin1Char('\n') + m_figuresText->text();
}

Levels StatsPanel::GetLevels() const {
    Levels l;
    l.channel = m_channel->currentIndex() - 1;
    l.black = m_black->value();
    l.white = std::max(m_white->value(), l.black + 1);
    l.gamma = m_gamma->value();
    return l;
}

void StatsPanel::SetLevels(const Levels& levels) {
    m_settingLevels = true;
    m_channel->setCurrentIndex(levels.channel + 1);
    m_black->setValue(levels.black);
    m_white->setValue(levels.white);
    m_gamma->setValue(levels.gamma);
    m_settingLevels = false;
}

}  // namespace marrowix
