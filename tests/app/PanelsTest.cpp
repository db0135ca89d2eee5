// The statistics panel and the levels, through the dialog: the figures of
// what is shown (precision, region, the other encoding), levels that change
// only the display.
#include <QClipboard>
#include <QLabel>
#include <QTreeView>
#include <QtTest>
#include <functional>

#include "app/panels/StatsPanel.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "stats/TextureStats.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

using namespace marrowix;
using namespace marrowix::test;

namespace {

// The colour the viewport shows at texel `texel`'s middle.
QColor Painted(PreviewView& view, QPoint texel) {
    const QImage shot = view.viewport()->grab().toImage();
    const QPoint at = view.ViewportPointOf(texel) + QPoint(1, 1);
    return shot.pixelColor(at * shot.devicePixelRatio());
}

}  // namespace

class PanelsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    // H opens the panel; its figures are those of the texture shown at the
    // precision shown, of the region Shift+drag chose, of the other
    // encoding while E shows it.
    void StatisticsFollowWhatIsShown() {
        TempDir dir;
        ScriptedDialog d;
        const auto listing = WriteExampleSet(dir);
        OpenShown(d, Q(listing));  // "etc"
        SelectEntryAndWait(d, 0);  // road, 4 x 2
        QTest::keyClick(&d, Qt::Key_H);
        QVERIFY(d.Features().statistics->Panel()->isVisible());
        QVERIFY(d.Features().statistics->Panel()->geometry().left() >
                d.Preview()->geometry().right());
        const auto etc = OpenSet(listing, "etc");
        const auto dxt = OpenSet(listing, "dxt");
        PreviewView* view = d.Preview();
        view->ZoomIn();
        view->ZoomIn();
        struct Row {
            const char* what;  // also in the panel's title
            std::function<void()> act;
            const CTextureSet* source;
            Precision precision;
            std::optional<TexelRect> region;
        };
        const Row rows[] = {
            {"etc 4-bit: the whole texture", [] {}, etc.get(), Precision::kNibbles, std::nullopt},
            {"etc 8-bit: the whole texture",
             [&] { d.Features().viewing->SetPrecision(Precision::kFull); }, etc.get(),
             Precision::kFull, std::nullopt},
            {"etc 8-bit: region 1,0, 2 x 2",
             [&] {
                 QWidget* port = view->viewport();
                 QTest::mousePress(port, Qt::LeftButton, Qt::ShiftModifier,
                                   view->ViewportPointOf(QPoint(1, 0)) + QPoint(1, 1));
                 QTest::mouseMove(port, view->ViewportPointOf(QPoint(2, 1)) + QPoint(1, 1));
                 QTest::mouseRelease(port, Qt::LeftButton, Qt::ShiftModifier,
                                     view->ViewportPointOf(QPoint(2, 1)) + QPoint(1, 1));
             },
             etc.get(), Precision::kFull, TexelRect{1, 0, 2, 2}},
            {"dxt 8-bit: region 1,0, 2 x 2", [&] { PressAndWait(d, Qt::Key_E); }, dxt.get(),
             Precision::kFull, TexelRect{1, 0, 2, 2}},
        };
        for (const Row& row : rows) {
            row.act();
            QTRY_VERIFY2(d.Features().statistics->Panel()->Figures() &&
                             d.Features().statistics->Panel()->Text().contains(row.what),
                         qPrintable(d.Features().statistics->Panel()->Text()));
            // Every figure can be read whole in the panel's column.
            const QLabel* figures = d.Features().statistics->Panel()->FiguresLabel();
            for (const QString& line : figures->text().split('\n')) {
                QVERIFY2(figures->fontMetrics().horizontalAdvance(line) <=
                             figures->contentsRect().width(),
                         qPrintable(line));
            }
            const TexelRect* region = row.region ? &*row.region : nullptr;
            const Result<TextureStats> want = ComputeStats(*row.source, 0, row.precision, region);
            for (int c = 0; c < 4; ++c) {
                QVERIFY2(d.Features().statistics->Panel()->Figures()->channels[c].histogram ==
                             want.value.channels[c].histogram,
                         row.what);
            }
        }
        QVERIFY2(Readout(d).contains("region 1,0 to 2,1 (2 x 2)"), qPrintable(Readout(d)));
        // Escape lets go of the region first; the dialog stays.
        QTest::keyClick(&d, Qt::Key_Escape);
        QVERIFY(!view->Region());
        QVERIFY(d.isVisible());
        QTRY_COMPARE(d.Features().statistics->Panel()->Figures()->texels, std::uint64_t{8});
    }

    // Levels map what is painted, not the texture: the image, the readout's
    // values and saves keep the raw values; L fits black and white to the
    // texels in view, Shift+L resets.
    void LevelsChangeOnlyTheDisplay() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));
        SelectEntryAndWait(d, 0);  // road; texel (0, 1) is 0x1234: 17, 34, 51, 68
        PreviewView* view = d.Preview();
        view->ZoomIn();
        view->ZoomIn();
        QTest::keyClick(&d, Qt::Key_H);
        const QRgb raw = view->Image().pixel(0, 1);
        Levels levels;
        levels.black = 17;
        levels.white = 51;
        d.Features().statistics->Panel()->SetLevels(levels);
        emit d.Features().statistics->Panel()->levelsChanged(levels);
        QCOMPARE(Painted(*view, QPoint(0, 1)), QColor(0, 128, 255));
        QCOMPARE(view->Image().pixel(0, 1), raw);
        QVERIFY2(Readout(d).contains("levels 17..51 gamma 1.00"), qPrintable(Readout(d)));
        // Saves and copies take the texture's values, or with "as shown" the
        // levels' image.
        struct Saved {
            bool asShown;
            const char* suggested;
            QRgb pixel;  // (0, 1) of the file and of the clipboard's image
        };
        for (const Saved& row : {Saved{false, "road.png", qRgba(17, 34, 51, 68)},
                                 Saved{true, "road-levels.png", qRgba(0, 128, 255, 68)}}) {
            d.Features().statistics->SetAsShown(row.asShown);
            d.savePath = Q(dir / row.suggested);
            d.Features().saveAndCopy->SaveImage();
            QCOMPARE(d.suggested, QString(row.suggested));
            QCOMPARE(QImage(d.savePath).pixel(0, 1), row.pixel);
            d.Features().saveAndCopy->CopyImage();
            QCOMPARE(QGuiApplication::clipboard()->image().pixel(0, 1), row.pixel);
        }
        // Fit: the lowest and highest of red, green and blue in view.
        QTest::keyClick(&d, Qt::Key_L);
        QCOMPARE(view->GetLevels().black, 0);
        QCOMPARE(view->GetLevels().white, 255);
        QCOMPARE(d.Features().statistics->Panel()->GetLevels(), view->GetLevels());
        QTest::keyClick(&d, Qt::Key_L, Qt::ShiftModifier);
        QVERIFY(view->GetLevels().IsIdentity());
        QVERIFY(!Readout(d).contains("levels"));
    }
};

QTEST_MAIN(PanelsTest)
#include "PanelsTest.moc"
