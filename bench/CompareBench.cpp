// Timings of comparison, on sets in the page cache:
//   QT_QPA_PLATFORM=offscreen build/default/bench/marrowix_compare_bench
// - comparing the two encodings of a set of 1 GiB of "etc" data (and its
//   512 MiB of "dxt" blocks) on every core, against reading both data files
//   on one thread and on every core;
// - in the viewer, selecting a 4096 x 4096 texture until it is painted, and
//   flipping (E) to its other encoding until that is painted, from each
//   encoding.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "DialogPaint.h"
#include "Machine.h"
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
#include "app/tree/TextureTreeModel.h"
#include "compare/Compare.h"
#include "compare/MeasureKernels.h"
#include "decode/Decode.h"
#include "platform/ProcessMemory.h"

namespace {

using namespace marrowix;
namespace fs = std::filesystem;

// Loads the encoding it is made with.
class AnsweringDialog : public CMarrowix {
public:
    explicit AnsweringDialog(bool dxt) : m_dxt(dxt) {}

protected:
    bool AskLoadDxt() override { return m_dxt; }
    void ShowWarning(const QString&) override {}

private:
    bool m_dxt;
};

void WriteRandom(const fs::path& path, std::uint64_t bytes, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<std::uint64_t> chunk(std::size_t{1} << 20);
    std::ofstream out(path, std::ios::binary);
    for (std::uint64_t done = 0; done < bytes;) {
        for (auto& v : chunk) {
            v = random();
        }
        const std::uint64_t n = std::min<std::uint64_t>(bytes - done, chunk.size() * 8);
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(n));
        done += n;
    }
}

// A set of `count` textures of w x h in both encodings, their data one
// after another; returns its listing.
fs::path WriteSet(const fs::path& dir, const std::string& name, int count, std::uint32_t w,
                  std::uint32_t h) {
    std::string listing;
    std::vector<std::uint32_t> etc;
    std::vector<std::uint32_t> dxt;
    for (int i = 0; i < count; ++i) {
        listing += "\"t" + std::to_string(i) + "\" width=" + std::to_string(w) +
                   " height=" + std::to_string(h) + "\n";
        etc.push_back(static_cast<std::uint32_t>(i * (8 + std::uint64_t{w} * h * 2)));
        dxt.push_back(static_cast<std::uint32_t>(i * (8 + BlockDataSize(w, h))));
    }
    std::ofstream(dir / (name + ".txt")) << listing;
    std::ofstream(dir / (name + ".etc.toc"), std::ios::binary)
        .write(reinterpret_cast<const char*>(etc.data()),
               static_cast<std::streamsize>(etc.size() * 4));
    std::ofstream(dir / (name + ".dxt.toc"), std::ios::binary)
        .write(reinterpret_cast<const char*>(dxt.data()),
               static_cast<std::streamsize>(dxt.size() * 4));
    WriteRandom(dir / (name + ".etc.dat"), count * (8 + std::uint64_t{w} * h * 2), 1);
    WriteRandom(dir / (name + ".dxt.dat"), count * (8 + BlockDataSize(w, h)), 2);
    return dir / (name + ".txt");
}

