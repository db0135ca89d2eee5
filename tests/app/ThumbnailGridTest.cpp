// The thumbnail grid: which textures it holds, how it drives the tree and
// follows it, what its cells paint, and that work on a set ends before the
// set goes.
#include <malloc.h>

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>
#include <QtTest>

#include "app/grid/ThumbnailGrid.h"
#include "app/preview/PreviewView.h"
#include "app/resources/Resource.h"
#include "app/session/SetReload.h"
#include "tests/TestFiles.h"
#include "tests/app/ViewerTestSupport.h"

using namespace marrowix;
using namespace marrowix::test;

namespace {

// An "etc" set: category "walls" of `walls` textures of 16 x 16 texels all
// `wallTexel`, category "floors" of 3 textures 8 x 4, and one texture at the
// root whose data lies past the data file's end.
std::filesystem::path GridSet(const TempDir& dir, int walls, std::uint16_t wallTexel,
                              const std::string& name = "world") {
    std::string listing = "cat=0 name=walls\ncat=1 name=floors\n";
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint8_t> data;
    auto add = [&](const std::string& entry, int cat, int w, int h, std::uint16_t texel) {
        listing += "\"" + entry + "\" cat=" + std::to_string(cat) + " width=" + std::to_string(w) +
                   " height=" + std::to_string(h) + "\n";
        offsets.push_back(static_cast<std::uint32_t>(data.size()));
        data.insert(data.end(), 8, 0);
        for (int i = 0; i < w * h; ++i) {
            data.push_back(static_cast<std::uint8_t>(texel));
            data.push_back(static_cast<std::uint8_t>(texel >> 8));
        }
    };
    add("floor0", 1, 8, 4, 0x0F0F);
    for (int i = 0; i < walls; ++i) {
        add("wall" + std::to_string(i), 0, 16, 16, wallTexel);
    }
    add("floor1", 1, 8, 4, 0x0F0F);
    add("floor2", 1, 8, 4, 0x0F0F);
    listing += "\"beyond\" cat=7 width=64 height=64\n";
    offsets.push_back(static_cast<std::uint32_t>(data.size()));
    WriteText(dir / (name + ".txt"), listing);
    std::vector<std::uint8_t> table = Le32({0, 0});  // the category lines'
    for (std::uint32_t o : offsets) {
        const auto le = Le32({o});
        table.insert(table.end(), le.begin(), le.end());
    }
    WriteBytes(dir / (name + ".etc.toc"), table);
    WriteBytes(dir / (name + ".etc.dat"), data);
    return dir / (name + ".txt");
}

QString Label(const CMarrowix& d, int id) {
    return qobject_cast<QLabel*>(d.GetDlgItem(id))->text();
}

// The colour painted at the centre of the image area of cell `position`.
QColor CellColour(ThumbnailGrid& grid, std::size_t position) {
    const QImage shot = grid.viewport()->grab().toImage();
    const QRect cell = grid.CellRect(position);
    const QPointF at =
        QPointF(cell.center().x(), cell.top() + cell.height() / 3.0) * shot.devicePixelRatio();
    return shot.pixelColor(at.toPoint());
}

void SelectCategory(CMarrowix& d, std::size_t category) {
    d.m_pTree->setCurrentIndex(d.TreeModel()->IndexOfCategory(category));
}

}  // namespace

class ThumbnailGridTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::platformName() == "offscreen"); }

    // G shows the grid of the selected category; a category node changes
    // it, the labels keep what they show; G again brings the preview back.
    void GridShowsTheChosenGroup() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(GridSet(dir, 12, 0xF00F)));
        ThumbnailGrid* grid = d.Features().survey->Grid();
        QTest::keyClick(&d, Qt::Key_G);
        QVERIFY(d.Features().survey->Showing());
        QVERIFY(!d.Preview()->isVisible());
        // Before any choice: every texture; moving in the grid keeps them all.
        QCOMPARE(grid->Entries().size(), std::size_t{16});
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(5).center());
        QCOMPARE(grid->Entries().size(), std::size_t{16});
        // A cell's tooltip: index, whole name, size, offset, and a problem.
        QVERIFY(grid->CellToolTip(5).startsWith(
            QString("#%1 %2\n")
                .arg(grid->Entries()[5])
                .arg(d.TreeModel()->data(d.m_pTree->currentIndex()).toString())));
        QVERIFY(grid->CellToolTip(5).contains(" x "));
        QVERIFY(grid->CellToolTip(5).contains(", offset 0x"));
        SelectCategory(d, 0);
        QCOMPARE(grid->Entries().size(), std::size_t{12});
        QCOMPARE(grid->Entries().front(), std::size_t{1});
        const QString dimensions = Label(d, IDC_DIMENSIONS);
        SelectCategory(d, 1);
        QCOMPARE(grid->Entries(), (std::vector<std::size_t>{0, 13, 14}));
        QCOMPARE(Label(d, IDC_DIMENSIONS), dimensions);  // categories leave the labels
        // A texture's own group; the root textures are a group of their own.
        d.m_pTree->setCurrentIndex(d.TreeModel()->IndexOfEntry(15));
        QCOMPARE(grid->Entries(), (std::vector<std::size_t>{15}));
        // While filtering: every match.
        d.Features().finding->Show();
        QTest::keyClicks(d.Features().finding->Field(), "wall1");
        QCOMPARE(grid->Entries(), (std::vector<std::size_t>{2, 11, 12}));
        // Letters that are keys elsewhere (G, E, D) are text in the field.
        d.Features().finding->Field()->clear();
        QTest::keyClicks(d.Features().finding->Field(), "beyond");
        QCOMPARE(d.Features().finding->Field()->text(), QString("beyond"));
        QCOMPARE(grid->Entries(), (std::vector<std::size_t>{15}));
        QVERIFY(d.Features().survey->Showing());
        QVERIFY(!d.Features().comparison->ShowingOther());
        d.Features().finding->Field()->clear();
        QTest::keyClicks(d.Features().finding->Field(), "g");
        QVERIFY(d.Features().survey->Showing());
        d.Features().finding->Hide();
        QTest::keyClick(&d, Qt::Key_G);
        QVERIFY(!d.Features().survey->Showing());
        QVERIFY(d.Preview()->isVisible());
    }

    // A click selects the texture in the tree (labels follow), arrows move
    // through the cells, Enter goes back to its single preview and never
    // ends the dialog; the tree's selection scrolls the grid to its cell.
    void GridDrivesTheTree() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(GridSet(dir, 200, 0xF00F)));
        SelectCategory(d, 0);
        d.Features().survey->Show(true);
        ThumbnailGrid* grid = d.Features().survey->Grid();
        grid->SetCellSize(64);
        const int columns = grid->Columns();
        QVERIFY(columns > 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(3).center());
        QCOMPARE(grid->Current(), std::optional<std::size_t>(4));
        QCOMPARE(d.TreeModel()->data(d.m_pTree->currentIndex()).toString(), QString("wall3"));
        QCOMPARE(Label(d, IDC_DIMENSIONS), QString("Dimensions: 16 x 16"));
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(grid->Current(), std::optional<std::size_t>(5));
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->Current(), std::optional<std::size_t>(5 + columns));
        QCOMPARE(d.TreeModel()->data(d.m_pTree->currentIndex()).toString(),
                 QString("wall%1").arg(4 + columns));
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->Current(), std::optional<std::size_t>(200));
        QVERIFY(grid->CellRect(199).bottom() < grid->viewport()->height());
        // The tree's selection scrolls the grid back to the first cell.
        d.m_pTree->setCurrentIndex(d.TreeModel()->IndexOfEntry(1));
        QCOMPARE(grid->Current(), std::optional<std::size_t>(1));
        QVERIFY(grid->CellRect(0).top() >= 0);
        QSignalSpy shown(&d, &CMarrowix::previewShown);
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), 0);
        QVERIFY(!d.Features().survey->Showing());
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(d.Preview()->Image().width(), 16);
        // Ctrl+wheel and the zoom keys change the cell size, within bounds.
        d.Features().survey->Show(true);
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(&d, Qt::Key_Plus, Qt::ControlModifier);
        }
        QCOMPARE(grid->CellSize(), ThumbnailGrid::kMaxCell);
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(&d, Qt::Key_Minus, Qt::ControlModifier);
        }
        QCOMPARE(grid->CellSize(), ThumbnailGrid::kMinCell);
    }

    // Cells paint their thumbnails in the view mode once they arrive, and a
    // mark on an entry whose data lies past the data file's end.
    void CellsPaintThumbnailsAndMarks() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(GridSet(dir, 3, 0xF00F)));  // red, opaque
        d.Features().survey->Show(true);
        ThumbnailGrid* grid = d.Features().survey->Grid();
        QTRY_VERIFY(grid->VisibleMade());
        QCOMPARE(grid->Entries()[1], std::size_t{2});  // wall1
        QCOMPARE(CellColour(*grid, 1), QColor(0xF0, 0, 0));
        QTest::keyClick(&d, Qt::Key_4);  // green alone, as grey
        QCOMPARE(CellColour(*grid, 1), QColor(0, 0, 0));
        QTest::keyClick(&d, Qt::Key_3);  // red alone: 0xF0 widened to 0xFF
        QCOMPARE(CellColour(*grid, 1), QColor(0xFF, 0xFF, 0xFF));
        QTest::keyClick(&d, Qt::Key_1);
        // At 8-bit precision the nibble is widened exactly.
        QTest::keyClick(&d, Qt::Key_Q);
        QTRY_VERIFY(grid->VisibleMade());
        QCOMPARE(CellColour(*grid, 1), QColor(0xFF, 0, 0));
        // "beyond", the last cell: the red corner of its mark.
        const std::size_t last = grid->Entries().size() - 1;
        const QImage shot = grid->viewport()->grab().toImage();
        const QPoint mark = grid->CellRect(last).topRight() + QPoint(-6, 6);
        QCOMPARE(shot.pixelColor(mark * shot.devicePixelRatio()), QColor(0xD0, 0x20, 0x20));
        const QPoint noMark = grid->CellRect(1).topRight() + QPoint(-6, 6);
        QVERIFY(shot.pixelColor(noMark * shot.devicePixelRatio()) != QColor(0xD0, 0x20, 0x20));
        QVERIFY(grid->CellToolTip(last).contains("\ndata past the end of "));
        QVERIFY(!grid->CellToolTip(1).contains("past the end"));
    }

    // A reload after one texture's data changed (the data file replaced by
    // rename) makes that thumbnail again and finds the others unchanged.
    void AReloadMakesOnlyChangedThumbnailsAgain() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(GridSet(dir, 3, 0xF00F)));  // red walls
        d.Features().survey->Show(true);
        ThumbnailGrid* grid = d.Features().survey->Grid();
        QTRY_VERIFY(grid->VisibleMade());
        const std::size_t made = grid->ThumbnailsMade();
        // wall1's texels (after floor0's 72 bytes and wall0's 520, and its
        // own 8-byte header) turned green.
        std::vector<std::uint8_t> data = ReadBytes(dir / "world.etc.dat");
        for (std::size_t at = 600; at < 600 + 512; at += 2) {
            data[at] = 0x0F;
            data[at + 1] = 0x0F;
        }
        WriteBytes(dir / "new.dat", data);
        std::filesystem::rename(dir / "new.dat", dir / "world.etc.dat");
        QSignalSpy reloaded(d.Features().reloading->Reloader(), &SetReload::reloaded);
        d.Features().reloading->Reload();
        QTRY_VERIFY(!reloaded.isEmpty());
        QTRY_VERIFY(grid->VisibleMade());
        QCOMPARE(grid->ThumbnailsMade(), made + 1);
        QCOMPARE(CellColour(*grid, 1), QColor(0, 0xF0, 0));
        QCOMPARE(CellColour(*grid, 2), QColor(0xF0, 0, 0));
    }

    // A reload keeps the grid where the user scrolled it.
    void AReloadKeepsTheGridsScroll() {
        TempDir dir;
        ScriptedDialog d;
        OpenShown(d, Q(GridSet(dir, 3000, 0xF00F)));
        d.Features().survey->Show(true);
        QScrollBar* bar = d.Features().survey->Grid()->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 1000);
        bar->setValue(bar->maximum() / 2);
        const int top = bar->value();
        QSignalSpy reloaded(d.Features().reloading->Reloader(), &SetReload::reloaded);
        d.Features().reloading->Reload();
        QTRY_VERIFY(!reloaded.isEmpty());
        QCOMPARE(bar->value(), top);
    }

    // A set replaced by Browse: work on the old one ends first, and no
    // thumbnail of it is shown; a category changed meanwhile shows only the
    // new category's.
    void ReplacingTheSetCancelsItsWork() {
        TempDir dirA;
        TempDir dirB;
        ScriptedDialog d;
        OpenShown(d, Q(GridSet(dirA, 3000, 0xF00F, "red")));  // red
        SelectCategory(d, 0);
        d.Features().survey->Show(true);
        ThumbnailGrid* grid = d.Features().survey->Grid();
        grid->SetCellSize(48);
        SelectCategory(d, 1);
        SelectCategory(d, 0);
        d.paths << Q(GridSet(dirB, 5, 0x0F0F, "green"));  // green
        d.OnBrowse();
        QCOMPARE(grid->Entries().size(), std::size_t{9});
        QTRY_VERIFY(grid->VisibleMade());
        QTest::qWait(50);  // anything of the old set still on its way
        QCOMPARE(CellColour(*grid, 1), QColor(0, 0xF0, 0));
        for (std::size_t p = 0; p < grid->Entries().size(); ++p) {
            QVERIFY(CellColour(*grid, p) != QColor(0xF0, 0, 0));
        }
    }

    // Scrolling through a category of many textures keeps the cache within
    // its budget.
    void CacheStaysWithinItsBudget() {
        TempDir dir;
        const SharedSet set = OpenSet(GridSet(dir, 2000, 0xF00F), "etc");
        ThumbnailGrid grid(nullptr, 2 << 20);
        grid.resize(400, 300);
        grid.SetCellSize(48);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        std::vector<std::size_t> entries(2000);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i] = i + 1;
        }
        grid.SetTextures(set, entries);
        QTRY_VERIFY(grid.VisibleMade());
        const std::size_t heap = mallinfo2().uordblks;
        for (int step = 0; step < 60; ++step) {
            QTRY_VERIFY(grid.VisibleMade());
            QVERIFY(grid.CacheBytes() <= grid.CacheBudget());
            QTest::keyClick(&grid, Qt::Key_PageDown);
        }
        // What the cache counts is what its cells take, the images painted
        // of them included: the heap grew by about its budget (it grew by
        // twice that when the painted images went uncounted).
        QVERIFY(grid.CacheBytes() > grid.CacheBudget() * 3 / 4);
        QVERIFY2(mallinfo2().uordblks - heap < grid.CacheBudget() * 3 / 2,
                 qPrintable(QString::number(mallinfo2().uordblks - heap)));
        grid.ForgetSet();
        QCOMPARE(grid.CacheBytes(), std::size_t{0});
    }
};

QTEST_MAIN(ThumbnailGridTest)
#include "ThumbnailGridTest.moc"
