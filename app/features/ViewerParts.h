// The parts of the viewer's window a feature works with, handed to it when
// the window installs it.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <functional>

class QTreeView;
class QWidget;

namespace marrowix {

class PreviewView;
class ReadoutLabel;
class SetDocument;
class TextureTreeModel;

struct ViewerParts {
    QWidget* window = nullptr;
    SetDocument* document = nullptr;
    QTreeView* tree = nullptr;
    TextureTreeModel* model = nullptr;
    PreviewView* preview = nullptr;
    ReadoutLabel* readout = nullptr;
    // A command on `keys` anywhere in the window, also in the preview's
    // context menu.
    std::function<QAction*(const QString& text, const QList<QKeySequence>& keys)> addAction;
    // A warning in a message box of the window.
    std::function<void(const QString& text)> warn;
};

}  // namespace marrowix
