// Timings of the viewer on large sets, through the real dialog:
//   QT_QPA_PLATFORM=offscreen build/default/bench/marrowix_viewer_bench
// - a listing of 1,000,000 textures in 1,000 categories, from the chosen
//   path to the tree painted; expanding every category; replacing the set
//   by another of the same size with every category expanded;
// - selecting a 4096 x 4096 "dxt" texture until its image is painted,
//   against a memory copy and against decoding it plus one paint;
// - repainting the view of it at zoom 1/16, 1/4, 1/2 (each pixel the
//   average of its texels), 1 and 32, and the readout following the pointer
//   over it;
// - replacing that texture (both encodings) by a 4096 x 4096 photographic
//   PNG through Replace texture..., from the command to the new set shown.
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "BenchImages.h"
#include "DialogPaint.h"
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
#include "app/preview/PreviewView.h"
#include "app/tree/TextureTreeModel.h"
#include "decode/Decode.h"
#include "platform/ProcessMemory.h"
#include "textureset/PreviewImage.h"

namespace {

using marrowix::CMarrowix;

class AnsweringDialog : public CMarrowix {
public:
    bool dxt = true;
    QString image;
    QString newSet;

protected:
    bool AskLoadDxt() override { return dxt; }
    void ShowWarning(const QString&) override {}
    QString PromptImagePath() override { return image; }
    QString PromptNewSetPath(const QString&) override { return newSet; }
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string RandomBytes(std::size_t n) {
    std::mt19937 random(99);
    std::string bytes(n, '\0');
    for (auto& b : bytes) {
        b = static_cast<char>(random());
    }
    return bytes;
}

// 1,000 category lines, then 1,000,000 textures spread over them.
void WriteLargeListing(const std::filesystem::path& path) {
    std::string text;
    for (int c = 0; c < 1000; ++c) {
        text += "cat=" + std::to_string(c) + " name=category_" + std::to_string(c) + "\n";
    }
    for (int i = 0; i < 1000000; ++i) {
        text += "\"texture_" + std::to_string(i) + "\" cat=" + std::to_string((i * 7) % 1000) +
                " width=64 height=64\n";
    }
    WriteFile(path, text);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Lets what is pending (a preview to build) happen, then paints.
using marrowix::bench::Paint;

}  // namespace

int main(int argc, char** argv) {
    marrowix::KeepFreedMemoryForReuse();
    QApplication application(argc, argv);
    const auto dir = std::filesystem::temp_directory_path() /
                     ("marrowix-viewer-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    WriteLargeListing(dir / "a.txt");
    std::filesystem::copy_file(dir / "a.txt", dir / "b.txt");
    WriteFile(dir / "large.txt", "\"large\" width=4096 height=4096\n");
    WriteFile(dir / "large.dxt.toc", std::string(4, '\0'));
    WriteFile(dir / "large.dxt.dat", RandomBytes(8 + marrowix::BlockDataSize(4096, 4096)));
    WriteFile(dir / "large.etc.toc", std::string(4, '\0'));
    WriteFile(dir / "large.etc.dat", RandomBytes(8 + std::size_t{4096} * 4096 * 2));

    AnsweringDialog dialog;
    dialog.show();
    QApplication::processEvents();

    std::vector<double> load;
    std::vector<double> expand;
    std::vector<double> replace;
    std::vector<double> select;
    std::vector<double> decode;
    std::vector<double> paintOnce;
    QElapsedTimer timer;
    for (int round = 0; round < 3; ++round) {
        timer.start();
        dialog.LoadTextureSet(QString::fromStdString((dir / "a.txt").string()));
        Paint(dialog);
        load.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        dialog.m_pTree->expandAll();
        Paint(dialog);
        expand.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        dialog.LoadTextureSet(QString::fromStdString((dir / "b.txt").string()));
        Paint(dialog);
        replace.push_back(timer.nsecsElapsed() / 1e6);

        dialog.LoadTextureSet(QString::fromStdString((dir / "large.txt").string()));
        Paint(dialog);
        timer.start();
        dialog.m_pTree->setCurrentIndex(dialog.TreeModel()->index(0, 0));
        Paint(dialog);
        select.push_back(timer.nsecsElapsed() / 1e6);
        // What a selection is measured against: decoding the texture's
        // preview as the core does, and one paint of the dialog showing it.
        timer.start();
        const auto decoded = marrowix::BuildPreviewDib(*dialog.m_pTextureSet, 0);
        decode.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        dialog.repaint();
        paintOnce.push_back(timer.nsecsElapsed() / 1e6);
        (void)decoded;
    }
    // Typing into the find field over a million textures: each keystroke
    // filters the tree and paints it (matching categories opened).
    dialog.LoadTextureSet(QString::fromStdString((dir / "a.txt").string()));
    Paint(dialog);
    dialog.Features().finding->Show();
    struct Keystroke {
        QString text;
        double ms;
        int rows;
    };
    std::vector<Keystroke> keystrokes;
    QString typed;
    for (const QChar c : QStringLiteral("texture_4242")) {
        typed += c;
        timer.start();
        dialog.Features().finding->Field()->setText(typed);
        Paint(dialog);
        keystrokes.push_back({typed, timer.nsecsElapsed() / 1e6, dialog.TreeModel()->rowCount()});
    }
    timer.start();
    dialog.Features().finding->Hide();
    Paint(dialog);
    keystrokes.push_back(
        {QStringLiteral("(cleared)"), timer.nsecsElapsed() / 1e6, dialog.TreeModel()->rowCount()});
    for (const Keystroke& k : keystrokes) {
        std::printf("filter 1,000,000 textures by %-15s %6.1f ms, %4d root rows\n",
                    qPrintable("\"" + k.text + "\":"), k.ms, k.rows);
    }
    dialog.LoadTextureSet(QString::fromStdString((dir / "large.txt").string()));
    Paint(dialog);
    dialog.m_pTree->setCurrentIndex(dialog.TreeModel()->index(0, 0));
    Paint(dialog);

    // The selected 4096 x 4096 texture: a full repaint of the view at the
    // smallest, real and largest zoom, and the pointer moving over it.
    marrowix::PreviewView& view = *dialog.Preview();
    dialog.resize(1280, 900);
    QApplication::processEvents();
    struct Zoom {
        const char* name;
        int steps;  // from real size; negative: out
    };
    // The halved levels for zooming out are made on the first paint below
    // 100%, once for the image: that paint is reported on its own.
    bool levelsMade = false;
    for (const Zoom zoom :
         {Zoom{"1/16", -4}, Zoom{"1/4", -2}, Zoom{"1/2", -1}, Zoom{"1", 0}, Zoom{"32", 5}}) {
        view.RealSize();
        for (int i = 0; i < std::abs(zoom.steps); ++i) {
            zoom.steps < 0 ? view.ZoomOut() : view.ZoomIn();
        }
        if (zoom.steps < 0 && !levelsMade) {
            timer.start();
            view.viewport()->repaint();
            std::printf("first paint below 100%%, making the halved levels: %.1f ms\n",
                        timer.nsecsElapsed() / 1e6);
            levelsMade = true;
        }
        std::vector<double> paint;
        for (int i = 0; i < 30; ++i) {
            timer.start();
            view.viewport()->repaint();
            paint.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("repaint a %d x %d view of it at zoom %-4s:   median %.2f ms\n",
                    view.viewport()->width(), view.viewport()->height(), zoom.name, Median(paint));
    }
    view.RealSize();
    timer.start();
    const int moves = 2000;
    for (int i = 0; i < moves; ++i) {
        const QPointF at(i % view.viewport()->width(), (i * 7) % view.viewport()->height());
        QMouseEvent move(QEvent::MouseMove, at, view.viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
    }
    std::printf("move the pointer over it (readout):      %.3f ms a move\n",
                timer.nsecsElapsed() / 1e6 / moves);

    // Replace texture... with a photographic picture, in each encoding: the
    // encoding on a worker thread, the new set written, opened and shown.
    const std::vector<std::uint8_t> plasma = marrowix::bench::PlasmaImage(4096, 2024, 0.8f);
    QImage(plasma.data(), 4096, 4096, QImage::Format_RGBA8888)
        .save(QString::fromStdString((dir / "plasma.png").string()));
    dialog.image = QString::fromStdString((dir / "plasma.png").string());
    for (const bool dxt : {true, false}) {
        dialog.dxt = dxt;
        dialog.LoadTextureSet(QString::fromStdString((dir / "large.txt").string()));
        dialog.m_pTree->setCurrentIndex(dialog.TreeModel()->index(0, 0));
        Paint(dialog);
        const auto newSet = dir / (dxt ? "new-dxt" : "new-etc") / "large.txt";
        dialog.newSet = QString::fromStdString(newSet.string());
        timer.start();
        dialog.Features().replacing->ReplaceTexture();
        while (dialog.m_pTextureSet->ListingPath() != newSet.u16string() &&
               timer.elapsed() < 120000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        Paint(dialog);
        std::printf("replace it by a 4096 x 4096 picture (%s):  %.0f ms (target 3000)\n",
                    dxt ? "dxt" : "etc", timer.nsecsElapsed() / 1e6);
    }

    std::printf("load 1,000,000 textures to painted tree: median %.0f ms (first %.0f ms)\n",
                Median(load), load[0]);
    std::printf("expand all 1,000 categories:             median %.0f ms (first %.0f ms)\n",
                Median(expand), expand[0]);
    std::printf("replace the expanded tree by a new set:  median %.0f ms (first %.0f ms)\n",
                Median(replace), replace[0]);
    // The floor the selection is measured against: copying 64 MiB.
    std::vector<char> from(std::size_t{64} << 20, 1);
    std::vector<char> to(from.size());
    std::vector<double> copies;
    for (int i = 0; i < 15; ++i) {
        timer.start();
        std::memcpy(to.data(), from.data(), from.size());
        asm volatile("" : : "r"(to.data()) : "memory");
        copies.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double copy = *std::min_element(copies.begin(), copies.end());
    std::printf(
        "select a 4096 x 4096 dxt texture:        median %.0f ms (first %.0f ms)\n"
        "  against a 64 MiB memcpy of %.1f ms:     median %.1f x, first %.1f x "
        "(target 6 x)\n",
        Median(select), select[0], copy, Median(select) / copy, select[0] / copy);
    std::printf(
        "  against decoding it (median %.1f ms) and one paint (median %.1f ms): %.2f x "
        "(target 1.2 x)\n",
        Median(decode), Median(paintOnce), Median(select) / (Median(decode) + Median(paintOnce)));
    std::filesystem::remove_all(dir);
    return 0;
}
