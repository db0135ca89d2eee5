// The viewer through its own controls, headless: Browse with the file dialog
// and the question answered by test doubles, the tree, the labels, the image.
#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include "app/DialogBuilder.h"
#include "app/MainDialog.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "app/tree/TextureTreeModel.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

using namespace marrowix;
using namespace marrowix::test;

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    static QString Text(const CMarrowix& d, int id) {
        if (auto* label = qobject_cast<QLabel*>(d.GetDlgItem(id))) {
            return label->text();
        }
        return qobject_cast<QLineEdit*>(d.GetDlgItem(id))->text();
    }
    static QImage Preview(const CMarrowix& d) { return OpaqueImage(d.Preview()->Image()); }
    static void ClickBrowse(CMarrowix& d) {
        QTest::mouseClick(qobject_cast<QPushButton*>(d.GetDlgItem(IDC_BROWSE)), Qt::LeftButton);
    }
    static QModelIndex Node(const CMarrowix& d, int row, int child = -1) {
        const QModelIndex top = d.TreeModel()->index(row, 0);
        return child < 0 ? top : d.TreeModel()->index(child, 0, top);
    }
    // Selects a node and lets the preview that follows be built.
    static void Select(CMarrowix& d, const QModelIndex& index) {
        d.m_pTree->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }
    // Browse to the example set in `dir`, answering the question as given.
    static void BrowseToExample(ScriptedDialog& d, const TempDir& dir, bool yes) {
        d.paths << Q(WriteExampleSet(dir));
        d.answerYes = yes;
        ClickBrowse(d);
    }

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    void startState() {
        ScriptedDialog d;
        QCOMPARE(d.windowTitle(), QString("Orlek's Marrowix (built @ Dec 10 2012 22:43:27 MSK)"));
        QCOMPARE(Text(d, IDC_PATH), QString());
        QVERIFY(!d.GetDlgItem(IDC_PATH)->isEnabled());
        QCOMPARE(d.TreeModel()->rowCount(), 0);
        QCOMPARE(Text(d, IDC_OFFSET), QString("Offset: ---"));
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("---"));
        QVERIFY(Preview(d).isNull());
        QCOMPARE(qobject_cast<QPushButton*>(d.GetDlgItem(IDC_BROWSE))->text(),
                 QString("Browse..."));
        QCOMPARE(d.m_pTree, d.GetDlgItem(IDC_TREE));

        // Template geometry in dialog units, at this screen's DPI.
        const DialogUnits units = DialogUnits::For(d);
        QCOMPARE(d.size(), QSize(units.X(526), units.Y(338)));
        QCOMPARE(d.GetDlgItem(IDC_TREE)->geometry(), units.Map(7, 7, 134, 324));
        QCOMPARE(d.GetDlgItem(IDC_BROWSE)->geometry(), units.Map(469, 7, 50, 14));
        QCOMPARE(d.GetDlgItem(IDC_PREVIEW)->pos(), units.Map(149, 53, 15, 13).topLeft());
        QCOMPARE(d.GetDlgItem(IDC_STATIC)->property("title").toString(), QString("Some info"));

        // Selecting in the empty tree does nothing.
        d.OnTreeSelChanged();
        QCOMPARE(Text(d, IDC_OFFSET), QString("Offset: ---"));
    }

    void loadEtcThroughBrowse() {
        TempDir dir;
        ScriptedDialog d;
        BrowseToExample(d, dir, false);
        QCOMPARE(d.prompts, 1);
        QCOMPARE(d.questions, 1);
        QVERIFY(d.warnings.isEmpty());
        QVERIFY(d.m_pTextureSet);
        QCOMPARE(d.m_pTextureSet->GetMode(), kModeEtc);
        QCOMPARE(Text(d, IDC_PATH), Q(dir / "world.txt"));

        TextureTreeModel& m = *d.TreeModel();
        QCOMPARE(m.rowCount(), 3);
        QCOMPARE(Node(d, 0).data().toString(), QString("[+] streets"));
        QCOMPARE(Node(d, 1).data().toString(), QString("[+] signs"));
        QCOMPARE(Node(d, 2).data().toString(), QString("stray"));
        QCOMPARE(Node(d, 0).data(TextureTreeModel::ItemValueRole).toInt(), -1);
        QCOMPARE(Node(d, 2).data(TextureTreeModel::ItemValueRole).toInt(), 2);
        QCOMPARE(m.rowCount(Node(d, 0)), 1);
        QCOMPARE(Node(d, 0, 0).data().toString(), QString("road"));
        QCOMPARE(Node(d, 0, 0).data(TextureTreeModel::ItemValueRole).toInt(), 0);
        QCOMPARE(m.rowCount(Node(d, 1)), 3);
        QCOMPARE(Node(d, 1, 0).data().toString(), QString("stop"));
        QCOMPARE(Node(d, 1, 2).data(TextureTreeModel::ItemValueRole).toInt(), 4);
        QCOMPARE(m.parent(Node(d, 1, 2)), Node(d, 1));
        QVERIFY(!d.m_pTree->isExpanded(Node(d, 0)));
        QVERIFY(!d.m_pTree->currentIndex().isValid());

        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void selectionShowsLabelsAndImage() {
        TempDir dir;
        ScriptedDialog d;
        BrowseToExample(d, dir, false);

        Select(d, Node(d, 0, 0));  // road
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("Dimensions: 4 x 2"));
        QCOMPARE(Text(d, IDC_OFFSET), QString("Offset: 0x1A4"));
        const QImage image = Preview(d);
        QCOMPARE(image.size(), QSize(4, 2));
        QCOMPARE(image.pixel(0, 0), qRgb(240, 0, 0));         // 0xF00F, top left
        QCOMPARE(image.pixel(1, 0), qRgb(0, 240, 0));         // 0x0F0F
        QCOMPARE(image.pixel(3, 1), qRgb(0xD0, 0xE0, 0xF0));  // 0xDEF1, bottom right
        const QWidget* preview = d.GetDlgItem(IDC_PREVIEW);
        QCOMPARE(preview->pos(), DialogUnits::For(d).Map(149, 53, 15, 13).topLeft());

        // A category leaves the labels and the image in place.
        Select(d, Node(d, 1));
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("Dimensions: 4 x 2"));
        QCOMPARE(Preview(d).size(), QSize(4, 2));

        Select(d, Node(d, 1, 0));  // stop, at offset 0
        QCOMPARE(Text(d, IDC_OFFSET), QString("Offset: 0x0"));
        QCOMPARE(Preview(d).size(), QSize(2, 2));
    }

    void emptyAndRefusedTexturesShowAnEmptyPreview() {
        TempDir dir;
        ScriptedDialog d;
        BrowseToExample(d, dir, false);
        Select(d, Node(d, 0, 0));
        QVERIFY(!Preview(d).isNull());

        Select(d, Node(d, 1, 1));  // zero: 0 x 3
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("Dimensions: 0 x 3"));
        QVERIFY(Preview(d).isNull());
        Select(d, Node(d, 0, 0));
        Select(d, Node(d, 1, 2));  // bad: -2 x 2
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("Dimensions: -2 x 2"));
        QVERIFY(Preview(d).isNull());
    }

    void yesLoadsTheDxtFiles() {
        TempDir dir;
        ScriptedDialog d;
        BrowseToExample(d, dir, true);
        QCOMPARE(d.m_pTextureSet->GetMode(), kModeDxt);
        Select(d, Node(d, 0, 0));
        QCOMPARE(Text(d, IDC_OFFSET), QString("Offset: 0x10"));
        QCOMPARE(Preview(d).pixel(3, 1), qRgb(240, 240, 240));
    }

    void cancelChangesNothing() {
        TempDir dir;
        ScriptedDialog d;
        BrowseToExample(d, dir, false);
        Select(d, Node(d, 0, 0));
        const CTextureSet* before = d.m_pTextureSet.get();

        ClickBrowse(d);  // no path left: the file dialog is cancelled
        QCOMPARE(d.prompts, 2);
        QCOMPARE(d.questions, 1);
        QCOMPARE(d.m_pTextureSet.get(), before);
        QCOMPARE(d.TreeModel()->rowCount(), 3);
        QCOMPARE(Text(d, IDC_PATH), Q(dir / "world.txt"));
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("Dimensions: 4 x 2"));
        QCOMPARE(Preview(d).size(), QSize(4, 2));
    }

    void secondLoadReplacesEverything() {
        TempDir first;
        TempDir second;
        WriteText(second / "other.txt", "cat=0 name=only\n\"one\" width=3 height=3\n");
        ScriptedDialog d;
        d.paths << Q(WriteExampleSet(first)) << Q(second / "other.txt");
        d.answerYes = false;
        ClickBrowse(d);
        d.m_pTree->expandAll();
        Select(d, Node(d, 0, 0));
        QSignalSpy resets(d.TreeModel(), &QAbstractItemModel::modelReset);

        ClickBrowse(d);
        QCOMPARE(resets.count(), 2);  // emptied, then filled
        QCOMPARE(d.TreeModel()->rowCount(), 1);
        QCOMPARE(Node(d, 0).data().toString(), QString("[+] only"));
        QCOMPARE(Node(d, 0, 0).data().toString(), QString("one"));
        QCOMPARE(Text(d, IDC_PATH), Q(second / "other.txt"));
        // The labels and the preview keep what they showed until the next selection.
        QCOMPARE(Text(d, IDC_DIMENSIONS), QString("Dimensions: 4 x 2"));
        QCOMPARE(Preview(d).size(), QSize(4, 2));
        QCOMPARE(d.warnings.size(), 1);  // the second set has no etc files
    }

    void missingFilesAreNamedInOneWarning() {
        TempDir dir;
        WriteText(dir / "lonely.txt", "\"a\" width=1 height=1\n");
        ScriptedDialog d;
        d.paths << Q(dir / "lonely.txt") << Q(dir / "absent.txt");
        ClickBrowse(d);
        QCOMPARE(d.warnings.size(), 1);
        QVERIFY(d.warnings[0].contains(Q(dir / "lonely.dxt.toc")));
        QVERIFY(d.warnings[0].contains(Q(dir / "lonely.dxt.dat")));
        QVERIFY(!d.warnings[0].contains("Listing"));
        QCOMPARE(d.TreeModel()->rowCount(), 1);
        Select(d, Node(d, 0));
        QCOMPARE(Text(d, IDC_OFFSET), QString("Offset: 0x0"));
        QCOMPARE(Preview(d).pixel(0, 0), qRgb(0, 0, 0));

        ClickBrowse(d);
        QCOMPARE(d.warnings.size(), 2);
        QVERIFY(d.warnings[1].contains("Listing: " + Q(dir / "absent.txt")));
        QCOMPARE(d.TreeModel()->rowCount(), 0);
        QCOMPARE(Text(d, IDC_PATH), Q(dir / "absent.txt"));
    }

    void everyCategoryGetsANode() {
        TempDir dir;
        std::string listing;
        for (int c = 0; c < 70; ++c) {
            listing += "cat=" + std::to_string(c) + " name=c" + std::to_string(c) + "\n";
        }
        listing += "\"deep\" cat=68 width=1 height=1\n\"high\" cat=65535 width=1 height=1\n";
        WriteText(dir / "many.txt", listing);
        ScriptedDialog d;
        d.paths << Q(dir / "many.txt");
        ClickBrowse(d);
        QCOMPARE(d.TreeModel()->rowCount(), 71);
        QCOMPARE(Node(d, 68, 0).data().toString(), QString("deep"));
        QCOMPARE(Node(d, 70).data().toString(), QString("high"));
        QAbstractItemModelTester tester(d.TreeModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void enterAndEscapeEndTheDialog() {
        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            ScriptedDialog d;
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            d.m_pTree->setFocus();
            QTest::keyClick(d.m_pTree, static_cast<Qt::Key>(key));
            QVERIFY(!d.isVisible());
            QCOMPARE(d.prompts, 0);
        }
        // On the focused Browse button, Enter presses it.
        ScriptedDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QWidget* browse = d.GetDlgItem(IDC_BROWSE);
        browse->setFocus();
        QTest::keyClick(browse, Qt::Key_Return);
        QCOMPARE(d.prompts, 1);
        QVERIFY(d.isVisible());
    }
};

QTEST_MAIN(MainDialogTest)
#include "MainDialogTest.moc"
