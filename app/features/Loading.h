// Loading a set (Browse, a listing named or dropped, Open recent): the
// encoding asked for unless given, the set opened and swapped into the
// document, the tree filled with as many textures as memory allows, and one
// warning of the files that could not be opened or read.
#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "app/features/ViewerParts.h"
#include "textureset/TextureSet.h"

class QLineEdit;

namespace marrowix {

class Selecting;

// Whether a file dropped or named on the command line can be a texture
// listing: its name ends in ".txt" (any case), or an offset table or data
// file derived from it exists for either encoding.
bool CouldBeListing(const std::u16string& path);
// "NAME is not a texture listing" where CouldBeListing says no, else empty.
QString ListingRefusal(const std::u16string& path);

class Loading : public QObject {
    Q_OBJECT
public:
    // What the window asks and does around a load.
    struct Window {
        // The encoding question: true for "dxt".
        std::function<bool()> askLoadDxt;
        // How many of `count` textures the tree can show.
        std::function<std::size_t(std::size_t count)> showableTextures;
        // Shows the listing's path.
        QLineEdit* pathField = nullptr;
        // After a set was loaded: remembered, watched.
        std::function<void(const std::u16string& listing, TextureMode mode)> loaded;
    };
    Loading(const ViewerParts& parts, Selecting& selecting, Window window, QObject* parent);

    // Replaces the current set with the one at `listing`; the number of its
    // entries.
    int Load(const std::u16string& listing, std::optional<TextureMode> mode);
    // The parts take the set the document now holds: the preview lets go of
    // the old one, the tree shows the new one.
    void OnSetChanged();

private:
    std::size_t FillTree();
    void WarnOfMissingFiles(const QString& more);

    ViewerParts m_parts;
    Selecting& m_selecting;
    Window m_window;
};

}  // namespace marrowix
