// Comparison in the viewer: E flips between the encodings (or versions)
// keeping zoom and pin, 7 shows the difference with the command line's
// numbers, D steps its scale.
#include <QClipboard>
#include <QLabel>
#include <QTreeView>
#include <QtTest>
#include <algorithm>
#include <functional>

#include "app/preview/PreviewView.h"
#include "app/preview/ReadoutLabel.h"
#include "app/resources/Resource.h"
#include "app/tree/TreeSplitter.h"
#include "compare/Compare.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

using namespace marrowix;
using namespace marrowix::test;

class CompareViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    // Replace texture...: the new set opens at the same texture, the old one
    // a key away, the readout saying what the replacement measured.
    void ReplaceOpensTheNewSetBesideTheOld() {
        TempDir dir;
        ScriptedDialog d;
        const QString old = Q(WriteExampleSet(dir));
        OpenShown(d, old);         // "etc"
        SelectEntryAndWait(d, 0);  // road, 4 x 2
        QImage image(4, 2, QImage::Format_RGBA8888);
        image.fill(QColor(0, 255, 0));  // green, opaque: exact in 4 bits
        QVERIFY(image.save(Q(dir / "green.png")));
        d.replaceWith = Q(dir / "green.png");
        d.newSet = Q(dir / "v2" / "world.txt");
        QSignalSpy shown(&d, &CMarrowix::previewShown);
        d.Features().replacing->ReplaceTexture();
        QTRY_VERIFY(!shown.isEmpty() &&
                    d.m_pTextureSet->ListingPath() == (dir / "v2" / "world.txt").u16string());
        QCOMPARE(d.Preview()->Image().pixel(0, 0), qRgba(0, 0xF0, 0, 0xF0));
        QTRY_VERIFY(Readout(d).startsWith("replaced (etc): PSNR R inf G inf B inf A inf"));
        PressAndWait(d, Qt::Key_E);  // the old texture
        QVERIFY(d.Features().comparison->ShowingOther());
        QCOMPARE(d.Preview()->Image().pixel(0, 0), qRgba(0xF0, 0, 0, 0xF0));
        // The suggestion is beside the set's folder, made for the dialog
        // and gone again when the set goes elsewhere.
        const auto edited = dir.Path().parent_path() / (dir.Path().filename().string() + "-edited");
        QCOMPARE(d.suggestedSet, Q(edited / "world.txt"));
        QVERIFY(!std::filesystem::exists(edited));
        // The loaded set's own files are never written: the dialog asks
        // again with the reason.
        d.newSet = Q(dir / "v2" / "world.txt");
        d.Features().replacing->ReplaceTexture();
        QVERIFY(!d.warnings.isEmpty());
        QVERIFY(d.warnings.last().contains("never written"));
        QCOMPARE(d.suggestedSet, Q(dir / "v2" / "world.txt"));
        // A JPEG has no alpha: the readout says it was taken as opaque.
        std::vector<std::uint8_t> green;
        for (int i = 0; i < 4 * 2; ++i) {
            green.insert(green.end(), {0, 255, 0});
        }
        WriteBytes(dir / "green.jpg", JpegOf(green, 4, 2, 3));
        d.replaceWith = Q(dir / "green.jpg");
        d.newSet = Q(dir / "v3" / "world.txt");
        d.Features().replacing->ReplaceTexture();
        QTRY_VERIFY(Readout(d).startsWith("replaced (etc; opaque: JPEG has no alpha): PSNR"));
    }

    // Ctrl+S and Ctrl+C take what is on screen: the other encoding while E
    // shows it, the difference view's image (opaque, values as they are).
    void SaveAndCopyWhatIsShown() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));  // "etc"
        SelectEntryAndWait(d, 0);               // road: red, opaque at (0, 0)
        PressAndWait(d, Qt::Key_E);             // the white dxt block
        struct Row {
            const char* suggested;
            QRgb saved;   // pixel (0, 0) of the PNG
            QRgb copied;  // and of the clipboard's image
        };
        const Row flipped = {"road-dxt.png", qRgba(255, 255, 255, 255), qRgba(255, 255, 255, 255)};
        const Row difference = {"road-diff-x1.png", qRgba(0, 255, 255, 255),
                                qRgba(0, 255, 255, 255)};
        for (const Row* shown : {&flipped, &difference}) {
            const Row& row = *shown;
            if (shown == &difference) {
                PressAndWait(d, Qt::Key_E);  // back, then the difference view
                PressAndWait(d, Qt::Key_7);
            }
            d.savePath = Q(dir / row.suggested);
            d.Features().saveAndCopy->SaveImage();
            QCOMPARE(d.suggested, QString(row.suggested));
            QCOMPARE(QImage(d.savePath).pixel(0, 0), row.saved);
            d.Features().saveAndCopy->CopyImage();
            QCOMPARE(QGuiApplication::clipboard()->image().pixel(0, 0), row.copied);
        }
    }

    // At the template's size every field of the longest readouts is whole
    // on a line of its own, nothing is lost, and every line is inside the
    // dialog.
    void ReadoutFieldsAllReadableAtTheTemplateSize() {
        TempDir dir;
        ScriptedDialog d;
        d.show();
        OpenShown(d, Q(WriteExampleSet(dir)));  // "etc"
        SelectEntryAndWait(d, 0);
        auto* readout = qobject_cast<ReadoutLabel*>(d.GetDlgItem(IDC_READOUT));
        const std::function<void()> rows[] = {
            [&] {  // a flipped 8-bit dxt texel with its block's end points
                d.Features().viewing->SetPrecision(Precision::kFull);
                PressAndWait(d, Qt::Key_E);
                d.Preview()->Pin(QPoint(3, 1));
            },
            [&] {  // the difference view: two texels and their difference
                PressAndWait(d, Qt::Key_E);
                PressAndWait(d, Qt::Key_7);
                QTRY_VERIFY(!Readout(d).contains("measuring..."));
                d.Preview()->Pin(QPoint(0, 1));
            },
            [&] {  // the same with the tree as wide as it goes: the measures'
                   // field is wider than a line, broken after its "; "
                d.Splitter()->SetExtra(100000);
            },
            [&] {  // a note with a long word: broken, nothing lost
                readout->ShowText("saved /" + QString(300, 'x') + ".png  and more");
            },
        };
        for (const auto& row : rows) {
            row();
            const QString text = Readout(d);
            const QStringList lines = readout->Lines();
            QVERIFY2(lines.size() > 2 || text.size() < 100, qPrintable(text));
            const QFontMetrics metrics = readout->fontMetrics();
            for (const QString& field : text.split("  ", Qt::SkipEmptyParts)) {
                const bool fits = metrics.horizontalAdvance(field) <= readout->width();
                for (const QString& part : fits ? QStringList{field} : field.split("; ")) {
                    if (metrics.horizontalAdvance(part) <= readout->width()) {
                        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                                             [&](const QString& l) { return l.contains(part); }),
                                 qPrintable(part));
                    }
                }
            }
            QCOMPARE(lines.join("").remove(' '), QString(text).remove(' '));
            const QRect r = readout->geometry();
            QVERIFY(r.top() >= 0 && r.bottom() == readout->Room().bottom());
            QVERIFY(int(lines.size()) * readout->fontMetrics().lineSpacing() <= r.height());
            for (const QString& line : lines) {
                QVERIFY(metrics.horizontalAdvance(line) <= r.width());
                QVERIFY2(!line.startsWith(';') && !line.startsWith(','), qPrintable(line));
            }
        }
    }

    // A set rewritten by rename while it is shown is read again by itself:
    // the same texture (found by name though its index moved), zoom and pin
    // kept, its new pixels; one caught mid-write says which file is short.
    void ReloadKeepsWhatIsShown() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));  // "etc"
        SelectEntryAndWait(d, 0);               // road
        d.Preview()->ZoomIn();
        d.Preview()->Pin(QPoint(1, 0));
        const double zoom = d.Preview()->Zoom();
        // stop before road now, and road's first texel green.
        auto replace = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
            WriteBytes(dir / (name + ".new"), bytes);
            std::filesystem::rename(dir / (name + ".new"), dir / name);
        };
        std::vector<std::uint8_t> etc(8, 0);
        const auto road = Texels({0x0F0F, 0x0F0F, 0x00FF, 0xFFF0, 0x1234, 0x5678, 0x9ABC, 0xDEF1});
        etc.insert(etc.end(), road.begin(), road.end());
        replace("world.etc.dat", etc);
        replace("world.etc.toc", Le32({0, 0, 0, 0}));  // a line each, no more
        const std::string listing =
            "cat=0 name=streets\ncat=1 name=signs\n\"stop\" cat=1 width=2 height=2\n"
            "\"road\" cat=0 width=4 height=2\n";
        replace("world.txt", std::vector<std::uint8_t>(listing.begin(), listing.end()));
        QTRY_VERIFY_WITH_TIMEOUT(Readout(d).contains("reloaded "), 5000);
        QVERIFY2(!Readout(d).contains("incomplete"), qPrintable(Readout(d)));
        QCOMPARE(d.TreeModel()->data(d.m_pTree->currentIndex()).toString(), QString("road"));
        QCOMPARE(d.Preview()->Zoom(), zoom);
        QCOMPARE(d.Preview()->Pinned(), std::optional<QPoint>(QPoint(1, 0)));
        QCOMPARE(d.Preview()->Image().pixel(0, 0), qRgba(0, 0xF0, 0, 0xF0));
        // Caught mid-write: the data file ends before road's texels.
        replace("world.etc.dat", std::vector<std::uint8_t>(12, 0));
        QTRY_VERIFY_WITH_TIMEOUT(Readout(d).contains("world.etc.dat is incomplete"), 5000);
        QVERIFY(d.warnings.isEmpty());
        // A file gone: the last image stays, and the readout says so.
        std::filesystem::remove(dir / "world.etc.dat");
        QTRY_VERIFY_WITH_TIMEOUT(Readout(d).contains("world.etc.dat is gone"), 5000);
        QVERIFY(d.Preview()->HasImage());
        // F5 reads it again at once.
        replace("world.etc.dat", etc);
        d.Features().reloading->Reload();
        QTRY_VERIFY_WITH_TIMEOUT(
            !Readout(d).contains("incomplete") && Readout(d).contains("reloaded"), 5000);
    }

    // A reload keeps the flip and the open categories; one that no longer
    // finds the texture shown clears it and says so.
    void AReloadKeepsTheFlipOrSaysTheTextureIsGone() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));  // "etc"
        SelectEntryAndWait(d, 0);               // road, in streets
        PressAndWait(d, Qt::Key_E);
        QVERIFY(d.Features().comparison->ShowingOther());
        const QModelIndex streets = d.TreeModel()->IndexOfCategory(0);
        d.m_pTree->expand(streets);
        d.Features().reloading->Reload();
        QTRY_VERIFY_WITH_TIMEOUT(Readout(d).contains("reloaded "), 5000);
        QVERIFY(d.Features().comparison->ShowingOther());
        // road renamed: it is gone from the listing.
        const std::vector<std::uint8_t> bytes = ReadBytes(dir / "world.txt");
        std::string listing(bytes.begin(), bytes.end());
        listing.replace(listing.find("\"road\""), 6, "\"lane\"");
        WriteText(dir / "renamed", listing);
        std::filesystem::rename(dir / "renamed", dir / "world.txt");
        QTRY_VERIFY_WITH_TIMEOUT(Readout(d).contains("road is no longer in the listing"), 5000);
        QVERIFY(!d.Preview()->HasImage());
        QVERIFY(!d.Preview()->Pinned());
        QVERIFY(d.m_pTree->isExpanded(d.TreeModel()->IndexOfCategory(0)));
    }

    void FlipKeepsZoomAndPinAndTheLabels() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));  // "etc"
        SelectEntryAndWait(d, 0);               // road, 4 x 2
        PreviewView* view = d.Preview();
        view->ZoomIn();
        view->ZoomIn();
        view->Pin(QPoint(1, 0));
        const double zoom = view->Zoom();
        const QString offset = qobject_cast<QLabel*>(d.GetDlgItem(IDC_OFFSET))->text();
        // At 4-bit precision the preview block: 0xF00F as 0xF0, 0, 0, 0xF0.
        QCOMPARE(view->Image().pixel(0, 0), qRgba(0xF0, 0, 0, 0xF0));
        PressAndWait(d, Qt::Key_E);
        QVERIFY(d.Features().comparison->ShowingOther());
        QCOMPARE(view->Image().pixel(0, 0), qRgba(0xF0, 0xF0, 0xF0, 0xF0));  // the white dxt block
        QCOMPARE(view->Zoom(), zoom);
        QCOMPARE(view->Pinned(), std::optional<QPoint>(QPoint(1, 0)));
        QVERIFY2(Readout(d).startsWith("dxt  RGB"), qPrintable(Readout(d)));
        QVERIFY2(Readout(d).contains("(dxt, offset 0x10; E: back)"), qPrintable(Readout(d)));
        QCOMPARE(qobject_cast<QLabel*>(d.GetDlgItem(IDC_OFFSET))->text(), offset);
        PressAndWait(d, Qt::Key_E);
        QVERIFY(!d.Features().comparison->ShowingOther());
        QCOMPARE(view->Image().pixel(0, 0), qRgba(0xF0, 0, 0, 0xF0));
        QCOMPARE(view->Pinned(), std::optional<QPoint>(QPoint(1, 0)));
        QVERIFY(Readout(d).startsWith("etc  RGB"));
        // E while the texture is still to be shown again at another
        // precision: the pin stays too.
        d.Features().viewing->SetPrecision(Precision::kFull);
        PressAndWait(d, Qt::Key_E);
        QCOMPARE(view->Pinned(), std::optional<QPoint>(QPoint(1, 0)));
    }

    // S: the shown image left of the divider, the other encoding right of
    // it, at the same zoom and scroll; the readout gives both texels; E
    // swaps the halves.
    void SplitShowsBothHalves() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));  // "etc"
        SelectEntryAndWait(d, 0);               // road: red at (0, 0); dxt: white
        PreviewView* view = d.Preview();
        view->ZoomIn();
        view->ZoomIn();
        PressAndWait(d, Qt::Key_S);
        QVERIFY(view->Splitting());
        view->SetSplitAt(view->ViewportPointOf(QPoint(2, 0)).x());
        auto painted = [&](QPoint texel) {
            const QImage shot = view->viewport()->grab().toImage();
            return shot.pixelColor((view->ViewportPointOf(texel) + QPoint(1, 1)) *
                                   shot.devicePixelRatio());
        };
        const QColor white(0xF0, 0xF0, 0xF0);
        QCOMPARE(painted(QPoint(0, 1)), QColor(0x10, 0x20, 0x30));  // etc's 0x1234
        QCOMPARE(painted(QPoint(3, 0)), white);
        view->Pin(QPoint(0, 0));
        QVERIFY2(Readout(d).contains("B dxt R 255 G 255 B 255 A 255"), qPrintable(Readout(d)));
        PressAndWait(d, Qt::Key_E);
        QVERIFY(view->Splitting());
        QCOMPARE(painted(QPoint(0, 0)), white);
        QCOMPARE(painted(QPoint(3, 1)), QColor(0xD0, 0xE0, 0xF0));  // etc's 0xDEF1
        QVERIFY2(Readout(d).contains("B etc R 255 G 0 B 0 A 255"), qPrintable(Readout(d)));
        // The readout grown over the preview's foot: B's name stays above it.
        auto* readout = qobject_cast<ReadoutLabel*>(d.GetDlgItem(IDC_READOUT));
        readout->ShowText(QString("word ").repeated(120));
        const int coverTop = view->viewport()->mapFrom(&d, readout->geometry().topLeft()).y();
        QVERIFY(coverTop < view->viewport()->height());
        const QImage shot = view->viewport()->grab().toImage();
        const int at = view->ViewportPointOf(QPoint(2, 0)).x();
        const QColor box = shot.pixelColor(QPoint(at + 5, coverTop - 3) * shot.devicePixelRatio());
        QVERIFY2(box.lightness() < 110, qPrintable(box.name()));
        PressAndWait(d, Qt::Key_S);
        QVERIFY(!view->Splitting());
    }

    void WithoutTheOtherEncodingEOnlySaysSo() {
        TempDir dir;
        ScriptedDialog d;
        const auto listing = WriteExampleSet(dir);
        std::filesystem::remove(dir / "world.dxt.dat");
        OpenShown(d, Q(listing));
        SelectEntryAndWait(d, 0);
        QTest::keyClick(&d, Qt::Key_E);
        QVERIFY(!d.Features().comparison->ShowingOther());
        QVERIFY2(Readout(d).contains("E: no dxt data file"), qPrintable(Readout(d)));
        QTest::keyClick(&d, Qt::Key_7);
        QCOMPARE(d.Preview()->Mode(), ViewMode::kRgb);
        QVERIFY2(Readout(d).contains("7: no dxt data file"), qPrintable(Readout(d)));
    }

    // The difference of etc and dxt for road: its pixels, the readout's two
    // texels and the whole texture's measures as the command line gives them.
    void DifferenceViewShowsAndMeasures() {
        TempDir dir;
        ScriptedDialog d;
        const auto listing = WriteExampleSet(dir);
        OpenShown(d, Q(listing));
        SelectEntryAndWait(d, 0);
        PressAndWait(d, Qt::Key_7);
        PreviewView* view = d.Preview();
        QCOMPARE(view->Mode(), ViewMode::kDifference);
        // Texel 0: etc (255, 0, 0, 255) against white: (0, 255, 255, 0).
        QCOMPARE(view->Image().pixel(0, 0), qRgba(0, 255, 255, 0));
        // Texel 4 (0x1234: 17, 34, 51, 68) against white.
        QCOMPARE(view->Image().pixel(0, 1), qRgba(238, 221, 204, 187));
        const auto etc = OpenSet(listing, "etc");
        const auto dxt = OpenSet(listing, "dxt");
        const std::string numbers = DescribeMeasures(CompareEntries(*etc, 0, *dxt, 0).measures);
        // The image first, its measures when they arrive.
        QTRY_VERIFY2(Readout(d).contains(QString::fromStdString(numbers)), qPrintable(Readout(d)));
        QVERIFY(Readout(d).contains("DIFF x1 8-bit"));
        view->Pin(QPoint(0, 1));
        QVERIFY2(Readout(d).contains("etc R 17 G 34 B 51 A 68  dxt R 255 G 255 B 255 A 255  "
                                     "difference R 238 G 221 B 204 A 187"),
                 qPrintable(Readout(d)));
        // x4: every difference of at least 64 is full.
        PressAndWait(d, Qt::Key_D);
        QCOMPARE(d.Features().comparison->DifferenceScale(), 4);
        QCOMPARE(view->Image().pixel(0, 1), qRgba(255, 255, 255, 255));
        QVERIFY(Readout(d).contains("DIFF x4"));
        QCOMPARE(view->Pinned(), std::optional<QPoint>(QPoint(0, 1)));
        // T: the texels that differ by more than a threshold, in red; D steps
        // it.
        PressAndWait(d, Qt::Key_T);
        QCOMPARE(d.Features().comparison->DifferenceThreshold(), 4);
        QCOMPARE(view->Image().pixel(0, 0), qRgba(255, 0, 0, 0));
        QVERIFY2(Readout(d).contains("DIFF over 4 8-bit") &&
                     Readout(d).contains(QString::fromStdString(numbers) +
                                         "; 8 texels differ by more than 4"),
                 qPrintable(Readout(d)));  // the measures kept: not made again
        PressAndWait(d, Qt::Key_D);
        QCOMPARE(d.Features().comparison->DifferenceThreshold(), 8);
        PressAndWait(d, Qt::Key_T);
        QCOMPARE(d.Features().comparison->DifferenceThreshold(), 0);
        // Back to a plain mode: the image again.
        PressAndWait(d, Qt::Key_1);
        QCOMPARE(view->Image().pixel(0, 0), qRgba(0xF0, 0, 0, 0xF0));
    }

    // --compare-with: E flips to the texture of the same category and name
    // in the other version, wherever it is there.
    void FlipToTheOtherVersion() {
        TempDir here;
        TempDir there;
        const auto listing = WriteExampleSet(here);
        const auto other = WriteExampleSet(there);
        // The other version lists stop first and road second, road white.
        WriteText(there / "world.txt",
                  "cat=0 name=streets\ncat=1 name=signs\n\"stop\" cat=1 width=2 height=2\n"
                  "\"road\" cat=0 width=4 height=2\n");
        WriteBytes(there / "world.etc.toc", Le32({0, 0, 0, 16}));
        std::vector<std::uint8_t> data(8 + 8 + 8, 0);
        for (int i = 0; i < 8; ++i) {
            data.insert(data.end(), {0xFF, 0xFF});
        }
        WriteBytes(there / "world.etc.dat", data);
        ScriptedDialog d;
        d.SetCompareWith(U16(other));
        OpenShown(d, Q(listing));
        SelectEntryAndWait(d, 0);
        PressAndWait(d, Qt::Key_E);
        QCOMPARE(d.Preview()->Image().pixel(0, 0), qRgba(0xF0, 0xF0, 0xF0, 0xF0));
        QVERIFY2(Readout(d).contains("the other version, offset 0x10"), qPrintable(Readout(d)));
        // stray (category 3, no line) has no counterpart there.
        SelectEntryAndWait(d, 2);
        QVERIFY2(Readout(d).contains("no counterpart in the other version"),
                 qPrintable(Readout(d)));
    }
};

QTEST_MAIN(CompareViewTest)
#include "CompareViewTest.moc"
