// Replacing a texture from the viewer: a new set written by the same code as
// marrowix-inspect --replace, on a worker thread, with a progress indicator.
// The dialog asks what to replace and where, and opens the new set when this
// says it is done.
#pragma once

#include <QObject>
#include <atomic>
#include <string>

#include "app/document/BackgroundWork.h"
#include "repack/SetWriter.h"

class QProgressDialog;
class QWidget;

namespace marrowix {

class TextureReplacement : public QObject {
    Q_OBJECT
public:
    explicit TextureReplacement(QWidget* window);
    // Waits for a write under way.
    ~TextureReplacement() override;

    // Starts writing at `newListing` the set of `listing` with entry
    // `index` holding `image`, in the encodings the set has; false while a
    // write is under way.
    bool Start(const std::u16string& listing, TextureMode mode, const std::string& newListing,
               std::size_t index, const std::string& image);
    bool Running() const { return m_worker.Running(); }

    // What the write that finished last did, from which set shown in which
    // encoding, where, for which entry.
    const RepackResult& Outcome() const { return m_result; }
    const std::u16string& Source() const { return m_source; }
    TextureMode Mode() const { return m_mode; }
    const std::string& NewListing() const { return m_newListing; }
    std::size_t Index() const { return m_index; }

signals:
    // Sent on the dialog's thread when a write has ended, whatever its end.
    void finished();

private:
    QWidget* m_window;
    QProgressDialog* m_progress = nullptr;
    std::atomic<bool> m_cancel{false};  // the progress dialog's Cancel, read by the write
    RepackResult m_result;
    std::u16string m_source;
    TextureMode m_mode = kModeDxt;
    std::string m_newListing;
    std::size_t m_index = 0;
    BackgroundWork m_worker{this};  // last: the write ends before the rest goes
};

}  // namespace marrowix
