#include "app/features/Loading.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QStringList>
#include <QTreeView>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "app/NativePaths.h"
#include "app/document/SetDocument.h"
#include "app/features/Selecting.h"
#include "app/preview/PreviewView.h"
#include "app/tree/TextureTreeModel.h"

namespace marrowix {

Loading::Loading(const ViewerParts& parts, Selecting& selecting, Window window, QObject* parent)
    : QObject(parent), m_parts(parts), m_selecting(selecting), m_window(std::move(window)) {}

int Loading::Load(const std::u16string& listing, std::optional<TextureMode> mode) {
    SetDocument& document = *m_parts.document;
    // Discard the previous set and every node; selection changes sent while
    // the tree empties find no set.
    if (document.Current()) {
        document.SetCurrent(nullptr);
    }
    const TextureMode chosen = mode ? *mode : (m_window.askLoadDxt() ? kModeDxt : kModeEtc);
    SharedSet set;
    try {
        auto opened = std::make_shared<CTextureSet>();
        OpenTextureSet(*opened, listing, ModeWordU16(chosen));
        set = std::move(opened);
    } catch (const std::bad_alloc&) {
        set.reset();
    }
    m_window.pathField->setText(PathFromU16(listing));
    if (!set) {
        m_parts.warn(QStringLiteral("not enough memory to load the texture set"));
        return 0;
    }
    document.SetCurrent(std::move(set));
    const std::size_t count = document.Current()->GetEntryCount();
    const std::size_t shown = m_parts.model->ShownTextures();
    WarnOfMissingFiles(shown < count
                           ? QStringLiteral("not enough memory to show all %1 textures; showing "
                                            "the first %2")
                                 .arg(count)
                                 .arg(shown)
                           : QString());
    m_window.loaded(listing, chosen);
    return static_cast<int>(count);
}

void Loading::OnSetChanged() {
    m_parts.preview->ForgetSet();
    m_selecting.Forget();
    if (m_parts.document->Current()) {
        FillTree();
    } else {
        m_parts.model->SetTextureSet(nullptr);
    }
}

std::size_t Loading::FillTree() {
    const SharedSet& set = m_parts.document->Current();
    TextureTreeModel& model = *m_parts.model;
    // The tree shows what memory allows: fewer textures, never a crash.
    std::size_t shown = m_window.showableTextures(set->GetEntryCount());
    for (;;) {
        try {
            model.SetTextureSet(set, shown);
            break;
        } catch (const std::bad_alloc&) {
            if (shown == 0) {
                break;
            }
            shown /= 2;
        }
    }
    if (model.Filtering()) {
        m_parts.tree->expandAll();
    }
    return model.ShownTextures();
}

void Loading::WarnOfMissingFiles(const QString& more) {
    const CTextureSet& set = *m_parts.document->Current();
    QStringList lines;
    // A file with a reason was not opened, or not read in full.
    auto add = [&](const char* what, const std::u16string& path, const std::string& reason) {
        if (!reason.empty()) {
            lines << QStringLiteral("%1: %2 (%3)")
                         .arg(QLatin1String(what), PathFromU16(path),
                              QString::fromStdString(reason));
        }
    };
    add("Listing", set.ListingPath(), set.ListingError());
    add("Offset table", set.OffsetTablePath(), set.OffsetTableError());
    add("Data file", set.DataPath(), set.DataError());
    if (lines.isEmpty()) {
        if (!more.isEmpty()) {
            m_parts.warn(more);
        }
        return;
    }
    QString text =
        QStringLiteral("Some files of this texture set could not be opened or read:\n\n") +
        lines.join(QLatin1Char('\n'));
    if (!set.HasOffsetTableFile() || !set.HasDataFile()) {
        text += QStringLiteral(
            "\n\nWithout an offset table every texture is read at offset 0; without a data "
            "file its texels are shown as 0.");
    }
    if (!more.isEmpty()) {
        text += QStringLiteral("\n\n") + more;
    }
    m_parts.warn(text);
}

bool CouldBeListing(const std::u16string& path) {
    const std::size_t dot = path.size() >= 4 ? path.size() - 4 : std::u16string::npos;
    if (dot != std::u16string::npos && path[dot] == u'.' && (path[dot + 1] | 0x20) == u't' &&
        (path[dot + 2] | 0x20) == u'x' && (path[dot + 3] | 0x20) == u't') {
        return true;
    }
    std::error_code ec;
    for (const char16_t* mode : {u"dxt", u"etc"}) {
        for (const char16_t* suffix : {u".toc", u".dat"}) {
            if (std::filesystem::exists(ToNativePath(DeriveSetPath(path, mode, suffix)), ec)) {
                return true;
            }
        }
    }
    return false;
}

QString ListingRefusal(const std::u16string& path) {
    return CouldBeListing(path) ? QString()
                                : QStringLiteral("%1 is not a texture listing")
                                      .arg(QFileInfo(PathFromU16(path)).fileName());
}

}  // namespace marrowix
