// Timings of the thumbnail grid, offscreen, on sets in the page cache:
//   QT_QPA_PLATFORM=offscreen build/default/bench/marrowix_grid_bench
// - a 1000 x 800 grid of 128-pixel cells over 1,000 "dxt" textures of
//   1024 x 1024 and of 4096 x 4096: from the textures given to every visible
//   thumbnail painted, and the bytes read from the data file a thumbnail;
// - scrolling by one screen over 100,000 textures of 64 x 64: the frame with
//   placeholders, and the frame with the thumbnails;
// - the memory the grid adds over a category of 1,000,000 textures while
//   scrolling through 200 screens, against its cache's budget.
// Textures of a set share a few distinct data blocks (the offset table
// points many entries at each), so that the sets fit the page cache.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ProcessStatus.h"
#include "app/grid/ThumbnailGrid.h"
#include "platform/ProcessMemory.h"

namespace {

using namespace marrowix;
namespace fs = std::filesystem;

// A "dxt" set of `count` textures of side x side sharing `distinct` blocks
// of random data; returns its listing.
fs::path WriteSet(const fs::path& dir, const std::string& name, std::size_t count,
                  std::uint32_t side, std::size_t distinct) {
    std::string listing;
    listing.reserve(count * 40);
    for (std::size_t i = 0; i < count; ++i) {
        listing += "\"t" + std::to_string(i) + "\" width=" + std::to_string(side) +
                   " height=" + std::to_string(side) + "\n";
    }
    std::ofstream(dir / (name + ".txt"), std::ios::binary) << listing;
    const std::uint64_t bytes = 8 + BlockDataSize(side, side);
    std::vector<std::uint32_t> table(count);
    for (std::size_t i = 0; i < count; ++i) {
        table[i] = static_cast<std::uint32_t>((i % distinct) * bytes);
    }
    std::ofstream(dir / (name + ".dxt.toc"), std::ios::binary)
        .write(reinterpret_cast<const char*>(table.data()),
               static_cast<std::streamsize>(table.size() * 4));
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> data((distinct * bytes + 7) / 8);
    for (auto& v : data) {
        v = random();
    }
    std::ofstream(dir / (name + ".dxt.dat"), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(distinct * bytes));
    return dir / (name + ".txt");
}

std::vector<std::size_t> AllEntries(const CTextureSet& set) {
    std::vector<std::size_t> entries(set.GetEntryCount());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = i;
    }
    return entries;
}

// Handles events until every visible cell is made, then paints; the time
// from `timer`'s start in milliseconds.
double UntilPainted(ThumbnailGrid& grid, const QElapsedTimer& timer) {
    while (!grid.VisibleMade()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    grid.viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

using bench::StatusKiB;

struct Grid {
    ThumbnailGrid view;
    Grid() {
        view.resize(1000, 800);
        view.show();
        QApplication::processEvents();
    }
};

void ToggleFigure(const fs::path& dir, std::uint32_t side, std::size_t distinct) {
    const fs::path listing = WriteSet(dir, "s" + std::to_string(side), 1000, side, distinct);
    const auto set = std::make_shared<CTextureSet>();
    OpenTextureSet(*set, FromNativePath(listing.string()), u"dxt");
    std::vector<double> times;
    double bytesPer = 0;
    for (int run = 0; run < 5; ++run) {
        Grid grid;  // a fresh grid: nothing cached
        int arrived = 0;
        QObject::connect(&grid.view, &ThumbnailGrid::thumbnailArrived, [&] { ++arrived; });
        QElapsedTimer timer;
        timer.start();
        grid.view.SetTextures(set, AllEntries(*set));
        times.push_back(UntilPainted(grid.view, timer));
        QApplication::processEvents();
        bytesPer = arrived > 0 ? double(grid.view.BytesRead()) / arrived : 0;
        grid.view.ForgetSet();
    }
    std::printf(
        "grid of 1,000 textures %u x %u: visible thumbnails painted in %.1f ms (median "
        "of 5); %.0f bytes read a thumbnail of %llu\n",
        side, side, Median(times), bytesPer,
        static_cast<unsigned long long>(BlockDataSize(side, side)));
}

void ScrollFigure(const fs::path& dir) {
    const fs::path listing = WriteSet(dir, "many", 100000, 64, 64);
    const auto set = std::make_shared<CTextureSet>();
    OpenTextureSet(*set, FromNativePath(listing.string()), u"dxt");
    Grid grid;
    QElapsedTimer first;
    first.start();
    grid.view.SetTextures(set, AllEntries(*set));
    UntilPainted(grid.view, first);
    std::vector<double> placeholders;
    std::vector<double> thumbnails;
    for (int screen = 0; screen < 20; ++screen) {
        QScrollBar* bar = grid.view.verticalScrollBar();
        QElapsedTimer timer;
        timer.start();
        bar->setValue(bar->value() + bar->pageStep());
        grid.view.viewport()->repaint();
        placeholders.push_back(timer.nsecsElapsed() / 1e6);
        thumbnails.push_back(UntilPainted(grid.view, timer));
    }
    std::printf(
        "scrolling one screen over 100,000 textures of 64 x 64: placeholders painted in "
        "%.2f ms, thumbnails in %.1f ms (medians of 20)\n",
        Median(placeholders), Median(thumbnails));
    grid.view.ForgetSet();
}

void MemoryFigure(const fs::path& dir) {
    const fs::path listing = WriteSet(dir, "million", 1000000, 16, 64);
    const auto set = std::make_shared<CTextureSet>();
    OpenTextureSet(*set, FromNativePath(listing.string()), u"dxt");
    Grid grid;
    grid.view.SetCellSize(48);
    QApplication::processEvents();
    std::vector<std::size_t> entries = AllEntries(*set);  // the tree's, given to the grid
    const long before = StatusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    grid.view.SetTextures(set, std::move(entries));
    UntilPainted(grid.view, timer);
    long peak = StatusKiB("VmRSS:");
    for (int screen = 0; screen < 200; ++screen) {
        QScrollBar* bar = grid.view.verticalScrollBar();
        bar->setValue(bar->value() + bar->pageStep());
        UntilPainted(grid.view, timer);
        peak = std::max(peak, StatusKiB("VmRSS:"));
    }
    std::printf(
        "a grid over 1,000,000 textures, 200 screens scrolled: %.1f MiB added at most, "
        "its list of entries included (cache %.1f of its %.0f MiB budget)\n",
        (peak - before) / 1024.0, grid.view.CacheBytes() / 1048576.0,
        grid.view.CacheBudget() / 1048576.0);
    grid.view.ForgetSet();
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    QApplication app(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("marrowix-grid-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::printf("%u cores\n", std::thread::hardware_concurrency());
    ToggleFigure(dir, 1024, 16);
    ToggleFigure(dir, 4096, 2);
    ScrollFigure(dir);
    MemoryFigure(dir);
    fs::remove_all(dir);
    return 0;
}
