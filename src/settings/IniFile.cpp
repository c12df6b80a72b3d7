#include "settings/IniFile.h"

#include "platform/Files.h"
#include "platform/PathSeparator.h"

#include <cerrno>
#include <mutex>

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
    platform::FileStatus info;
    if (!platform::linkStatusOfPath(path, info) || info.kind != platform::FileStatus::Kind::link)
        return path;
    std::string resolved = platform::resolvedPath(path);
    return resolved.empty() ? path : resolved;
}

/// The folder holding `path`; a root ("/", or a drive's "C:\") keeps its
/// separator, since without it the name would mean another folder.
std::string directoryOf(const std::string& path)
{
    std::size_t slash = path.rfind(platform::pathSeparator);
    if (slash == std::string::npos)
        return ".";
    const bool root = slash == 0 || (slash == 2 && path[1] == ':');
    return path.substr(0, root ? slash + 1 : slash);
}

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        long written = platform::writeSome(fd, text.data(), text.size());
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
    platform::UniqueFd file = platform::openFile(path, platform::openRead);
    if (!file)
        return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    platform::FileStatus info;
    if (!platform::statusOf(file.get(), info) || !info.isRegular())
        return ReadStatus::Failed;

    std::string text;
    char chunk[16384];
    for (;;) {
        long got = platform::readSome(file.get(), chunk, sizeof chunk);
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
    unsigned mode = 0600;
    platform::FileStatus info;
    if (platform::statusOfPath(target, info))
        mode = info.permissions;

    // O_TRUNC also clears what an interrupted earlier save left behind.
    platform::UniqueFd file =
        platform::openFile(temp, platform::openWrite | platform::openCreate | platform::openTruncate, 0600);
    if (!file)
        return false;
    bool written = platform::setPermissions(file.get(), mode) && writeAll(file.get(), text) &&
                   platform::syncFile(file.get());
    bool closed = platform::closeFile(file);
    if (!written || !closed) {
        platform::removeFile(temp);
        return false;
    }
    return true;
}

bool IniFile::commitAside(const std::string& path)
{
    std::string target = realTarget(path);
    std::string temp = target + ".tmp";
    if (!platform::renamePath(temp, target))
        return false;
    // The rename itself must reach the disk too, or a power cut could bring
    // back the old directory entry after the caller was told "saved".
    platform::UniqueFd directory = platform::openFile(directoryOf(target), platform::openRead | platform::openDirectory);
    if (directory)
        platform::syncFile(directory.get());
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
        platform::removeFile(tempPathFor(path));
        return false;
    }
    return true;
}

} // namespace host
