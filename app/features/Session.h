// What the viewer remembers between runs: the view (restored when the
// program hands over its settings, kept when the window closes) and the sets
// loaded lately, for Open recent (Ctrl+R, and in the context menus), each
// loaded again in the encoding last chosen for it. Without settings (as in
// tests) nothing is remembered.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/features/ViewerParts.h"
#include "app/session/ViewerSettings.h"
#include "textureset/SetTypes.h"

class QMenu;

namespace marrowix {

class Session : public QObject {
    Q_OBJECT
public:
    // What the window does for the session.
    struct Window {
        // The view as remembered, put on the window; and taken from it.
        std::function<void(const ViewerSettings::View&)> applyView;
        std::function<ViewerSettings::View()> currentView;
        // Loads a recent set.
        std::function<void(const std::u16string& listing, TextureMode mode)> open;
        // Where Open recent is offered besides the window: the context menus.
        QList<QWidget*> menus;
    };

    Session(const ViewerParts& parts, Window window, QObject* parent);

    void Use(std::unique_ptr<ViewerSettings> settings);
    // A set loaded: first among the recent ones.
    void Remember(const std::u16string& listing, TextureMode mode);
    // The window closes: its view is kept.
    void Save();
    QMenu* RecentMenu() const { return m_pRecentMenu; }

private:
    void FillRecentMenu();

    ViewerParts m_parts;
    Window m_window;
    std::unique_ptr<ViewerSettings> m_settings;
    QMenu* m_pRecentMenu = nullptr;
};

}  // namespace marrowix
