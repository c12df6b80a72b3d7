#include "library/IndexStore.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace library {

namespace fs = std::filesystem;

namespace {

constexpr const char* storeName = "search-index";
constexpr const char* currentName = "current";
constexpr const char* lockName = "lock";

bool isGenerationName(const std::string& name)
{
    return !name.empty() && name.size() <= 18 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// Removes the files of one generation folder, then the folder. Never
/// recursive: the engine writes plain files only, and anything else found
/// there is left alone, with the folder.
void removeGeneration(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::file_status status = it->symlink_status(error);
        if (!error && (fs::is_regular_file(status) || fs::is_symlink(status)))
            fs::remove(it->path(), error);
        error.clear();
    }
    fs::remove(folder, error);
}

/// Flushes every file of `folder`, then the folder itself, to the disk.
bool flushFolder(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        platform::UniqueFd file(::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!file || ::fsync(file.get()) != 0)
            return false;
    }
    platform::UniqueFd directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return !error && directory && ::fsync(directory.get()) == 0;
}

bool writeWhole(int fd, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

IndexStore::IndexStore(std::string indexDirectory)
    : indexDirectory(std::move(indexDirectory)), store((fs::path(this->indexDirectory) / storeName).string())
{
}

std::string IndexStore::currentGeneration() const
{
    platform::UniqueFd file(::open((fs::path(store) / currentName).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file)
        return {};
    char text[32];
    const ssize_t count = ::read(file.get(), text, sizeof text);
    if (count <= 0)
        return {};
    std::string name(text, static_cast<std::size_t>(count));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    return isGenerationName(name) ? name : std::string();
}

std::string IndexStore::currentIndex() const
{
    const std::string generation = currentGeneration();
    if (generation.empty())
        return {};
    std::error_code error;
    const fs::path folder = fs::path(store) / generation;
    return fs::is_directory(folder, error) ? folder.string() : std::string();
}

std::optional<IndexStore::Rebuild> IndexStore::beginRebuild() const
{
    std::error_code error;
    fs::create_directories(store, error);
    platform::UniqueFd lock(::open((fs::path(store) / lockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;

    // With the lock held no one else writes here: every generation but the
    // current one is left over, and so is any engine lock inside it.
    const std::string current = currentGeneration();
    std::uint64_t highest = 0;
    for (fs::directory_iterator it(store, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!isGenerationName(name))
            continue;
        highest = std::max<std::uint64_t>(highest, std::stoull(name));
        std::error_code ignored;
        if (name != current && fs::is_directory(it->symlink_status(ignored)))
            removeGeneration(it->path());
    }
    if (error)
        return std::nullopt;
    fs::remove(fs::path(store) / "current.new", error);

    std::string generation = std::to_string(highest + 1);
    if (!fs::create_directory(fs::path(store) / generation, error))
        return std::nullopt;
    return Rebuild(std::move(lock), store, std::move(generation));
}

IndexStore::Rebuild::Rebuild(platform::UniqueFd lock, std::string store, std::string generation)
    : lock(std::move(lock)), store(std::move(store)), generation(std::move(generation)),
      folder((fs::path(this->store) / this->generation).string())
{
}

bool IndexStore::Rebuild::publish()
{
    // The index reaches the disk before the name that points at it, so a
    // power cut leaves "current" naming a whole index, old or new.
    if (!flushFolder(folder))
        return false;
    const fs::path aside = fs::path(store) / "current.new";
    {
        platform::UniqueFd file(::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!file || !writeWhole(file.get(), generation + "\n") || ::fsync(file.get()) != 0)
            return false;
    }
    return ::rename(aside.c_str(), (fs::path(store) / currentName).c_str()) == 0;
}

void IndexStore::Rebuild::discard()
{
    removeGeneration(folder);
}

} // namespace library
