#include "library/IndexStore.h"

#include "platform/Files.h"
#include "text/Decimal.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

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
        platform::UniqueFd file = platform::openFile(it->path().string(), platform::openRead | platform::openNoFollow);
        if (!file || !platform::syncFile(file.get()))
            return false;
    }
    platform::UniqueFd directory = platform::openFile(folder.string(), platform::openRead | platform::openDirectory);
    return !error && directory && platform::syncFile(directory.get());
}

bool writeWhole(int fd, const std::string& text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const long count = platform::writeSome(fd, text.data() + written, text.size() - written);
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
    platform::UniqueFd file = platform::openFile((fs::path(store) / currentName).string(), platform::openRead);
    if (!file)
        return {};
    char text[32];
    const long count = platform::readSome(file.get(), text, sizeof text);
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
    platform::UniqueFd lock =
        platform::openFile((fs::path(store) / lockName).string(), platform::openReadWrite | platform::openCreate);
    if (!lock || !platform::tryLockExclusive(lock.get()))
        return std::nullopt;

    // With the lock held no one else writes here: every generation but the
    // current one is left over, and so is any engine lock inside it.
    const std::string current = currentGeneration();
    std::uint64_t highest = 0;
    for (fs::directory_iterator it(store, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!isGenerationName(name))
            continue;
        highest = std::max(highest, text::leadingDecimal(name).value);
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
    return Rebuild(BeginKey{}, std::move(lock), store, std::move(generation));
}

IndexStore::Rebuild::Rebuild(BeginKey, platform::UniqueFd lock, std::string store, std::string generation)
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
        platform::UniqueFd file =
            platform::openFile(aside.string(), platform::openWrite | platform::openCreate | platform::openTruncate);
        if (!file || !writeWhole(file.get(), generation + "\n") || !platform::syncFile(file.get()))
            return false;
    }
    return platform::renamePath(aside.string(), (fs::path(store) / currentName).string());
}

void IndexStore::Rebuild::discard()
{
    removeGeneration(folder);
}

} // namespace library
