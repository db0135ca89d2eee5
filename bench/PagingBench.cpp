// The viewer's memory while paging through the grid of a large set, through
// the real dialog, under whatever platform is given (offscreen, or an X
// server: run under Xvfb or a desktop session):
//   build/default/bench/marrowix_paging_bench [-platform xcb] [pages]
// A "dxt" set of 120,000 textures of 64 x 64 (sharing 64 distinct data
// blocks, so that it stays in the page cache); the grid over every texture
// paged down `pages` times (600 by default), each page painted with its
// thumbnails. Printed every 100 pages: the resident memory added since the
// grid first showed, the heap in use and held free by the C library, and the
// grid's cache, so that growth can be told apart: ours (cache), the C
// library's (free but kept), or beyond the heap (Qt, the X connection).
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "DialogPaint.h"
#include "ProcessStatus.h"
#include "app/MainDialog.h"
#include "app/features/Comparison.h"
#include "app/features/Finding.h"
#include "app/features/Reloading.h"
#include "app/features/Replacing.h"
#include "app/features/SaveAndCopy.h"
#include "app/features/Session.h"
#include "app/features/Statistics.h"
#include "app/features/Survey.h"
#include "app/features/Viewing.h"
#include "app/grid/ThumbnailGrid.h"
#include "platform/ProcessMemory.h"

namespace {

namespace fs = std::filesystem;
using namespace marrowix;

class AnsweringDialog : public CMarrowix {
protected:
    bool AskLoadDxt() override { return true; }
    void ShowWarning(const QString&) override {}
};

fs::path WriteSet(const fs::path& dir, std::size_t count) {
    std::string listing;
    for (std::size_t i = 0; i < count; ++i) {
        listing += "\"tile_" + std::to_string(i) + "\" width=64 height=64\n";
    }
    std::ofstream(dir / "big.txt", std::ios::binary) << listing;
    const std::uint64_t bytes = 8 + BlockDataSize(64, 64);
    std::vector<std::uint32_t> table(count);
    for (std::size_t i = 0; i < count; ++i) {
        table[i] = static_cast<std::uint32_t>((i % 64) * bytes);
    }
    std::ofstream(dir / "big.dxt.toc", std::ios::binary)
        .write(reinterpret_cast<const char*>(table.data()),
               static_cast<std::streamsize>(table.size() * 4));
    std::mt19937_64 random(3);
    std::string data(64 * bytes, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    std::ofstream(dir / "big.dxt.dat", std::ios::binary) << data;
    return dir / "big.txt";
}

long ResidentKiB() {
    return bench::StatusKiB("VmRSS:");
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, std::atoi(argv[argc - 1])) : 600;
    const fs::path dir =
        fs::temp_directory_path() / ("marrowix-paging-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path listing = WriteSet(dir, 120000);
    AnsweringDialog dialog;
    dialog.show();
    dialog.LoadTextureSet(QString::fromStdString(listing.string()));
    dialog.Features().survey->Show(true);
    ThumbnailGrid* grid = dialog.Features().survey->Grid();
    grid->setFocus();
    auto settle = [&] {
        QElapsedTimer timer;
        timer.start();
        do {
            bench::Paint(dialog);
        } while (!grid->VisibleMade() && timer.elapsed() < 5000);
    };
    settle();
    const long base = ResidentKiB();
    std::printf("platform %s, %zu textures in the grid, %d cores; resident %.1f MiB at the start\n",
                qPrintable(QGuiApplication::platformName()), grid->Entries().size(),
                static_cast<int>(std::thread::hardware_concurrency()), base / 1024.0);
    std::printf("pages  added MiB  heap in use  heap free  cache MiB\n");
    for (int page = 1; page <= pages; ++page) {
        QTest::keyClick(grid, Qt::Key_PageDown);
        settle();
        if (page % 100 == 0 || page == pages) {
            const struct mallinfo2 heap = mallinfo2();
            std::printf("%5d  %9.1f  %11.1f  %9.1f  %9.1f\n", page, (ResidentKiB() - base) / 1024.0,
                        heap.uordblks / 1048576.0, heap.fordblks / 1048576.0,
                        grid->CacheBytes() / 1048576.0);
        }
    }
    fs::remove_all(dir);
    return 0;
}
