// The viewer as a desktop program, headless: a listing from the command
// line, dropped files, finding among many textures, keyboard browsing.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QtTest>
#include <algorithm>
#include <map>

#include "app/CommandLine.h"
#include "app/MarrowixApp.h"
#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "app/session/ViewerSettings.h"
#include "app/tree/TextureTreeModel.h"
#include "app/tree/TreeSplitter.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

using namespace marrowix;
using namespace marrowix::test;

namespace {

// The application with the test's dialog, closed once the start-up load
// has run; what it showed is kept.
class TestApp : public CMarrowixApp {
public:
    int questions = -1;
    TextureMode mode = kModeEtc;
    int rows = -1;

    std::unique_ptr<CMarrowix> CreateMainDialog() override {
        auto dialog = std::make_unique<ScriptedDialog>();
        dialog->answerYes = true;
        ScriptedDialog* d = dialog.get();
        QTimer::singleShot(50, d, [this, d] {
            questions = d->questions;
            mode = d->m_pTextureSet ? d->m_pTextureSet->GetMode() : kModeEtc;
            rows = d->TreeModel()->rowCount();
            d->accept();
        });
        return dialog;
    }
};

void Drop(ScriptedDialog& d, QMimeData* data) {
    const qsizetype before = d.questions + d.warnings.size();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&d, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&d, &drop);
    // What a drop leads to comes after it, as the next thing the loop does.
    QCOMPARE(d.questions + d.warnings.size(), before);
    QCoreApplication::sendPostedEvents();
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    // What the viewer remembers: precision, view mode, grid cell size and
    // window size come back in the next run, and the sets opened are one
    // menu away, each in the encoding chosen for it, ten at the most.
    void SettingsComeBack() {
        TempDir dir;
        const QString listing = Q(WriteExampleSet(dir));
        const QString file = Q(dir / "settings.ini");
        {
            ScriptedDialog d;
            d.Features().session->Use(std::make_unique<ViewerSettings>(file));
            OpenShown(d, listing);  // "etc"
            d.Features().viewing->SetPrecision(Precision::kFull);
            d.Features().viewing->SetViewMode(ViewMode::kAlpha);
            d.Features().survey->Grid()->SetCellSize(64);
            d.resize(1000, 760);
            // The splitter dragged 50 pixels: the tree wider, the right-hand
            // side moved over by as much.
            const int tree = d.m_pTree->width();
            const int preview = d.Preview()->x();
            TreeSplitter* handle = d.Splitter();
            QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 20));
            QTest::mouseMove(handle, QPoint(52, 20));
            QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(52, 20));
            QCOMPARE(d.m_pTree->width(), tree + 50);
            QCOMPARE(d.Preview()->x(), preview + 50);
            QCOMPARE(d.GetDlgItem(IDC_PATH)->x(), handle->geometry().right() + 1);
            d.done(0);
        }
        ScriptedDialog d;
        d.Features().session->Use(std::make_unique<ViewerSettings>(file));
        QCOMPARE(d.Preview()->GetPrecision(), Precision::kFull);
        QCOMPARE(d.Preview()->Mode(), ViewMode::kAlpha);
        QCOMPARE(d.Features().survey->Grid()->CellSize(), 64);
        QCOMPARE(d.size(), QSize(1000, 760));
        QCOMPARE(d.Splitter()->Extra(), 50);
        QMenu* recent = d.Features().session->RecentMenu();
        QMetaObject::invokeMethod(recent, "aboutToShow");
        QCOMPARE(recent->actions().size(), 1);
        QVERIFY(recent->actions()[0]->text().endsWith("world.txt (etc)"));
        recent->actions()[0]->trigger();
        QCOMPARE(d.questions, 0);  // the encoding is remembered
        QVERIFY(d.m_pTextureSet && d.m_pTextureSet->GetMode() == kModeEtc);

        ViewerSettings settings(file);
        for (int i = 0; i < 12; ++i) {
            settings.AddRecent(u"/sets/s" + std::u16string(1, char16_t(u'a' + i)) + u".txt",
                               kModeDxt);
        }
        settings.AddRecent(u"/sets/sc.txt", kModeEtc);  // again: to the front, once
        const auto sets = settings.RecentSets();
        QCOMPARE(sets.size(), ViewerSettings::kRecentSets);
        QVERIFY(sets[0].listing == u"/sets/sc.txt" && sets[0].mode == kModeEtc);
        QVERIFY(sets[1].listing == u"/sets/sl.txt");
        QCOMPARE(std::count_if(sets.begin(), sets.end(),
                               [](const auto& r) { return r.listing == u"/sets/sc.txt"; }),
                 1);
    }

    // Values out of range or of another kind are ignored; a file that cannot
    // be parsed is never written over.
    void BadSettingsAreIgnoredAndKept() {
        TempDir dir;
        struct Row {
            const char* text;
            bool kept;  // the file unchanged after a save
        };
        const Row rows[] = {
            {"[view]\nmode=99\nfullPrecision=banana\n[grid]\ncell=7\n", false},
            {"[view\nmode=3\n\x01\x02 not = ini [\n", true},
        };
        for (const Row& row : rows) {
            const auto file = dir / "settings.ini";
            WriteText(file, row.text);
            ViewerSettings settings(Q(file));
            if (const auto view = settings.LoadView()) {
                QCOMPARE(view->viewMode, 0);
                QCOMPARE(view->fullPrecision, false);
                QCOMPARE(view->gridCell, 128);
            }
            settings.SaveView({});
            const auto bytes = ReadBytes(file);
            QCOMPARE(std::string(bytes.begin(), bytes.end()) == row.text, row.kept);
        }
    }

    void initTestCase() {
        QVERIFY(QGuiApplication::platformName() == "offscreen");
        // The program's own settings go to a test folder, not the user's.
        QStandardPaths::setTestModeEnabled(true);
    }

    void aListingOnTheCommandLine() {
        TempDir dir;
        const QString listing = Q(WriteExampleSet(dir));
        {
            TestApp app;
            app.m_startListing = listing.toStdU16String();
            app.m_startMode = kModeEtc;  // --mode etc: no question
            QVERIFY(app.InitInstance());
            QCOMPARE(app.questions, 0);
            QCOMPARE(app.mode, kModeEtc);
            QCOMPARE(app.rows, 3);
        }
        {
            TestApp app;
            app.m_startListing = listing.toStdU16String();  // the question, answered Yes
            QVERIFY(app.InitInstance());
            QCOMPARE(app.questions, 1);
            QCOMPARE(app.mode, kModeDxt);
        }
        {
            TestApp app;  // nothing given: starts empty, as before
            QVERIFY(app.InitInstance());
            QCOMPARE(app.questions, 0);
            QCOMPARE(app.rows, 0);
        }
    }

    void aListingWhosePathIsNotUtf8() {
        // The bytes w, 0xFF, 0xFE name the listing; a decoded and re-encoded
        // name (U+FFFD twice) would be another file.
        TempDir dir;
        WriteExampleSet(dir);
        const std::string name = "w\xFF\xFE";
        for (const char* suffix : {"", ".etc.toc", ".etc.dat"}) {
            const std::string from = suffix[0] ? std::string("world") + suffix : "world.txt";
            std::filesystem::rename(dir / from, dir / (name + suffix));
        }
        WriteText(dir / "w\xEF\xBF\xBD\xEF\xBF\xBD", "\"impostor\" width=1 height=1\n");
        const std::filesystem::path cwd = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        const std::u16string path = StartListingPath(name);
        std::filesystem::current_path(cwd);
        QCOMPARE(ToNativePath(path), (dir / name).string());
        ScriptedDialog d;
        QCOMPARE(d.LoadTextureSet(path, kModeEtc), 5);
        QVERIFY2(d.warnings.isEmpty(), qPrintable(d.warnings.join('\n')));
        QCOMPARE(d.m_pTextureSet->GetEntryName(0), std::u16string(u"road"));
    }

    void theCommandLineIsReadBeforeAnyWindow() {
        auto parsed = ParseViewerArguments({"-platform", "offscreen", "--mode", "dxt", "a.txt"});
        QVERIFY(parsed.error.empty());
        QCOMPARE(*parsed.mode, kModeDxt);
        QCOMPARE(*parsed.listing, std::string("a.txt"));
        QVERIFY(!ParseViewerArguments({"--", "--mode"}).listing->empty());
        QVERIFY(!ParseViewerArguments({"--mode", "DXT", "a.txt"}).error.empty());
        QVERIFY(!ParseViewerArguments({"--mode", "dxt"}).error.empty());
        QVERIFY(!ParseViewerArguments({"a.txt", "b.txt"}).error.empty());
        const auto compared = ParseViewerArguments({"--compare-with", "old.txt", "a.txt"});
        QVERIFY(compared.error.empty());
        QCOMPARE(*compared.other, std::string("old.txt"));
        QVERIFY(!ParseViewerArguments({"--compare-with", "old.txt"}).error.empty());
        QVERIFY(!ParseViewerArguments({"a.txt", "--compare-with"}).error.empty());
        QVERIFY(
            !ParseViewerArguments({"--compare-with", "b.txt", "--compare-with", "c.txt", "a.txt"})
                 .error.empty());
        // The help tells the keys.
        for (const char* key : {"keys and mouse:", "Ctrl+Shift+C", "Q   ", "Ctrl+F", "1 2 3 4 5 6",
                                "G   ", "E   ", "7, D"}) {
            QVERIFY2(ViewerHelp().find(key) != std::string::npos, key);
        }

        // The program itself: no display is needed to be told off.
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("DISPLAY", ":99999");
        process.setProcessEnvironment(environment);
        process.start(MARROWIX_VIEWER_PATH, {"--bogus", "x.txt"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("usage: marrowix"));
        process.start(MARROWIX_VIEWER_PATH, {"--version"});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().startsWith("marrowix "));
        // A file refused on the command line is named on stderr as well.
        TempDir dir;
        WriteText(dir / "shot.png", "not a listing");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(MARROWIX_VIEWER_PATH, {Q(dir / "shot.png")});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += process.readAllStandardError())
                                     .contains("marrowix: shot.png is not a texture listing"),
                                 10000);
        process.kill();
        process.waitForFinished(10000);
    }

    void aDroppedFileLoadsAsBrowseWould() {
        TempDir dir;
        const QString listing = Q(WriteExampleSet(dir));
        ScriptedDialog d;
        d.answerYes = false;
        auto* folder = new QMimeData;
        folder->setUrls({QUrl::fromLocalFile(Q(dir.Path()))});
        Drop(d, folder);
        auto* text = new QMimeData;
        text->setText("world.txt");
        Drop(d, text);
        QCOMPARE(d.questions, 0);
        QVERIFY(!d.m_pTextureSet);

        auto* file = new QMimeData;
        file->setUrls({QUrl::fromLocalFile(listing)});
        Drop(d, file);
        QCOMPARE(d.questions, 1);
        QCOMPARE(d.m_pTextureSet->GetMode(), kModeEtc);
        QCOMPARE(d.TreeModel()->rowCount(), 3);

        // A file that cannot be a listing is refused with one message, the
        // set kept and nothing asked.
        WriteText(dir / "shot.png", "\x89PNG not a listing");
        auto* picture = new QMimeData;
        picture->setUrls({QUrl::fromLocalFile(Q(dir / "shot.png"))});
        const CTextureSet* before = d.m_pTextureSet.get();
        Drop(d, picture);
        QCOMPARE(d.warnings, QStringList{"shot.png is not a texture listing"});
        // Another kind of picture: only those read replace a texture.
        WriteText(dir / "photo.gif", "GIF89a not a listing");
        QMimeData photo;
        photo.setUrls({QUrl::fromLocalFile(Q(dir / "photo.gif"))});
        Drop(d, &photo);
        QCOMPARE(d.warnings.last(), QString("photo.gif is not a texture listing; only PNG, JPEG, "
                                            "TGA, BMP or DDS images can replace a texture"));
        QCOMPARE(d.questions, 1);
        QCOMPARE(d.m_pTextureSet.get(), before);
        QCOMPARE(d.TreeModel()->rowCount(), 3);
        // A listing named otherwise is taken when its files lie beside it.
        std::filesystem::copy_file(dir / "world.txt", dir / "other.lst");
        std::filesystem::copy_file(dir / "world.etc.toc", dir / "other.lst.etc.toc");
        auto* other = new QMimeData;
        other->setUrls({QUrl::fromLocalFile(Q(dir / "other.lst"))});
        Drop(d, other);
        QCOMPARE(d.questions, 2);
        QCOMPARE(d.m_pTextureSet->ListingPath(), (dir / "other.lst").u16string());
        QVERIFY(CouldBeListing(u"/nowhere/LIST.TXT"));
        QVERIFY(!CouldBeListing(u"/nowhere/list.png"));

        // The same for a listing on the command line: a message, an empty dialog.
        TestApp app;
        app.m_startListing = (dir / "shot.png").u16string();
        QVERIFY(app.InitInstance());
        QCOMPARE(app.questions, 0);
        QCOMPARE(app.rows, 0);
        delete folder;
        delete text;
        delete file;
        delete picture;
        delete other;
    }

    void findFiltersTheTreeAndEscapeClearsIt() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(WriteExampleSet(dir)));
        TextureTreeModel& m = *d.TreeModel();
        const QRect tree = d.m_pTree->geometry();
        QVERIFY(!d.Features().finding->Field()->isVisible());

        d.m_pTree->setCurrentIndex(m.index(0, 0, m.index(1, 0)));  // stop
        QTest::keyClick(&d, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(d.Features().finding->Field()->isVisible());
        QVERIFY(d.Features().finding->Field()->hasFocus());
        QCOMPARE(d.Features().finding->Field()->geometry().bottom(), tree.bottom());
        QCOMPARE(d.m_pTree->geometry(), tree);

        QTest::keyClicks(d.Features().finding->Field(), "O");
        QCOMPARE(Rows(m), QStringList({"[+] streets", "  road", "[+] signs", "  stop", "  zero"}));
        QVERIFY(d.m_pTree->isExpanded(m.index(0, 0)));
        QVERIFY(d.m_pTree->isExpanded(m.index(1, 0)));
        QCOMPARE(d.m_pTree->currentIndex().data().toString(), QString("stop"));

        QTest::keyClick(d.Features().finding->Field(), Qt::Key_Backspace);
        QTest::keyClicks(d.Features().finding->Field(), "sT");
        QCOMPARE(Rows(m), QStringList({"[+] signs", "  stop", "stray"}));
        QCOMPARE(d.m_pTree->currentIndex().data().toString(), QString("stop"));
        // Enter goes to the next match, and round to the first.
        QTest::keyClick(d.Features().finding->Field(), Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(d.m_pTree->currentIndex().data().toString(), QString("stray"));
        QTest::keyClick(d.Features().finding->Field(), Qt::Key_Return);
        QCOMPARE(d.m_pTree->currentIndex().data().toString(), QString("stop"));
        QTest::keyClicks(d.Features().finding->Field(), "none");
        QCOMPARE(m.rowCount(), 0);
        QTest::keyClick(d.Features().finding->Field(), Qt::Key_Return);

        QTest::keyClick(d.Features().finding->Field(), Qt::Key_Escape);
        QVERIFY(!d.Features().finding->Field()->isVisible());
        QVERIFY(d.isVisible());
        QCOMPARE(Rows(m).size(), 7);  // 2 categories and 5 textures, stray at the root
        QCOMPARE(d.m_pTree->currentIndex().data().toString(), QString("stop"));
        QTest::keyClick(d.m_pTree, Qt::Key_Escape);
        QVERIFY(!d.isVisible());
    }

    void findAmongAHundredThousandTextures() {
        TempDir dir;
        std::string listing;
        for (int c = 0; c < 100; ++c) {
            listing += "cat=" + std::to_string(c) + " name=c" + std::to_string(c) + "\n";
        }
        for (int i = 0; i < 100000; ++i) {
            listing += "\"Texture_" + std::to_string(i) + "\" cat=" + std::to_string(i % 113) +
                       " width=1 height=1\n";
        }
        WriteText(dir / "big.txt", listing);
        ScriptedDialog d;
        d.paths << Q(dir / "big.txt");
        d.OnBrowse();
        TextureTreeModel& m = *d.TreeModel();
        // Narrower and wider texts in turn: each shows the same textures,
        // category by category, as a plain search finds.
        for (const std::string needle : {"TURE_1", "tURE_12", "ure_12", "e_999", "7"}) {
            m.SetFilter(std::u16string(needle.begin(), needle.end()));
            std::string lower = needle;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
            std::map<std::string, std::vector<std::string>> expected;
            for (int i = 0; i < 100000; ++i) {
                const std::string name = "Texture_" + std::to_string(i);
                if (("texture_" + std::to_string(i)).find(lower) != std::string::npos) {
                    const int c = i % 113;
                    expected[c < 100 ? "[+] c" + std::to_string(c) : ""].push_back(name);
                }
            }
            std::map<std::string, std::vector<std::string>> shown;
            for (int r = 0; r < m.rowCount(); ++r) {
                const QModelIndex row = m.index(r, 0);
                const std::string text = row.data().toString().toStdString();
                if (m.rowCount(row) == 0 && text.rfind("[+] ", 0) != 0) {
                    shown[""].push_back(text);
                    continue;
                }
                QVERIFY(m.rowCount(row) > 0);
                for (int k = 0; k < m.rowCount(row); ++k) {
                    shown[text].push_back(m.index(k, 0, row).data().toString().toStdString());
                }
            }
            QVERIFY2(shown == expected, needle.c_str());
        }
        m.SetFilter(u"TURE_12");
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Every shown texture finds its own node again.
        const std::size_t entry = 12345;
        const QModelIndex node = m.IndexOfEntry(entry);
        QCOMPARE(node.data(TextureTreeModel::ItemValueRole).toLongLong(), qlonglong(entry));
        QVERIFY(!m.IndexOfEntry(5).isValid());
    }

    void theNewestSelectionWins() {
        TempDir dir;
        std::string listing = "cat=0 name=all\n";
        for (int i = 0; i < 5; ++i) {
            listing +=
                "\"t" + std::to_string(i) + "\" width=" + std::to_string(i + 1) + " height=1\n";
        }
        WriteText(dir / "five.txt", listing);
        ScriptedDialog d;
        d.paths << Q(dir / "five.txt");
        d.OnBrowse();
        Show(d);
        QSignalSpy shown(&d, &CMarrowix::previewShown);
        const QModelIndex all = d.TreeModel()->index(0, 0);
        d.m_pTree->setCurrentIndex(d.TreeModel()->index(0, 0, all));
        // Down, as a held key delivers it: each selection shows its labels at
        // once; only the newest gets its image built.
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(d.m_pTree, Qt::Key_Down);
        }
        QCOMPARE(d.m_pTree->currentIndex().data().toString(), QString("t4"));
        QCOMPARE(qobject_cast<QLabel*>(d.GetDlgItem(IDC_DIMENSIONS))->text(),
                 QString("Dimensions: 5 x 1"));
        QCOMPARE(shown.count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown[0][0].value<std::size_t>(), std::size_t{4});
        QCOMPARE(d.Preview()->Image().width(), 5);
        QTest::keyClick(d.m_pTree, Qt::Key_Up);
        QCoreApplication::processEvents();
        QCOMPARE(shown.count(), 2);
        QCOMPARE(d.Preview()->Image().width(), 4);

        // A preview still to come of a set that is replaced is not built.
        d.m_pTree->setCurrentIndex(d.TreeModel()->index(0, 0, all));
        d.paths << Q(dir / "five.txt");
        d.OnBrowse();
        QCoreApplication::processEvents();
        QCOMPARE(shown.count(), 2);
    }
};

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
