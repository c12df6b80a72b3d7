#include "settings/IniFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {

namespace {

/// One lock for every settings file of the process: saves are rare, and one
/// lock also covers two paths that name the same file.
std::mutex& updateLock()
{
    static std::mutex lock;
    return lock;
}

/// The file that a save must replace: the target of a symbolic link, so that
/// the rename does not turn the link into a plain file.
std::string realTarget(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return path;
    return resolved;
}

std::string directoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

std::string IniFile::tempPathFor(const std::string& path)
{
    return realTarget(path) + ".tmp";
}

IniFile::ReadStatus IniFile::read(const std::string& path, IniDocument& document)
{
    document = IniDocument();
    platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file)
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return ReadStatus::Failed;

    std::string text;
    char chunk[16384];
    for (;;) {
        ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return ReadStatus::Failed;
        }
        if (got == 0)
            break;
        // The size is checked as the bytes arrive: the file may grow between
        // fstat and the reads.
        if (text.size() + static_cast<std::size_t>(got) > maxFileSize)
            return ReadStatus::Failed;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    document = IniDocument::parse(text);
    return ReadStatus::Read;
}

bool IniFile::writeAside(const std::string& path, std::string_view text)
{
    std::string target = realTarget(path);
    std::string temp = target + ".tmp";
    mode_t mode = 0600;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0)
        mode = info.st_mode & 07777;

    // O_TRUNC also clears what an interrupted earlier save left behind.
    platform::UniqueFd file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file)
        return false;
    bool written = ::fchmod(file.get(), mode) == 0 && writeAll(file.get(), text) && ::fsync(file.get()) == 0;
    int closed = ::close(file.release());
    if (!written || closed != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool IniFile::commitAside(const std::string& path)
{
    std::string target = realTarget(path);
    std::string temp = target + ".tmp";
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return false;
    // The rename itself must reach the disk too, or a power cut could bring
    // back the old directory entry after the caller was told "saved".
    platform::UniqueFd directory(::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory)
        ::fsync(directory.get());
    return true;
}

bool IniFile::update(const std::string& path, const std::function<void(IniDocument&)>& edit)
{
    std::lock_guard guard(updateLock());
    IniDocument document;
    // A file that exists but cannot be read is not overwritten: the user's
    // other sections and comments would be lost.
    if (read(path, document) == ReadStatus::Failed)
        return false;
    edit(document);
    if (!writeAside(path, document.text()))
        return false;
    if (!commitAside(path)) {
        ::unlink(tempPathFor(path).c_str());
        return false;
    }
    return true;
}

} // namespace host
