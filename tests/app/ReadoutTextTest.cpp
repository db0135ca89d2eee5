// The readout's wording, made from facts alone: one row per state or texel.
#include <QtTest>

#include "app/preview/ReadoutText.h"
#include "textureset/TexelAccess.h"

using namespace marrowix;

Q_DECLARE_METATYPE(marrowix::ViewFacts)
Q_DECLARE_METATYPE(marrowix::TexelFacts)

namespace {

PreviewDifference Difference(int scale, int threshold, const char* summary) {
    PreviewDifference d;
    d.scale = scale;
    d.threshold = threshold;
    d.summary = QString::fromLatin1(summary);
    return d;
}

const PreviewDifference kScaled = Difference(4, 0, "PSNR 40.00 dB");
const PreviewDifference kOver = Difference(1, 8, "");

TexelLocation Block(std::size_t bytes) {
    TexelLocation at;
    at.texel = 0xF00F;
    at.full = 0xFFFF0000u;
    at.offset = 0x1230;
    at.size = 16;
    at.bytes.assign(bytes, 0);
    at.hasBlock = true;
    at.blockColumn = 2;
    at.blockRow = 1;
    at.alpha0 = 255;
    at.alpha1 = 0;
    at.colour0 = 0xF800;
    at.colour1 = 0x001F;
    at.colourIndex = 3;
    at.alphaIndex = 7;
    return at;
}

}  // namespace

class ReadoutTextTest : public QObject {
    Q_OBJECT
private slots:
    void viewState_data() {
        QTest::addColumn<ViewFacts>("facts");
        QTest::addColumn<QString>("text");
        Levels levels;
        levels.channel = 3;
        levels.black = 10;
        levels.white = 200;
        levels.gamma = 2.2;
        QTest::newRow("before any texture") << ViewFacts{} << "RGB 4-bit  100%";
        QTest::newRow("fit, 8-bit, a note") << ViewFacts{"dxt",
                                                         ViewMode::kAlpha,
                                                         Precision::kFull,
                                                         nullptr,
                                                         true,
                                                         0.5,
                                                         "E: the other set",
                                                         {},
                                                         {}}
                                            << "dxt  A 8-bit  fit 50%  (E: the other set)";
        QTest::newRow("levels of one channel and a region")
            << ViewFacts{"etc", ViewMode::kRgb, Precision::kNibbles, nullptr, false, 2,
                         {},    levels,         QRect(1, 2, 3, 4)}
            << "etc  RGB 4-bit  200%  levels A 10..200 gamma 2.20  region 1,2 to 3,5 (3 x 4)";
        QTest::newRow("difference scaled, its summary, no levels")
            << ViewFacts{"dxt",
                         ViewMode::kDifference,
                         Precision::kNibbles,
                         &kScaled,
                         false,
                         1,
                         "dxt against etc",
                         levels,
                         {}}
            << "dxt  DIFF x4 8-bit  100%  (dxt against etc)  PSNR 40.00 dB";
        QTest::newRow("difference over a threshold")
            << ViewFacts{"dxt", ViewMode::kDifference, Precision::kFull, &kOver, false, 1, {}, {},
                         {}}
            << "dxt  DIFF over 8 8-bit  100%";
        QTest::newRow("difference mode without images") << ViewFacts{"etc",
                                                                     ViewMode::kDifference,
                                                                     Precision::kNibbles,
                                                                     nullptr,
                                                                     false,
                                                                     1,
                                                                     {},
                                                                     {},
                                                                     {}}
                                                        << "etc  DIFF 4-bit  100%";
    }
    void viewState() {
        QFETCH(ViewFacts, facts);
        QFETCH(QString, text);
        QCOMPARE(ViewReadout(facts), text);
    }

    void texel_data() {
        QTest::addColumn<TexelFacts>("facts");
        QTest::addColumn<QString>("text");
        TexelLocation etc;
        etc.texel = 0x1234;
        etc.full = 0x44112233u;
        etc.offset = 0x2A;
        etc.size = 2;
        etc.bytes = {0x34, 0x12};
        QTest::newRow("no source: the value shown")
            << TexelFacts{{3, 4}, 0xF0F0, 0, Precision::kNibbles, {}}
            << "x 3, y 4  0xF0F0 (R 15 G 0 B 15 A 0)";
        QTest::newRow("no source at 8-bit")
            << TexelFacts{{0, 0}, 0x0000, 0x80FF0102u, Precision::kFull, {}}
            << "x 0, y 0  0x0000 (R 0 G 0 B 0 A 0)  8-bit R 255 G 1 B 2 A 128";
        QTest::newRow("an etc texel: its value and offset")
            << TexelFacts{{1, 1}, 0, 0, Precision::kNibbles, etc}
            << "x 1, y 1  0x1234 (R 1 G 2 B 3 A 4)  at 0x2A";
        QTest::newRow("a dxt block's fields")
            << TexelFacts{{9, 5}, 0, 0, Precision::kNibbles, Block(16)}
            << "x 9, y 5  0xF00F (R 15 G 0 B 0 A 15)  block 2,1 at 0x1230  c0 0xF800 c1 0x001F"
               "  a0 255 a1 0  colour 3 alpha 7";
        QTest::newRow("a dxt block at 8-bit: end points widened")
            << TexelFacts{{9, 5}, 0, 0, Precision::kFull, Block(16)}
            << "x 9, y 5  0xF00F (R 15 G 0 B 0 A 15)  8-bit R 255 G 0 B 0 A 255  block 2,1 at "
               "0x1230  c0 0xF800 (255 0 0) c1 0x001F (0 0 255)  a0 255 a1 0  colour 3 alpha 7";
        QTest::newRow("a block partly past the data file's end")
            << TexelFacts{{9, 5}, 0, 0, Precision::kNibbles, Block(8)}
            << "x 9, y 5  0xF00F (R 15 G 0 B 0 A 15)  block 2,1 at 0x1230  c0 0xF800 c1 0x001F"
               "  a0 255 a1 0  colour 3 alpha 7, partly beyond the end of the data file";
        QTest::newRow("a block wholly past it: no fields")
            << TexelFacts{{9, 5}, 0, 0, Precision::kNibbles, Block(0)}
            << "x 9, y 5  0xF00F (R 15 G 0 B 0 A 15)  block 2,1 at 0x1230, beyond the end of the "
               "data file";
    }
    void texel() {
        QFETCH(TexelFacts, facts);
        QFETCH(QString, text);
        QCOMPARE(TexelReadout(facts), text);
    }

    void differenceTexel() {
        QCOMPARE(DifferenceTexelReadout({2, 3}, "dxt", 0xFF102030u, "etc", 0x80302010u),
                 QString("x 2, y 3  dxt R 16 G 32 B 48 A 255  etc R 48 G 32 B 16 A 128  "
                         "difference R 32 G 0 B 32 A 127"));
    }
};

QTEST_GUILESS_MAIN(ReadoutTextTest)
#include "ReadoutTextTest.moc"
