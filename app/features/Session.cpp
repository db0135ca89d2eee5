#include "app/features/Session.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include "app/NativePaths.h"

namespace marrowix {

Session::Session(const ViewerParts& parts, Window window, QObject* parent)
    : QObject(parent), m_parts(parts), m_window(std::move(window)) {}

void Session::Use(std::unique_ptr<ViewerSettings> settings) {
    m_settings = std::move(settings);
    if (const auto view = m_settings->LoadView()) {
        m_window.applyView(*view);
    }
    m_pRecentMenu = new QMenu(QStringLiteral("Open recent"), m_parts.window);
    connect(m_pRecentMenu, &QMenu::aboutToShow, this, &Session::FillRecentMenu);
    auto* action = new QAction(QStringLiteral("Open recent"), m_parts.window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setMenu(m_pRecentMenu);
    connect(action, &QAction::triggered, this, [this] { m_pRecentMenu->popup(QCursor::pos()); });
    m_parts.window->addAction(action);
    for (QWidget* menu : m_window.menus) {
        menu->addAction(action);
    }
}

// The last ten sets, the newest first.
void Session::FillRecentMenu() {
    m_pRecentMenu->clear();
    int number = 0;
    for (const ViewerSettings::Recent& recent : m_settings->RecentSets()) {
        const QString text =
            QStringLiteral("&%1 %2 (%3)")
                .arg(++number % 10)
                .arg(PathFromU16(recent.listing), QString::fromLatin1(ModeWord(recent.mode)));
        m_pRecentMenu->addAction(text, this,
                                 [this, recent] { m_window.open(recent.listing, recent.mode); });
    }
    if (number == 0) {
        m_pRecentMenu->addAction(QStringLiteral("(none yet)"))->setEnabled(false);
    }
}

void Session::Remember(const std::u16string& listing, TextureMode mode) {
    if (m_settings) {
        m_settings->AddRecent(listing, mode);
    }
}

void Session::Save() {
    if (m_settings) {
        m_settings->SaveView(m_window.currentView());
    }
}

}  // namespace marrowix
