// What the viewer's tests share: the dialog with its questions answered by
// the test, and a small example set in both encodings.
#pragma once

#include <utility>

#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <QtTest>

#include "app/MainDialog.h"
#include "app/features/Comparison.h"
#include "app/features/Finding.h"
#include "app/features/Loading.h"
#include "app/features/Reloading.h"
#include "app/features/Replacing.h"
#include "app/features/SaveAndCopy.h"
#include "app/features/Session.h"
#include "app/features/Statistics.h"
#include "app/features/Survey.h"
#include "app/features/Viewing.h"
#include "app/resources/Resource.h"
#include "app/tree/TextureTreeModel.h"
#include "decode/Decode.h"
#include "tests/TestFiles.h"

namespace marrowix::test {

// The dialog with what it asks the user answered by the test.
class ScriptedDialog : public CMarrowix {
public:
    QStringList paths;  // answers of the file dialog, in turn; none left: cancel
    bool answerYes = true;
    int prompts = 0;
    int questions = 0;
    QStringList warnings;

protected:
    QString PromptListingPath() override {
        ++prompts;
        return paths.isEmpty() ? QString() : paths.takeFirst();
    }
    bool AskLoadDxt() override {
        ++questions;
        return answerYes;
    }
    void ShowWarning(const QString& text) override { warnings << text; }

public:
    QString replaceWith;   // the image Replace texture... takes
    QString newSet;        // where its new set goes (taken once: then the dialog is cancelled)
    QString suggestedSet;  // the new set's listing it suggested
    QString savePath;      // where Ctrl+S saves
    QString suggested;     // the name Ctrl+S suggested
protected:
    QString PromptImagePath() override { return replaceWith; }
    QString PromptNewSetPath(const QString& suggestion) override {
        suggestedSet = suggestion;
        return std::exchange(newSet, QString());
    }
    QString PromptSavePath(const QString& name) override {
        suggested = name;
        return savePath;
    }
};

inline std::vector<std::uint8_t> Texels(std::initializer_list<std::uint16_t> values) {
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t v : values) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return bytes;
}

// streets: road (4 x 2); signs: stop (2 x 2), zero (0 x 3), bad (-2 x 2);
// stray in category 3, which has no line. Both encodings, with different
// offsets so a test can tell which was read.
inline std::filesystem::path WriteExampleSet(const TempDir& dir) {
    const std::string listing =
        "cat=0 name=streets\n"
        "cat=1 name=signs\n"
        "\"road\" cat=0 width=4 height=2\n"
        "\"stop\" cat=1 width=2 height=2\n"
        "\"stray\" cat=3 width=1 height=1\n"
        "\"zero\" cat=1 width=0 height=3\n"
        "\"bad\" cat=1 width=-2 height=2\n";
    WriteText(dir / "world.txt", listing);
    // etc: road at 420, the rest at 0.
    WriteBytes(dir / "world.etc.toc", Le32({0, 0, 420, 0, 0, 0, 0}));
    std::vector<std::uint8_t> etc(420 + 8, 0);
    const auto road = Texels({0xF00F, 0x0F0F, 0x00FF, 0xFFF0, 0x1234, 0x5678, 0x9ABC, 0xDEF1});
    etc.insert(etc.end(), road.begin(), road.end());
    WriteBytes(dir / "world.etc.dat", etc);
    // dxt: road at 16, one white opaque block.
    WriteBytes(dir / "world.dxt.toc", Le32({0, 0, 16, 0, 0, 0, 0}));
    std::vector<std::uint8_t> dxt(16 + 8, 0);
    std::vector<std::uint8_t> block(16, 0);
    block[0] = block[1] = 255;
    block[8] = block[9] = 0xFF;
    dxt.insert(dxt.end(), block.begin(), block.end());
    WriteBytes(dir / "world.dxt.dat", dxt);
    return dir / "world.txt";
}

inline QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// Shows the dialog as the active window, as a user's would be.
inline void Show(CMarrowix& d) {
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
}

// The readout line under the preview.
inline QString Readout(const CMarrowix& d) {
    return qobject_cast<QLabel*>(d.GetDlgItem(IDC_READOUT))->text();
}

// Selects entry `index` and waits for its image.
inline void SelectEntryAndWait(CMarrowix& d, std::size_t index) {
    QSignalSpy shown(&d, &CMarrowix::previewShown);
    d.m_pTree->setCurrentIndex(d.TreeModel()->IndexOfEntry(index));
    QTRY_VERIFY(!shown.isEmpty());
}

// Presses `key` and waits for the image shown again.
inline void PressAndWait(CMarrowix& d, Qt::Key key) {
    QSignalSpy shown(&d, &CMarrowix::previewShown);
    QTest::keyClick(&d, key);
    QTRY_VERIFY(!shown.isEmpty());
}

// Loads `listing` in "etc" through Browse and shows the dialog.
inline void OpenShown(ScriptedDialog& d, const QString& listing) {
    d.paths << listing;
    d.answerYes = false;
    d.OnBrowse();
    Show(d);
}

// A preview block (header and bottom-up pixels blue, green, red, fourth
// byte) as the image it stands for, top row first, the fourth byte ignored.
inline QImage ImageOfDib(std::span<const std::uint8_t> dib) {
    const BITMAPINFOHEADER h = ReadDibHeader(dib);
    QImage image(h.biWidth, h.biHeight, QImage::Format_RGB32);
    for (int y = 0; y < h.biHeight; ++y) {
        const std::uint8_t* row = dib.data() + kDibHeaderSize +
                                  std::size_t(h.biHeight - 1 - y) * std::size_t(h.biWidth) * 4;
        for (int x = 0; x < h.biWidth; ++x) {
            image.setPixel(x, y, qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]));
        }
    }
    return image;
}

// The tree's rows as text, children indented under their category.
inline QStringList Rows(const TextureTreeModel& m, const QModelIndex& parent = {}) {
    QStringList rows;
    for (int r = 0; r < m.rowCount(parent); ++r) {
        const QModelIndex i = m.index(r, 0, parent);
        rows << i.data().toString();
        for (const QString& child : Rows(m, i)) {
            rows << "  " + child;
        }
    }
    return rows;
}

// An image with its fourth byte set opaque, as the RGB view shows it.
inline QImage OpaqueImage(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    QImage opaque(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(opaque.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            dst[x] = src[x] | 0xFF000000u;
        }
    }
    return opaque;
}

}  // namespace marrowix::test
