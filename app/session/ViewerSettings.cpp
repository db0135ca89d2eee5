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

namespace {

// A whole number in [low, high] at `key`, or `fallback` for anything else.
int Whole(const QSettings& settings, const char* key, int fallback, int low, int high) {
    bool ok = false;
    const int v = settings.value(key).toString().toInt(&ok);
    return ok && v >= low && v <= high ? v : fallback;
}

// "true" or "false" (as QSettings writes them) at `key`, or `fallback`.
bool Flag(const QSettings& settings, const char* key, bool fallback) {
    const QString v = settings.value(key).toString();
    return v == QLatin1String("true") ? true : v == QLatin1String("false") ? false : fallback;
}

}  // namespace

bool ViewerSettings::Unparsed() {
    if (m_settings->status() != QSettings::FormatError) {
        return false;
    }
    if (!m_complained) {
        m_complained = true;
        std::fprintf(stderr,
                     "marrowix: cannot read the settings in %s; they are left as they are and "
                     "this session's are not saved\n",
                     m_settings->fileName().toLocal8Bit().constData());
    }
    return true;
}

std::optional<ViewerSettings::View> ViewerSettings::LoadView() const {
    if (m_settings->status() != QSettings::NoError || !m_settings->contains("view/mode")) {
        return std::nullopt;
    }
    View view;
    view.geometry = m_settings->value("window/geometry").toByteArray();
    // A value out of range, or not a value at all, is ignored: the default.
    view.fullPrecision = Flag(*m_settings, "view/fullPrecision", false);
    view.viewMode = Whole(*m_settings, "view/mode", 0, 0, 5);
    view.gridCell = Whole(*m_settings, "grid/cell", 128, 48, 256);
    view.treeExtra = Whole(*m_settings, "window/treeExtra", 0, -100000, 100000);
    return view;
}

void ViewerSettings::SaveView(const View& view) {
    if (Unparsed()) {
        return;
    }
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
    if (Unparsed()) {
        return;
    }
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