double Seconds(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads part `part` of `parts` of each file, 1 MiB at a time.
void ReadPart(const std::vector<fs::path>& paths, unsigned part, unsigned parts) {
    std::vector<char> buffer(std::size_t{1} << 20);
    for (const fs::path& path : paths) {
        const std::uint64_t size = fs::file_size(path);
        const std::uint64_t from = size / parts * part;
        const std::uint64_t to = part + 1 == parts ? size : size / parts * (part + 1);
        std::ifstream in(path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(from));
        for (std::uint64_t at = from; at < to && in; at += buffer.size()) {
            in.read(buffer.data(),
                    static_cast<std::streamsize>(std::min<std::uint64_t>(buffer.size(), to - at)));
        }
    }
}

// Reads the files whole, on `threads` threads that each read a part of
// every file.
void ReadAll(const std::vector<fs::path>& paths, unsigned threads) {
    std::vector<std::thread> others;
    for (unsigned t = 1; t < threads; ++t) {
        others.emplace_back(ReadPart, std::cref(paths), t, threads);
    }
    ReadPart(paths, 0, threads);
    for (std::thread& t : others) {
        t.join();
    }
}

using marrowix::bench::Paint;

}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    QApplication app(argc, argv);
    const fs::path dir =
        fs::temp_directory_path() / ("marrowix-compare-" + std::to_string(getpid()));
    fs::create_directories(dir);
    bench::PrintMachine();
    std::printf("measure path %s\n", DescribeMeasurePath().c_str());

    // 64 textures of 2048 x 4096: 1 GiB of "etc" texels, 512 MiB of blocks;
    // measured by each vector path the processor has, the chosen one last.
    const fs::path listing = WriteSet(dir, "big", 64, 2048, 4096);
    const MeasurePath chosen = ActiveMeasurePath();
    std::vector<MeasurePath> paths;
    for (MeasurePath path : AvailableMeasurePaths()) {
        if (path != MeasurePath::kScalar && path != chosen) {
            paths.push_back(path);
        }
    }
    paths.push_back(chosen);
    for (MeasurePath path : paths) {
        ForceMeasurePath(path);
        const std::vector<fs::path> files = {dir / "big.etc.dat", dir / "big.dxt.dat"};
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        std::vector<double> reads;
        std::vector<double> parallelReads;
        std::vector<double> compares;
        for (int run = 0; run < 5; ++run) {
            reads.push_back(Seconds([&] { ReadAll(files, 1); }));
            parallelReads.push_back(Seconds([&] { ReadAll(files, cores); }));
            compares.push_back(Seconds([&] {
                CTextureSet dxt;
                CTextureSet etc;
                OpenTextureSet(dxt, FromNativePath(listing.string()), u"dxt");
                OpenTextureSet(etc, FromNativePath(listing.string()), u"etc");
                std::vector<std::pair<std::size_t, std::size_t>> pairs;
                for (std::size_t i = 0; i < 64; ++i) {
                    pairs.emplace_back(i, i);
                }
                ComparePairs(dxt, etc, pairs);
            }));
        }
        for (auto* times : {&reads, &parallelReads, &compares}) {
            std::sort(times->begin(), times->end());
        }
        std::printf(
            "compare the encodings of 1 GiB of etc data (and 512 MiB of dxt), measure path %s: "
            "%.0f ms; reading both data files on one thread %.0f ms (%.2f x), on every core "
            "%.0f ms (%.2f x) (medians of 5)\n",
            MeasurePathName(path), compares[2] * 1e3, reads[2] * 1e3, compares[2] / reads[2],
            parallelReads[2] * 1e3, compares[2] / parallelReads[2]);
    }

    // The viewer: a selection against the flip, from each encoding; a flip
    // shows the texture selected in the other encoding.
    const fs::path large = WriteSet(dir, "large", 2, 4096, 4096);
    for (const bool dxt : {false, true}) {
        AnsweringDialog dialog(dxt);
        dialog.show();
        QApplication::processEvents();
        dialog.LoadTextureSet(QString::fromStdString(large.string()));
        Paint(dialog);
        std::vector<double> selects;
        std::vector<double> flips;
        QElapsedTimer timer;
        for (int run = 0; run < 6; ++run) {
            timer.start();
            dialog.m_pTree->setCurrentIndex(dialog.TreeModel()->index(run % 2, 0));
            Paint(dialog);
            selects.push_back(timer.nsecsElapsed() / 1e6);
            timer.start();
            dialog.Features().viewing->FlipSource();
            Paint(dialog);
            flips.push_back(timer.nsecsElapsed() / 1e6);
            dialog.Features().viewing->FlipSource();
            Paint(dialog);
        }
        // The difference view: 7 until its image is painted (its measures
        // come later, off the dialog's thread), then D and T, which paint
        // the same two images again.
        std::vector<double> differences;
        std::vector<double> steps;
        for (int run = 0; run < 6; ++run) {
            dialog.m_pTree->setCurrentIndex(dialog.TreeModel()->index(run % 2, 0));
            Paint(dialog);
            timer.start();
            dialog.Features().viewing->SetViewMode(ViewMode::kDifference);
            Paint(dialog);
            differences.push_back(timer.nsecsElapsed() / 1e6);
            // D and T once the measures are in, as a person would press them.
            while (dialog.Preview()->ReadoutText().contains(QStringLiteral("measuring..."))) {
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
            timer.start();
            dialog.Features().viewing->StepDifferenceScale();
            Paint(dialog);
            steps.push_back(timer.nsecsElapsed() / 1e6);
            timer.start();
            dialog.Features().viewing->ToggleDifferenceThreshold();
            Paint(dialog);
            steps.push_back(timer.nsecsElapsed() / 1e6);
            dialog.Features().viewing->ToggleDifferenceThreshold();
            dialog.Features().viewing->SetViewMode(ViewMode::kRgb);
            Paint(dialog);
        }
        std::sort(selects.begin(), selects.end());
        std::sort(flips.begin(), flips.end());
        std::sort(differences.begin(), differences.end());
        std::sort(steps.begin(), steps.end());
        std::printf(
            "viewer, 4096 x 4096: select in %s %.1f ms, flip (E) to %s %.1f ms (medians of 6)\n",
            dxt ? "dxt" : "etc", selects[3], dxt ? "etc" : "dxt", flips[3]);
        std::printf(
            "viewer, 4096 x 4096 in %s: difference view (7) painted %.1f ms (%.2f x the flip), "
            "D or T %.1f ms (medians of 6 and 12)\n",
            dxt ? "dxt" : "etc", differences[3], differences[3] / flips[3], steps[6]);
    }
    fs::remove_all(dir);
    return 0;
}
