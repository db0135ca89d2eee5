// What the viewer remembers between runs, in the user's configuration folder
// (an INI file through QSettings: ~/.config/Marrowix/marrowix.ini on Linux,
// %APPDATA%\Marrowix\marrowix.ini on Windows, not the registry): the window's
// geometry and splitter, the precision, the view mode, the grid's cell size, and the last
// ten listings with the encoding last chosen for each. A setting that cannot
// be read or written is ignored with one line on stderr.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "textureset/TextureSet.h"

class QSettings;

namespace marrowix {

class ViewerSettings {
public:
    // The user's settings, or (for tests) those of the file at `path`.
    ViewerSettings();
    explicit ViewerSettings(const QString& path);
    ~ViewerSettings();
    ViewerSettings(const ViewerSettings&) = delete;
    ViewerSettings& operator=(const ViewerSettings&) = delete;

    struct View {
        QByteArray geometry;  // QWidget::saveGeometry's
        bool fullPrecision = false;
        int viewMode = 0;  // ViewMode, the difference view not kept
        int gridCell = 128;
        int treeExtra = 0;  // the splitter: pixels the tree is wider than the template's
    };
    std::optional<View> LoadView() const;
    void SaveView(const View& view);

    static constexpr std::size_t kRecentSets = 10;
    struct Recent {
        std::u16string listing;  // as the set keeps paths (FromNativePath)
        TextureMode mode = kModeDxt;
    };
    // Newest first.
    std::vector<Recent> RecentSets() const;
    // Puts a listing first among the recent ones, with its encoding.
    void AddRecent(const std::u16string& listing, TextureMode mode);

private:
    // Writes what is pending; says once on stderr when it cannot.
    void Sync();

    std::unique_ptr<QSettings> m_settings;
    bool m_complained = false;
    // A file that could not be parsed is left as it is: never written over.
    bool Unparsed();
};

}  // namespace marrowix
