// What the viewer shows and saves is faithful to the data: the precision
// toggle between the preview block's nibbles and the full precision of
// "dxt" blocks, in every view mode, in the readout, saved and copied.
#include <QClipboard>
#include <QLabel>
#include <QProcess>
#include <QTreeView>
#include <QtTest>

#include "TestFiles.h"
#include "ViewerTestSupport.h"
#include "app/PreviewView.h"
#include "app/resources/Resource.h"

using namespace marrowix;
using namespace marrowix::test;

namespace {

// One "dxt" texture of 8 x 4 texels: its first block all 0, its second red
// to blue with falling alpha, where full precision and nibbles differ.
std::filesystem::path GradientSet(const TempDir& dir) {
    WriteText(dir / "grad.txt", "\"grad\" width=8 height=4\n");
    WriteBytes(dir / "grad.dxt.toc", Le32({0}));
    std::vector<std::uint8_t> data(8 + 16, 0);
    const std::vector<std::uint8_t> block = {255,  0,    0x00, 0x80, 0x03, 0,    0, 0,
                                             0x00, 0xF8, 0x1F, 0x00, 0x00, 0x08, 0, 0};
    data.insert(data.end(), block.begin(), block.end());
    WriteBytes(dir / "grad.dxt.dat", data);
    return dir / "grad.txt";
}

QString Readout(const CMarrowix& d) {
    return qobject_cast<QLabel*>(d.GetDlgItem(IDC_READOUT))->text();
}

// A dialog whose save dialog is answered by the test.
class SavingDialog : public ScriptedDialog {
public:
    QString savePath;

protected:
    QString PromptSavePath(const QString&) override { return savePath; }
};

}  // namespace

class FaithfulViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    void precisionTogglesBetweenNibblesAndTheBlocksOwnValues() {
        TempDir dir;
        const auto listing = GradientSet(dir);
        SavingDialog d;
        d.LoadTextureSet(Q(listing), kModeDxt);
        Show(d);
        d.m_pTree->setCurrentIndex(d.TreeModel()->index(0, 0));
        QCoreApplication::processEvents();
        PreviewView& view = *d.Preview();
        QCOMPARE(view.GetPrecision(), Precision::kNibbles);
        // The preview block: nibble n as n x 16.
        QCOMPARE(view.Image().pixel(5, 1), qRgba(0xA0, 0, 0x50, 0x20));
        view.Pin(QPoint(5, 1));
        QVERIFY(Readout(d).startsWith("RGB 4-bit  100%  |  pinned x 5, y 1  0xA052"));
        QVERIFY(!Readout(d).contains("8-bit R"));

        QTest::keyClick(&d, Qt::Key_Q);
        QCoreApplication::processEvents();
        QCOMPARE(view.GetPrecision(), Precision::kFull);
        QCOMPARE(view.Image().pixel(5, 1), qRgba(170, 0, 85, 36));
        QCOMPARE(view.Pinned(), std::optional<QPoint>(QPoint(5, 1)));  // the pin stays
        QVERIFY2(Readout(d).startsWith("RGB 8-bit  100%  |  pinned x 5, y 1  0xA052 (R 10 G 0 B "
                                       "5 A 2)  8-bit R 170 G 0 B 85 A 36  block 1,0 at 0x18  "
                                       "c0 0xF800 (255 0 0) c1 0x001F (0 0 255)"),
                 qPrintable(Readout(d)));

        // Every view mode reads the 8-bit values as they are.
        const std::pair<int, QRgb> modes[] = {{Qt::Key_1, qRgb(170, 0, 85)},
                                              {Qt::Key_3, qRgb(170, 170, 170)},
                                              {Qt::Key_5, qRgb(85, 85, 85)},
                                              {Qt::Key_6, qRgb(36, 36, 36)}};
        view.Unpin();
        for (const auto& [key, expected] : modes) {
            QTest::keyClick(&d, static_cast<Qt::Key>(key));
            const QImage shown =
                view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(shown.pixel(5, 1), expected);
        }
        QTest::keyClick(&d, Qt::Key_3);  // red alone, back at 4 bits: nibble 10 as 0xAA
        QTest::keyClick(&d, Qt::Key_Q);
        QCoreApplication::processEvents();
        QCOMPARE(view.viewport()->grab().toImage().pixel(5, 1), qRgb(0xAA, 0xAA, 0xAA));
        QTest::keyClick(&d, Qt::Key_Q);
        QCoreApplication::processEvents();

        // Saved and copied as shown: PNG at full precision, as
        // marrowix-inspect --depth 8 writes it; BMP the preview block.
        d.savePath = Q(dir / "viewer.png");
        d.SaveImage();
        QProcess inspect;
        inspect.start(MARROWIX_INSPECT_PATH, {"--export", "0", "--output", Q(dir / "cli.png"),
                                              "--depth", "8", Q(listing)});
        QVERIFY(inspect.waitForFinished());
        QCOMPARE(inspect.exitCode(), 0);
        QCOMPARE(ReadBytes(dir / "viewer.png"), ReadBytes(dir / "cli.png"));
        d.savePath = Q(dir / "viewer.bmp");
        d.SaveImage();
        inspect.start(MARROWIX_INSPECT_PATH,
                      {"--export", "0", "--output", Q(dir / "cli.bmp"), Q(listing)});
        QVERIFY(inspect.waitForFinished());
        QCOMPARE(ReadBytes(dir / "viewer.bmp"), ReadBytes(dir / "cli.bmp"));
        QVERIFY(d.warnings.isEmpty());
        d.CopyImage();
        QCOMPARE(QGuiApplication::clipboard()->image().pixel(5, 1), qRgba(170, 0, 85, 36));
    }
};

QTEST_MAIN(FaithfulViewTest)
#include "FaithfulViewTest.moc"
