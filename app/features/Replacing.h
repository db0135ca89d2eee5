// Replace texture... (the preview's context menu, or an image file dropped
// on the preview): writes a new set in which the selected texture holds an
// image (asked for when not given) at a listing the user chooses (a folder
// beside the set's suggested), on a worker thread, then opens it at the same
// texture with the old set as the other version (E, 7), the readout telling
// what the replacement measured.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "app/features/ViewerParts.h"
#include "textureset/TextureSet.h"

namespace marrowix {

class TextureReplacement;

class Replacing : public QObject {
    Q_OBJECT
public:
    // What the window asks and does for a replacement: the image (empty
    // when cancelled), the new set's listing given the one suggested, and
    // opening the new set to compare with the old one.
    struct Window {
        std::function<QString()> promptImagePath;
        std::function<QString(const QString& suggested)> promptNewSetPath;
        std::function<void(const std::u16string& listing, TextureMode mode,
                           const std::u16string& before)>
            openNewSet;
    };
    Replacing(const ViewerParts& parts, Window window, QObject* parent);

    void ReplaceTexture(const QString& imagePath = {});
    // Made with the first replacement; null until then.
    TextureReplacement* Replacement() const { return m_pReplacement; }

private:
    // Opens the set a replacement wrote, or says why there is none.
    void OnReplaced();

    ViewerParts m_parts;
    Window m_window;
    TextureReplacement* m_pReplacement = nullptr;
};

}  // namespace marrowix
