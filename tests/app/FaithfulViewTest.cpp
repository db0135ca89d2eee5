// What the viewer shows and saves is faithful to the data: the precision
// toggle between the preview block's nibbles and the full precision of
// "dxt" blocks, in every view mode, in the readout, saved and copied.
#include <QClipboard>
#include <QLabel>
#include <QProcess>
#include <QTreeView>
#include <QtTest>
#include <cmath>
#include <cstring>

#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

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

// A preview block of `width` x `height` pixels of noise, each nibble n as
// n x 16 as the preview block holds it; pixel (x, y) of the image, top row
// first, through `at`.
struct NoiseImage {
    Buffer<std::uint8_t> dib;
    int width = 0;
    int height = 0;
    QRgb At(int x, int y) const {
        const std::uint8_t* p =
            dib.data() + kDibHeaderSize + (std::size_t(height - 1 - y) * width + x) * 4;
        return qRgba(p[2], p[1], p[0], p[3]);
    }
};

NoiseImage Noise(int width, int height) {
    NoiseImage image{PreviewBlock(width, height), width, height};
    std::uint32_t seed = 12345;
    for (std::size_t i = kDibHeaderSize; i < image.dib.size(); ++i) {
        seed = seed * 1103515245 + 12345;
        image.dib[i] = static_cast<std::uint8_t>((seed >> 16) & 0xF0);
    }
    return image;
}

