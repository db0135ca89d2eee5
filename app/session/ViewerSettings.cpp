#include "app/session/ViewerSettings.h"

#include <QSettings>
#include <algorithm>
#include <cstdio>

namespace marrowix {

ViewerSettings::ViewerSettings()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Marrowix"),
                                             QStringLiteral("marrowix"))) {}

ViewerSettings::ViewerSettings(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

ViewerSettings::~ViewerSettings() = default;

void ViewerSettings::Sync() {
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError && !m_complained) {
        m_complained = true;
        std::fprintf(stderr, "marrowix: cannot %s the settings in %s; going on without them\n",
                     m_settings->status() == QSettings::AccessError ? "write" : "read",
                     m_settings->fileName().toLocal8Bit().constData());
    }
}

std::optional<ViewerSettings::View> ViewerSettings::LoadView() const {
    if (m_settings->status() != QSettings::NoError || !m_settings->contains("view/mode")) {
        return std::nullopt;
    }
    View view;
    view.geometry = m_settings->value("window/geometry").toByteArray();
    view.fullPrecision = m_settings->value("view/fullPrecision", false).toBool();
    view.viewMode = std::clamp(m_settings->value("view/mode", 0).toInt(), 0, 5);
    view.gridCell = std::clamp(m_settings->value("grid/cell", 128).toInt(), 48, 256);
    view.treeExtra = std::clamp(m_settings->value("window/treeExtra", 0).toInt(), -100000, 100000);
    return view;
}

void ViewerSettings::SaveView(const View& view) {
    m_settings->setValue("window/geometry", view.geometry);
    m_settings->setValue("view/fullPrecision", view.fullPrecision);
    m_settings->setValue("view/mode", view.viewMode);
    m_settings->setValue("grid/cell", view.gridCell);
    m_settings->setValue("window/treeExtra", view.treeExtra);
    Sync();
}

std::vector<ViewerSettings::Recent> ViewerSettings::RecentSets() const {
    std::vector<Recent> recent;
    const int n = m_settings->beginReadArray("recent");
    for (int i = 0; i < n && recent.size() < kRecentSets; ++i) {
        m_settings->setArrayIndex(i);
        // Paths as the file system's bytes, whatever their encoding.
        const QByteArray bytes = m_settings->value("listing").toByteArray();
        if (bytes.isEmpty()) {
            continue;
        }
        const QString mode = m_settings->value("mode").toString();
        recent.push_back({FromNativePath(bytes.toStdString()),
                          mode == QLatin1String("etc") ? kModeEtc : kModeDxt});
    }
    m_settings->endArray();
    return recent;
}

void ViewerSettings::AddRecent(const std::u16string& listing, TextureMode mode) {
    std::vector<Recent> recent = RecentSets();
    std::erase_if(recent, [&](const Recent& r) { return r.listing == listing; });
    recent.insert(recent.begin(), {listing, mode});
    recent.resize(std::min(recent.size(), kRecentSets));
    m_settings->beginWriteArray("recent", static_cast<int>(recent.size()));
    for (int i = 0; i < static_cast<int>(recent.size()); ++i) {
        m_settings->setArrayIndex(i);
        m_settings->setValue("listing", QByteArray::fromStdString(ToNativePath(recent[i].listing)));
        m_settings->setValue("mode", recent[i].mode == kModeEtc ? "etc" : "dxt");
    }
    m_settings->endArray();
    Sync();
}

}  // namespace marrowix
