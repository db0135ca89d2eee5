#include "app/session/TextureReplacement.h"

#include <QProgressDialog>
#include <QWidget>

#include <filesystem>

namespace marrowix {

TextureReplacement::TextureReplacement(QWidget* window) : QObject(window), m_window(window) {}

TextureReplacement::~TextureReplacement() = default;

bool TextureReplacement::Start(const std::u16string& source, TextureMode mode,
                               const std::string& newListing, std::size_t index,
                               const std::string& image) {
    if (m_worker.Running()) {
        return false;
    }
    m_cancel = false;
    m_source = source;
    m_mode = mode;
    m_newListing = newListing;
    m_index = index;
    const std::string listing = ToNativePath(source);
    if (m_progress == nullptr) {
        m_progress = new QProgressDialog(QStringLiteral("Writing the new set..."),
                                         QStringLiteral("Cancel"), 0, 0, m_window);
        m_progress->setWindowTitle(QStringLiteral("Replace texture"));
        // Cancel ends the write before its files are put in place: nothing
        // is left behind.
        connect(m_progress, &QProgressDialog::canceled, this, [this] { m_cancel = true; });
        m_progress->setMinimumDuration(300);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
    }
    m_progress->setRange(0, 0);
    m_progress->setValue(0);
    std::error_code ec;
    const bool overwrite = std::filesystem::exists(newListing, ec);
    m_worker.Run(
        [this, listing, newListing, index, image, overwrite] {
            RepackResult result;
            marrowix::Result<InputImage> picture = ReadInputImage(image);
            if (!picture.ok()) {
                result.error = picture.error;
            } else {
                RepackOptions options;
                // The file dialog asked before a listing already there is chosen.
                options.overwrite = overwrite;
                options.cancelled = [this] { return m_cancel.load(); };
                options.progress = [this](std::size_t done, std::size_t total, std::uint64_t) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, done, total] {
                            m_progress->setRange(0, static_cast<int>(total));
                            m_progress->setValue(static_cast<int>(done));
                        },
                        Qt::QueuedConnection);
                };
                const std::uint32_t w = picture.value.width;
                const std::uint32_t h = picture.value.height;
                result = ReplaceTextures(listing, newListing,
                                         {{index, image, w, h, std::move(picture.value)}}, options);
            }
            return result;
        },
        [this](RepackResult result) {
            m_result = std::move(result);
            m_progress->reset();
            m_progress->hide();
            emit finished();
        });
    return true;
}

}  // namespace marrowix
