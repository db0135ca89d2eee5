// Where image files are written: a folder held open, so that every name in
// it is resolved relative to the folder itself and nothing inside it is
// reached through a link, and a guard that knows the set's own files so that
// no write ever reaches them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "textureset/TextureSet.h"

namespace marrowix {

class OutputFolder {
public:
    OutputFolder() = default;
    OutputFolder(OutputFolder&& other) noexcept = default;
    OutputFolder& operator=(OutputFolder&& other) noexcept = default;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Opens the folder at the native path `path`, following links: a path
    // the user gives is the user's choice. Empty on success, else the reason.
    static std::string Open(const std::string& path, OutputFolder* folder);
    // The same, making the folder and its parents first where they are
    // missing; `made`, where given, gets the folders made, deepest first.
    static std::string Make(const std::string& path, OutputFolder* folder,
                            std::vector<std::string>* made = nullptr);

    // Makes (where missing) and opens the folder `name` inside this one,
    // never through a link: a name that is a symbolic link or anything but
    // a folder is refused. Empty on success, else the whole message.
    std::string MakeSubfolder(const std::string& name, OutputFolder* folder) const;

    const platform::Folder& Handle() const { return m_folder; }
    // The folder as messages name it: the path it was opened by.
    const std::string& Path() const { return m_path; }
    // The path of a name inside the folder, as messages name it.
    std::string PathOf(const std::string& name) const;

private:
    platform::Folder m_folder;
    std::string m_path;
    char m_separator = '/';  // the one the user's path has, for messages
    friend std::string OpenFolderOf(const std::string&, OutputFolder*, std::string*, bool,
                                    std::vector<std::string>*);
};

// The three files of a set, known by identity where they exist and by their
// folder and name where they do not, so that no name, hard link or symbolic
// link can make a write reach them.
class SetFileGuard {
public:
    SetFileGuard() = default;
    explicit SetFileGuard(const CTextureSet& set);
    // Guards the three files of one more set (another mode's, say) too.
    void Add(const CTextureSet& set);
    // Guards an image that is read for the write.
    void AddImage(const std::string& nativePath);

    // Empty when `name` in `folder` is none of the set's files, whether
    // followed as a link or not; otherwise why it may not be written.
    std::string Refusal(const OutputFolder& folder, const std::string& name) const;
    std::string Refusal(const FileIdentity& identity) const;

private:
    void AddFile(const std::string& nativePath, const InputFile* open, std::string why);

    struct Guarded {
        std::string why;  // "it is the set's own listing; ..."
        bool known = false;
        FileIdentity identity;
        bool folderKnown = false;
        FileIdentity folder;  // the folder it lies in
        std::string name;     // its name there
    };
    std::vector<Guarded> m_files;
};

// How many fresh names a temporary file is tried under before giving up.
constexpr int kTemporaryAttempts = 100;

// The name the temporary of `name` takes at attempt `attempt`.
std::string TemporaryName(const std::string& name, int attempt);

// A file being written under a fresh temporary name beside `name` inside
// `folder` (made exclusively, never through a link, refused where it would
// be one of the guarded set's files); Commit renames it to `name` within the
// folder. A file dropped without a commit, or whose commit failed, is
// removed: nothing is left behind.
class PendingFile {
public:
    static std::string Make(const OutputFolder& folder, const std::string& name,
                            const SetFileGuard& guard, std::unique_ptr<PendingFile>* out);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Open for reading and writing until the commit.
    const platform::File& Handle() const { return m_file; }
    const std::string& Name() const { return m_name; }
    // The temporary name it is written under until the commit.
    const std::string& Temp() const { return m_temp; }
    // Closes the file and renames it into place. Empty on success, else the
    // reason.
    std::string Commit();
    // Takes a commit back: the file goes back to its temporary name, to be
    // removed with this object. Empty on success, else the reason.
    std::string Uncommit();

private:
    PendingFile(const OutputFolder& folder, std::string name, const SetFileGuard& guard,
                std::string temp, platform::File file)
        : m_folder(folder),
          m_name(std::move(name)),
          m_guard(guard),
          m_temp(std::move(temp)),
          m_file(std::move(file)) {}
    void Forget();

    const OutputFolder& m_folder;
    std::string m_name;
    const SetFileGuard& m_guard;
    std::string m_temp;
    platform::File m_file;
    bool m_committed = false;
    int m_signalSlot = -1;  // removed on SIGINT, SIGTERM, SIGHUP until committed
};

// Writes the file `name` inside `folder`: `write` fills a new temporary file
// beside it (made exclusively, never through a link), which is then renamed
// to `name` within the same folder. A name that is a link is replaced as a
// name, never written through. On failure nothing is left behind. Empty on
// success, else the reason.
std::string WriteFileAtomically(const OutputFolder& folder, const std::string& name,
                                const SetFileGuard& guard,
                                const std::function<std::string(std::FILE*)>& write);

// Splits a native path into its folder (opened, links followed; with
// `make`, made first where missing) and its final name. Empty on success,
// else the reason.
std::string OpenFolderOf(const std::string& path, OutputFolder* folder, std::string* name,
                         bool make = false, std::vector<std::string>* made = nullptr);

// Removes the folders OutputFolder::Make made, deepest first, as long as
// they are empty.
void RemoveMadeFolders(const std::vector<std::string>& made);

}  // namespace marrowix
