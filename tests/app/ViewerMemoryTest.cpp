// The viewer when memory runs out: it shows what fits, says so once, and
// stays up.
#include <sys/resource.h>

#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include "app/MemoryRoom.h"
#include "app/tree/TextureTreeModel.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

using namespace marrowix;
using namespace marrowix::test;

namespace {

// A dialog told that memory holds the tree of only `room` textures.
class TightDialog : public ScriptedDialog {
public:
    std::size_t room = 2;

protected:
    std::size_t ShowableTextures(std::size_t count) override { return std::min(count, room); }
};

}  // namespace

class ViewerMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    void theTreeShowsTheFirstTexturesThatFit() {
        TempDir dir;
        TightDialog d;
        QCOMPARE(d.LoadTextureSet(Q(WriteExampleSet(dir)), kModeEtc), 5);
        QCOMPARE(d.warnings,
                 QStringList{"not enough memory to show all 5 textures; showing the first 2"});
        const TextureTreeModel& m = *d.TreeModel();
        QCOMPARE(Rows(m), QStringList({"[+] streets", "  road", "[+] signs", "  stop"}));
        QVERIFY(!m.IndexOfEntry(2).isValid());
        // The find field looks among what is shown.
        d.Features().finding->Show();
        d.Features().finding->Field()->setText("t");
        QCOMPARE(Rows(m), QStringList({"[+] signs", "  stop"}));
        d.Features().finding->Hide();

        // With the missing files, one warning says both.
        std::filesystem::remove(dir / "world.etc.dat");
        d.warnings.clear();
        d.room = 0;
        d.LoadTextureSet(Q(dir / "world.txt"), kModeEtc);
        QCOMPARE(d.warnings.size(), 1);
        QVERIFY(d.warnings[0].contains("world.etc.dat"));
        QVERIFY(
            d.warnings[0].endsWith("not enough memory to show all 5 textures; showing the "
                                   "first 0"));
        QCOMPARE(Rows(m), QStringList({"[+] streets", "[+] signs"}));

        // Room enough: no word of memory.
        ScriptedDialog roomy;
        WriteExampleSet(dir);
        roomy.LoadTextureSet(Q(dir / "world.txt"), kModeEtc);
        QVERIFY(roomy.warnings.isEmpty());
        QCOMPARE(roomy.TreeModel()->ShownTextures(), std::size_t{5});
    }

    void roomIsAskedForNotAssumed() {
        QVERIFY(RoomFor(1 << 20));
        QCOMPARE(TexturesThatFit(1000), std::size_t{1000});
#ifndef MARROWIX_ASAN  // whose allocator ends the process instead of failing
        QVERIFY(!RoomFor(SIZE_MAX / 2));
        // A count whose tree no address space holds halves until one does.
        const std::size_t huge = SIZE_MAX / kTreeBytesPerTexture;
        QVERIFY(TexturesThatFit(huge) < huge);
#endif
    }

    // The real program on a listing that fills its address space: the reader
    // stops at the limit, the tree shows what fits, and the window stays up
    // with the warning open.
    void theViewerStaysUpWhenMemoryRunsOut() {
#ifdef MARROWIX_ASAN
        QSKIP("the address sanitizer reserves more address space than the limit");
#else
        TempDir dir;
        std::string text = "\"t\" width=1 height=1\n";
        text.reserve(24 << 20);
        for (int i = 0; i < 6000000; ++i) {
            text += "\"t\"\n";  // at the root, each taking the size of the first
        }
        WriteText(dir / "huge.txt", text);
        QProcess viewer;
        viewer.setChildProcessModifier([] {
            const rlimit limit{rlim_t{400} << 20, rlim_t{400} << 20};
            ::setrlimit(RLIMIT_AS, &limit);
        });
        viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        viewer.start(MARROWIX_VIEWER_PATH, {"--mode", "dxt", Q(dir / "huge.txt")});
        QVERIFY(viewer.waitForStarted(10000));
        QVERIFY(!viewer.waitForFinished(5000));  // still running after 5 seconds
        QCOMPARE(viewer.state(), QProcess::Running);
        viewer.kill();
        viewer.waitForFinished(10000);
#endif
    }
};

QTEST_MAIN(ViewerMemoryTest)
#include "ViewerMemoryTest.moc"
