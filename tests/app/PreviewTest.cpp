// The preview as an instrument, headless: dialog units from the real font,
// the scrolling view, zoom and fit, channel modes, the readout of the texel
// under the pointer, saving and copying the image.
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

#include "app/DialogBuilder.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "app/tree/TextureTreeModel.h"
#include "decode/Decode.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"
#include "textureset/PreviewImage.h"

using namespace marrowix;
using namespace marrowix::test;

namespace {

// A dialog whose save dialog is answered by the test.
class SavingDialog : public ScriptedDialog {
public:
    QString savePath;
    QString suggested;

protected:
    QString PromptSavePath(const QString& suggestedName) override {
        suggested = suggestedName;
        return savePath;
    }
};

// Selects a node and lets the preview that follows be built.
void SelectEntry(CMarrowix& d, int category, int child) {
    const QModelIndex top = d.TreeModel()->index(category, 0);
    d.m_pTree->setCurrentIndex(child < 0 ? top : d.TreeModel()->index(child, 0, top));
    QCoreApplication::processEvents();
}

// What the viewport shows, as an image of its own size.
QImage Shown(PreviewView& view) {
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void Wheel(PreviewView& view, QPoint at, int delta) {
    QWheelEvent event(QPointF(at), QPointF(view.viewport()->mapToGlobal(at)), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(view.viewport(), &event);
}

// One texture of the given size in "etc", with no data file: black and
// transparent.
std::filesystem::path LargeSet(const TempDir& dir, int width, int height) {
    WriteText(dir / "large.txt", "cat=0 name=big\n\"large\" width=" + std::to_string(width) +
                                     " height=" + std::to_string(height) +
                                     "\n\"small\" width=64 height=32\n");
    WriteBytes(dir / "large.etc.toc", Le32({0, 0, 0}));
    return dir / "large.txt";
}

std::vector<std::uint8_t> FileBytes(const QString& path) {
    return ReadBytes(std::filesystem::path(path.toStdString()));
}

}  // namespace

class PreviewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    void dialogUnitsComeFromTheFontAndEveryTextFits() {
        ScriptedDialog d;
        const QFontMetrics metrics(d.font());
        const int letters =
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const DialogUnits units = DialogUnits::For(d);
        QCOMPARE(units.baseX, (letters / 26 + 1) / 2);
        QCOMPARE(units.baseY, metrics.height());
        QCOMPARE(d.size(), QSize(units.X(526), units.Y(338)));
        QCOMPARE(d.GetDlgItem(IDC_TREE)->geometry(), units.Map(7, 7, 134, 324));

        auto* dimensions = qobject_cast<QLabel*>(d.GetDlgItem(IDC_DIMENSIONS));
        auto* offset = qobject_cast<QLabel*>(d.GetDlgItem(IDC_OFFSET));
        QVERIFY(metrics.horizontalAdvance("Dimensions: 16383 x 16385") <=
                dimensions->contentsRect().width());
        QVERIFY(metrics.horizontalAdvance("Offset: 0xFFFFFFFF") <= offset->contentsRect().width());
        QVERIFY(metrics.height() <= dimensions->height());
        auto* browse = qobject_cast<QPushButton*>(d.GetDlgItem(IDC_BROWSE));
        QVERIFY(browse->sizeHint().width() <= browse->width());
        auto* box = qobject_cast<QGroupBox*>(d.GetDlgItem(IDC_STATIC));
        QVERIFY(metrics.horizontalAdvance("Some info") < box->width());
    }

    void theDefaultViewIsTheRealSizeImageAtTheTemplateCorner() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));
        SelectEntry(d, 0, 0);  // road, 4 x 2
        const auto dib = BuildPreviewDib(*d.m_pTextureSet, 0);
        const QImage expected = ImageOfDib(dib.value);
        const QPoint corner = DialogUnits::For(d).Map(149, 53, 15, 13).topLeft();
        const QImage dialog = d.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(dialog.copy(QRect(corner, expected.size())), expected);
        // Beside the image a dark line, then mid grey: neither the dialog's
        // background nor white, so a light texture's edge shows.
        QCOMPARE(dialog.pixel(corner + QPoint(4, 0)), qRgb(0x40, 0x40, 0x40));
        QCOMPARE(dialog.pixel(corner + QPoint(1, 2)), qRgb(0x40, 0x40, 0x40));
        QCOMPARE(dialog.pixel(corner + QPoint(5, 3)), qRgb(0x80, 0x80, 0x80));
        QCOMPARE(d.Preview()->pos(), corner);
        QCOMPARE(d.Preview()->Zoom(), 1.0);
    }

    void aLargeTextureScrollsAndTheViewFollowsTheFrame() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(LargeSet(dir, 2048, 2048)));
        SelectEntry(d, 0, 0);
        PreviewView& view = *d.Preview();
        const DialogUnits units = DialogUnits::For(d);
        QCOMPARE(view.geometry().right(), d.width() - units.X(7) - 1);
        QCOMPARE(d.GetDlgItem(IDC_READOUT)->geometry().bottom(), d.height() - units.Y(7) - 1);
        QCOMPARE(view.horizontalScrollBar()->maximum(), 2048 - view.viewport()->width());
        QCOMPARE(view.verticalScrollBar()->maximum(), 2048 - view.viewport()->height());

        // Dragging with the left button pans, and pins nothing.
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(view.viewport(), QPoint(70, 80));
        QTest::mouseMove(view.viewport(), QPoint(50, 60));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(50, 60));
        QCOMPARE(view.horizontalScrollBar()->value(), 50);
        QCOMPARE(view.verticalScrollBar()->value(), 40);
        QVERIFY(!view.Pinned());
        QCOMPARE(view.TexelAt(QPoint(10, 10)), std::optional<QPoint>(QPoint(60, 50)));

        const QSize before = view.size();
        d.resize(d.size() + QSize(100, 50));
        QCOMPARE(view.size(), before + QSize(100, 50));
        QCOMPARE(view.pos(), units.Map(149, 53, 15, 13).topLeft());
        // Beyond the template the tree grows down, the path box and the group
        // box to the right, Browse keeps to the right margin; the labels stay.
        QCOMPARE(d.GetDlgItem(IDC_TREE)->geometry(),
                 units.Map(7, 7, 134, 324).adjusted(0, 0, 0, 50));
        QCOMPARE(d.GetDlgItem(IDC_PATH)->geometry(),
                 units.Map(147, 7, 311, 14).adjusted(0, 0, 100, 0));
        QCOMPARE(d.GetDlgItem(IDC_BROWSE)->geometry(),
                 units.Map(469, 7, 50, 14).translated(100, 0));
        QCOMPARE(d.GetDlgItem(IDC_STATIC)->geometry(),
                 units.Map(148, 24, 368, 24).adjusted(0, 0, 100, 0));
        QCOMPARE(d.GetDlgItem(IDC_OFFSET)->geometry(), units.Map(156, 34, 96, 8));
        // Back at the template's size, everything is where the template puts
        // it; smaller it does not go.
        const QSize templateSize(units.X(526), units.Y(338));
        d.resize(templateSize);
        QCOMPARE(d.GetDlgItem(IDC_TREE)->geometry(), units.Map(7, 7, 134, 324));
        QCOMPARE(d.GetDlgItem(IDC_BROWSE)->geometry(), units.Map(469, 7, 50, 14));
        QCOMPARE(d.GetDlgItem(IDC_PATH)->geometry(), units.Map(147, 7, 311, 14));
        d.resize(520, 380);
        QCOMPARE(d.size(), templateSize.expandedTo(QSize(520, 380)));
        QCOMPARE(d.minimumSize(), templateSize);
    }

    void zoomStepsAboutThePointerWithinTheirBounds() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(LargeSet(dir, 2048, 2048)));
        SelectEntry(d, 0, 0);
        PreviewView& view = *d.Preview();
        const QPoint at(101, 77);
        QCOMPARE(view.TexelAt(at), std::optional<QPoint>(QPoint(101, 77)));
        Wheel(view, at, 120);
        QCOMPARE(view.Zoom(), 2.0);
        QCOMPARE(view.TexelAt(at), std::optional<QPoint>(QPoint(101, 77)));
        Wheel(view, at, 120);
        QCOMPARE(view.Zoom(), 4.0);
        QCOMPARE(view.TexelAt(at), std::optional<QPoint>(QPoint(101, 77)));
        Wheel(view, at, -120);
        QCOMPARE(view.Zoom(), 2.0);

        QTest::keyClick(&d, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(view.Zoom(), 4.0);
        QTest::keyClick(&d, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(view.Zoom(), 2.0);
        QTest::keyClick(&d, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view.Zoom(), 1.0);
        QCOMPARE(view.horizontalScrollBar()->value(), 0);
        for (int i = 0; i < 10; ++i) {
            view.ZoomIn();
        }
        QCOMPARE(view.Zoom(), 32.0);
        for (int i = 0; i < 20; ++i) {
            view.ZoomOut();
        }
        QCOMPARE(view.Zoom(), 1.0 / 16);

        // Magnified texels are crisp squares: at 32 the first 32 pixels are
        // texel 0, the next texel 1.
        TempDir other;
        ScriptedDialog e;
        e.paths << Q(WriteExampleSet(other));
        e.answerYes = false;
        e.OnBrowse();
        Show(e);
        SelectEntry(e, 0, 0);  // road
        for (int i = 0; i < 5; ++i) {
            e.Preview()->ZoomIn(QPoint(0, 0));
        }
        const QImage shown = Shown(*e.Preview());
        QCOMPARE(shown.pixel(0, 0), qRgb(240, 0, 0));
        QCOMPARE(shown.pixel(31, 31), qRgb(240, 0, 0));
        QCOMPARE(shown.pixel(32, 0), qRgb(0, 240, 0));
        QCOMPARE(shown.pixel(0, 32), qRgb(0x10, 0x20, 0x30));
        // The zoom stays for the next selection.
        SelectEntry(e, 1, 0);
        QCOMPARE(e.Preview()->Zoom(), 32.0);
    }

    void aVeryWideTextureZoomsWithinWhatScrollBarsHold() {
        // The most texels an entry may have, in one row: at 32 times it
        // would be 8.6 billion pixels across. Its block is never touched but
        // for the header and the pixels painted.
        const int width = 268435455;
        auto wide = [&] { return PreviewBlock(width, 1); };
        PreviewView view;
        view.resize(400, 300);
        view.show();
        for (int i = 0; i < 5; ++i) {
            view.ZoomIn();
        }
        QCOMPARE(view.Zoom(), 32.0);
        // Selected at every zoom step, out and in again.
        for (int step = 0; step < 20; ++step) {
            view.SetTexture(wide(), nullptr, 0);
            QScrollBar& bar = *view.horizontalScrollBar();
            QVERIFY(bar.maximum() > 0);
            // Every texel can be reached: the last one shows at the far end.
            bar.setValue(bar.maximum());
            const QPoint end(view.viewport()->width() - 1, 0);
            // Zoomed out, one pixel shows several texels; TexelAt names the first.
            const int perPixel = std::max(1, static_cast<int>(1 / view.Zoom()));
            const int last = view.TexelAt(end)->x();
            QVERIFY2(last <= width - 1 && last >= width - perPixel,
                     qPrintable(QString::number(last)));
            QVERIFY(!Shown(view).isNull());
            if (step < 10) {
                view.ZoomOut();
            } else {
                view.ZoomIn(end);
            }
        }
        QVERIFY(view.Zoom() <= 4.0);
        // The next texture of ordinary size zooms in as far as ever.
        view.SetTexture(PreviewBlock(4, 1), nullptr, 0);
        for (int i = 0; i < 10; ++i) {
            view.ZoomIn();
        }
        QCOMPARE(view.Zoom(), 32.0);
    }

    void fitFollowsResizeAndSelection() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(LargeSet(dir, 2048, 1024)));
        SelectEntry(d, 0, 0);
        PreviewView& view = *d.Preview();
        QTest::keyClick(&d, Qt::Key_F);
        QVERIFY(view.Fitting());
        auto fits = [&](QSize image) {
            const QSize room = view.maximumViewportSize();
            return std::min(double(room.width()) / image.width(),
                            double(room.height()) / image.height());
        };
        QCOMPARE(view.Zoom(), fits({2048, 1024}));
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
        QCOMPARE(view.verticalScrollBar()->maximum(), 0);
        d.resize(d.size() + QSize(300, 200));
        QCOMPARE(view.Zoom(), fits({2048, 1024}));
        SelectEntry(d, 0, 1);  // small, 64 x 32
        QVERIFY(view.Fitting());
        QCOMPARE(view.Zoom(), fits({64, 32}));
        view.ZoomIn();  // from a fit, the next power of two
        QVERIFY(!view.Fitting());
        QCOMPARE(view.Zoom(), std::exp2(std::floor(std::log2(fits({64, 32}))) + 1));
    }

    void channelModesShowTheirChannel() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));
        SelectEntry(d, 0, 0);  // road: F00F 0F0F 00FF FFF0 / 1234 5678 9ABC DEF1
        PreviewView& view = *d.Preview();
        struct Expected {
            Qt::Key key;
            ViewMode mode;
            QRgb at00;  // texel 0xF00F
            QRgb at01;  // texel 0x1234, alpha 4 of 15
        };
        const Expected modes[] = {
            {Qt::Key_1, ViewMode::kRgb, qRgb(240, 0, 0), qRgb(0x10, 0x20, 0x30)},
            // Over the light checker square (192): alpha 0x44 of 255.
            {Qt::Key_2, ViewMode::kRgba, qRgb(240, 0, 0), qRgb(145, 149, 154)},
            {Qt::Key_3, ViewMode::kRed, qRgb(255, 255, 255), qRgb(17, 17, 17)},
            {Qt::Key_4, ViewMode::kGreen, qRgb(0, 0, 0), qRgb(34, 34, 34)},
            {Qt::Key_5, ViewMode::kBlue, qRgb(0, 0, 0), qRgb(51, 51, 51)},
            {Qt::Key_6, ViewMode::kAlpha, qRgb(255, 255, 255), qRgb(68, 68, 68)},
        };
        for (const Expected& e : modes) {
            QTest::keyClick(&d, e.key);
            QCOMPARE(view.Mode(), e.mode);
            const QImage shown = Shown(view);
            QCOMPARE(shown.pixel(0, 0), e.at00);
            QCOMPARE(shown.pixel(0, 1), e.at01);
            QVERIFY(Readout(d).startsWith("etc  " + ViewModeName(e.mode) + " 4-bit  100%"));
        }
        // The checkerboard shows under a fully transparent texel, in squares.
        QTest::keyClick(&d, Qt::Key_2);
        view.RealSize();
        for (int i = 0; i < 4; ++i) {
            view.ZoomIn(QPoint(0, 0));  // to 16: a texel covers two squares across
        }
        const QImage shown = Shown(view);
        const QPoint transparent(3 * 16, 0);  // texel 0xFFF0, alpha 0
        QCOMPARE(shown.pixel(transparent), qRgb(0xC0, 0xC0, 0xC0));
        QCOMPARE(shown.pixel(transparent + QPoint(8, 0)), qRgb(0x80, 0x80, 0x80));
        // The mode stays for the next selection.
        SelectEntry(d, 1, 0);
        QCOMPARE(view.Mode(), ViewMode::kRgba);
    }

    void theReadoutTellsWhereTheTexelComesFrom() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));
        d.paths << Q(dir / "world.txt");  // for the second Browse, in "dxt"
        PreviewView& view = *d.Preview();
        QCOMPARE(Readout(d), QString("RGB 4-bit  100%"));
        SelectEntry(d, 0, 0);  // road at 420: texel (1, 0) at 420 + 8 + 2
        QTest::mouseMove(view.viewport(), QPoint(1, 0));
        QCOMPARE(
            Readout(d),
            QString("etc  RGB 4-bit  100%  |  x 1, y 0  0x0F0F (R 0 G 15 B 0 A 15)  at 0x1AE"));
        QTest::mouseMove(view.viewport(), QPoint(3, 1));
        QCOMPARE(
            Readout(d),
            QString("etc  RGB 4-bit  100%  |  x 3, y 1  0xDEF1 (R 13 G 14 B 15 A 1)  at 0x1BA"));
        QTest::mouseMove(view.viewport(), QPoint(40, 40));  // beside the image
        QCOMPARE(Readout(d), QString("etc  RGB 4-bit  100%"));

        // Pinned by a click: the pointer moves on, the readout stays.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(2, 0));
        QTest::mouseMove(view.viewport(), QPoint(0, 1));
        QVERIFY(Readout(d).startsWith("etc  RGB 4-bit  100%  |  pinned x 2, y 0  0x00FF"));
        QCOMPARE(Shown(view).pixel(1, 0), qRgb(255, 255, 0));  // the marker beside it
        // Escape lets go of the pin first, then ends the dialog.
        QTest::keyClick(d.m_pTree, Qt::Key_Escape);
        QVERIFY(d.isVisible());
        QVERIFY(!view.Pinned());
        QVERIFY(Readout(d).startsWith("etc  RGB 4-bit  100%  |  x 0, y 1"));
        // A click beside the image unpins too.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(1, 1));
        QVERIFY(view.Pinned());
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(50, 50));
        QVERIFY(!view.Pinned());

        // "dxt": the block, its end points and this texel's indices.
        d.answerYes = true;
        d.OnBrowse();
        SelectEntry(d, 0, 0);  // road at 16, one white opaque block
        QTest::mouseMove(view.viewport(), QPoint(2, 1));
        QCOMPARE(Readout(d),
                 QString("dxt  RGB 4-bit  100%  |  x 2, y 1  0xFFFF (R 15 G 15 B 15 A 15)  "
                         "block 0,0 at 0x18  c0 0xFFFF c1 0x0000  a0 255 a1 255  "
                         "colour 0 alpha 0"));
        // A data file that ends inside one block and before another.
        TempDir cut;
        WriteText(cut / "cut.txt", "\"part\" width=4 height=4\n\"gone\" width=4 height=4\n");
        WriteBytes(cut / "cut.dxt.toc", Le32({30, 100}));
        WriteBytes(cut / "cut.dxt.dat", std::vector<std::uint8_t>(50, 0));
        d.paths << Q(cut / "cut.txt");
        d.OnBrowse();
        SelectEntry(d, 0, -1);
        QTest::mouseMove(view.viewport(), QPoint(1, 1));
        QVERIFY(
            Readout(d).endsWith("block 0,0 at 0x26  c0 0x0000 c1 0x0000  a0 0 a1 0  colour 0 "
                                "alpha 0, partly beyond the end of the data file"));
        SelectEntry(d, 1, -1);
        QTest::mouseMove(view.viewport(), QPoint(2, 3));  // (0, 0) would mean the centre
        QCOMPARE(Readout(d),
                 QString("dxt  RGB 4-bit  100%  |  x 2, y 3  0x0000 (R 0 G 0 B 0 A 0)  block 0,0 "
                         "at 0x6C, beyond the end of the data file"));
    }

    void saveAndCopyTheImage() {
        TempDir dir;
        SavingDialog d;
        const auto listing = WriteExampleSet(dir);
        OpenShown(d, Q(listing));
        SelectEntry(d, 0, 0);  // road, entry 0

        auto inspect = [&](const QString& output) {
            QProcess process;
            process.start(MARROWIX_INSPECT_PATH,
                          {"--mode", "etc", "--export", "0", "--output", output, Q(listing)});
            QVERIFY(process.waitForFinished());
            QCOMPARE(process.exitCode(), 0);
        };
        // The file the command-line tool writes, byte for byte: DDS too.
        for (const QString format : {"png", "bmp", "dds"}) {
            d.savePath = Q(dir / ("viewer." + format.toStdString()));
            QTest::keyClick(&d, Qt::Key_S, Qt::ControlModifier);
            QCOMPARE(d.suggested, QString("road.png"));
            const QString reference = Q(dir / ("inspect." + format.toStdString()));
            inspect(reference);
            QCOMPARE(FileBytes(d.savePath), FileBytes(reference));
        }
        QVERIFY(d.warnings.isEmpty());

        // The set's own files are refused, and stay as they were.
        const auto before = ReadBytes(dir / "world.etc.dat");
        QFile::link(Q(dir / "world.etc.dat"), Q(dir / "link.png"));
        d.savePath = Q(dir / "link.png");
        d.Features().saveAndCopy->SaveImage();
        QCOMPARE(d.warnings.size(), 1);
        QVERIFY(d.warnings[0].contains(Q(dir / "link.png")));
        QVERIFY(d.warnings[0].contains("the set's own data file"));
        QCOMPARE(ReadBytes(dir / "world.etc.dat"), before);
        d.savePath = Q(dir / "no" / "such" / "folder.png");
        d.Features().saveAndCopy->SaveImage();
        QCOMPARE(d.warnings.size(), 2);
        QVERIFY(d.warnings[1].contains("folder.png"));

        QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier);
        const QImage copied = QGuiApplication::clipboard()->image();
        QVERIFY(copied.hasAlphaChannel());
        // The preview's image with each nibble widened exactly, as in PNG
        // files: opaque stays 255.
        const QImage shown = d.Preview()->Image();
        const QImage argb = copied.convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(argb.size(), shown.size());
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb p = shown.pixel(x, y);
                QCOMPARE(argb.pixel(x, y),
                         qRgba(qRed(p) | qRed(p) >> 4, qGreen(p) | qGreen(p) >> 4,
                               qBlue(p) | qBlue(p) >> 4, qAlpha(p) | qAlpha(p) >> 4));
            }
        }
        QCOMPARE(qAlpha(copied.pixel(0, 1)), 0x44);           // texel 0x1234
        QCOMPARE(copied.pixel(0, 0), qRgba(255, 0, 0, 255));  // texel 0xF00F
    }
};

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