// What the viewport shows, one pixel of the image per device pixel.
QImage Shown(PreviewView& view) {
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
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
        QVERIFY(Readout(d).startsWith("dxt  RGB 4-bit  100%  |  pinned x 5, y 1  0xA052"));
        QVERIFY(!Readout(d).contains("8-bit R"));

        QTest::keyClick(&d, Qt::Key_Q);
        QCoreApplication::processEvents();
        QCOMPARE(view.GetPrecision(), Precision::kFull);
        QCOMPARE(view.Image().pixel(5, 1), qRgba(170, 0, 85, 36));
        QCOMPARE(view.Pinned(), std::optional<QPoint>(QPoint(5, 1)));  // the pin stays
        QVERIFY2(
            Readout(d).startsWith("dxt  RGB 8-bit  100%  |  pinned x 5, y 1  0xA052 (R 10 G 0 B "
                                  "5 A 2)  8-bit R 170 G 0 B 85 A 36  block 1,0 at 0x18  "
                                  "c0 0xF800 (255 0 0) c1 0x001F (0 0 255)"),
            qPrintable(Readout(d)));

        // At the template's size the longest readout, a "dxt" texel at full
        // precision, shows whole on its two lines; Ctrl+Shift+C copies it.
        auto* readout = qobject_cast<QLabel*>(d.GetDlgItem(IDC_READOUT));
        QVERIFY(readout->fontMetrics().horizontalAdvance(readout->text()) > readout->width());
        QVERIFY(readout->heightForWidth(readout->width()) <= readout->height());
        QTest::keyClick(&d, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), Readout(d));

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
        d.Features().saveAndCopy->SaveImage();
        QCOMPARE(Readout(d), "saved " + d.savePath);
        QProcess inspect;
        inspect.start(MARROWIX_INSPECT_PATH, {"--export", "0", "--output", Q(dir / "cli.png"),
                                              "--depth", "8", Q(listing)});
        QVERIFY(inspect.waitForFinished());
        QCOMPARE(inspect.exitCode(), 0);
        QCOMPARE(ReadBytes(dir / "viewer.png"), ReadBytes(dir / "cli.png"));
        d.savePath = Q(dir / "viewer.bmp");
        d.Features().saveAndCopy->SaveImage();
        inspect.start(MARROWIX_INSPECT_PATH,
                      {"--export", "0", "--output", Q(dir / "cli.bmp"), Q(listing)});
        QVERIFY(inspect.waitForFinished());
        QCOMPARE(ReadBytes(dir / "viewer.bmp"), ReadBytes(dir / "cli.bmp"));
        QVERIFY(d.warnings.isEmpty());
        d.Features().saveAndCopy->CopyImage();
        QCOMPARE(QGuiApplication::clipboard()->image().pixel(5, 1), qRgba(170, 0, 85, 36));
        // Set from code, the key still switches back: the menu entry follows.
        d.Features().viewing->SetPrecision(Precision::kNibbles);
        d.Features().viewing->SetPrecision(Precision::kFull);
        QTest::keyClick(&d, Qt::Key_Q);
        QCOMPARE(view.GetPrecision(), Precision::kNibbles);
    }

    void zoomedOutEachPixelAveragesTheTexelsItCovers() {
        const NoiseImage image = Noise(64, 48);
        PreviewView view;
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.SetTexture(Buffer<std::uint8_t>(image.dib), nullptr, 0);
        for (int k : {2, 4, 8, 16}) {
            view.ZoomOut();
            QCOMPARE(view.Zoom(), 1.0 / k);
            const QImage shown = Shown(view);
            // Device pixel (x, y) covers texels k x to k x + k - 1 across and
            // the same down: their average, channel by channel (levels made
            // by halving round twice or more, so within 1).
            for (int y = 0; y < image.height / k; ++y) {
                for (int x = 0; x < image.width / k; ++x) {
                    int sums[3] = {};
                    for (int ty = y * k; ty < y * k + k; ++ty) {
                        for (int tx = x * k; tx < x * k + k; ++tx) {
                            const QRgb t = image.At(tx, ty);
                            sums[0] += qRed(t);
                            sums[1] += qGreen(t);
                            sums[2] += qBlue(t);
                        }
                    }
                    const QRgb got = shown.pixel(x, y);
                    const int got3[3] = {qRed(got), qGreen(got), qBlue(got)};
                    for (int c = 0; c < 3; ++c) {
                        const double want = double(sums[c]) / (k * k);
                        QVERIFY2(std::abs(got3[c] - want) <= 1.0,
                                 qPrintable(QString("1/%1 at %2, %3: %4 against %5")
                                                .arg(k)
                                                .arg(x)
                                                .arg(y)
                                                .arg(got3[c])
                                                .arg(want)));
                    }
                }
            }
            // The frame follows the image's edge, scaled.
            const int edge = static_cast<int>(std::ceil(image.width / double(k)));
            QCOMPARE(shown.pixel(edge, 0), qRgb(0x40, 0x40, 0x40));
        }
        // Magnified, texels stay crisp squares.
        view.RealSize();
        view.ZoomIn({0, 0});
        const QImage twice = Shown(view);
        QCOMPARE(twice.pixel(0, 0), twice.pixel(1, 1));
        QCOMPARE(twice.pixel(2, 0) | 0xFF000000u, image.At(1, 0) | 0xFF000000u);
    }

    // Run also with QT_SCALE_FACTOR=2: at 100% one texel is one device
    // pixel, whatever the scale, and the pointer finds the texel under it.
    void realSizeIsOneTexelPerDevicePixel() {
        const NoiseImage image = Noise(40, 30);
        PreviewView view;
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.SetTexture(Buffer<std::uint8_t>(image.dib), nullptr, 0);
        const double ratio = view.DevicePixelRatio();
        QCOMPARE(view.Zoom(), 1.0);
        const QImage shown = Shown(view);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                QCOMPARE(shown.pixel(x, y), image.At(x, y) | 0xFF000000u);
            }
        }
        // The frame right after the last texel, in device pixels.
        QCOMPARE(shown.pixel(image.width, 0), qRgb(0x40, 0x40, 0x40));
        // A viewport point (logical) over texel 12, 8.
        const QPoint over(int(12 / ratio), int(8 / ratio));
        QCOMPARE(*view.TexelAt(over), QPoint(int(over.x() * ratio), int(over.y() * ratio)));
        QCOMPARE(view.ViewportPointOf(QPoint(20, 10)), QPoint(int(20 / ratio), int(10 / ratio)));
        // Zoom steps count device pixels too: at 200% a texel is 2 x 2 of them.
        view.ZoomIn({0, 0});
        const QImage twice = Shown(view);
        QCOMPARE(twice.pixel(3, 5), image.At(1, 2) | 0xFF000000u);
        // Fit: the whole image in the view's device pixels.
        view.Fit();
        const QSize room = view.maximumViewportSize() * ratio;
        QVERIFY(view.Zoom() * image.width <= room.width() + 1e-6);
        QVERIFY(view.Zoom() * image.height <= room.height() + 1e-6);
        QVERIFY(std::abs(view.Zoom() * image.height - room.height()) < 1 ||
                std::abs(view.Zoom() * image.width - room.width()) < 1);
        qInfo("device pixel ratio %g", ratio);
    }
};

QTEST_MAIN(FaithfulViewTest)
#include "FaithfulViewTest.moc"
