#include "library/CoverSources.h"

#include "library/LibraryPath.h"
#include "platform/Files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace library {
namespace {

constexpr std::array<std::string_view, 3> imageStems = {"cover", "folder", "front"};
constexpr std::array<std::string_view, 4> imageExtensions = {"jpg", "jpeg", "png", "webp"};

/// The rank of an image file's name among the sources (lower first); -1
/// for any other name.
int imageRank(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return -1;
    std::string stem(name.substr(0, dot));
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::tolower(c); });
    const std::string extension = extensionOf(name);
    for (std::size_t s = 0; s < imageStems.size(); ++s)
        for (std::size_t e = 0; e < imageExtensions.size(); ++e)
            if (stem == imageStems[s] && extension == imageExtensions[e])
                return static_cast<int>(s * imageExtensions.size() + e);
    return -1;
}

/// Two 64-bit FNV-1a sums with different starting values: 128 bits, so
/// two different sources never share a cache entry in practice.
class KeyHash {
public:
    void add(std::string_view bytes)
    {
        for (unsigned char c : bytes) {
            first = (first ^ c) * prime;
            second = (second ^ c) * prime;
        }
        // A separator, so ("ab","c") and ("a","bc") differ.
        first = (first ^ 0xffu) * prime;
        second = (second ^ 0xfeu) * prime;
    }
    void add(std::int64_t number) { add(std::to_string(number)); }
    std::string text() const
    {
        char digits[33];
        std::snprintf(digits, sizeof digits, "%016llx%016llx", static_cast<unsigned long long>(first),
                      static_cast<unsigned long long>(second));
        return digits;
    }

private:
    static constexpr std::uint64_t prime = 0x100000001b3ull;
    std::uint64_t first = 0xcbf29ce484222325ull;
    std::uint64_t second = 0x84222325cbf29ce4ull;
};

struct Listed {
    std::string name;
    platform::FileStatus status;
    int rank;
};

} // namespace

std::optional<CoverSources> coverSources(const std::string& target, const MediaNameTest& isMedia,
                                         std::string_view variant)
{
    platform::FileStatus targetStatus;
    if (!platform::statusOfPath(target, targetStatus) || (!targetStatus.isRegular() && !targetStatus.isDirectory()))
        return std::nullopt;
    const bool folderTarget = targetStatus.isDirectory();
    const std::string folder = folderTarget ? withoutTrailingSeparators(target)
                                            : target.substr(0, target.rfind(pathSeparator));

    // Only the few names that may count are looked at closer: a folder of
    // thousands of files costs one pass over their names.
    std::vector<Listed> images;
    std::optional<Listed> firstTrack;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder.empty() ? std::string(1, pathSeparator) : folder, error), end;
         !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        const int rank = imageRank(name);
        const bool trackName = rank < 0 && folderTarget && isMedia(name) && (!firstTrack || name < firstTrack->name);
        platform::FileStatus status;
        if ((rank < 0 && !trackName) || !platform::statusOfPath(folder + pathSeparator + name, status)
            || !status.isRegular())
            continue;
        if (rank >= 0)
            images.push_back({std::move(name), status, rank});
        else
            firstTrack = Listed{std::move(name), status, 0};
    }
    std::sort(images.begin(), images.end(), [](const Listed& a, const Listed& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.name < b.name;
    });

    CoverSources sources;
    KeyHash hash;
    hash.add(variant);
    auto take = [&](std::string path, const platform::FileStatus& status, bool embedded) {
        hash.add(path);
        hash.add(static_cast<std::int64_t>(status.size));
        hash.add(status.modified.seconds);
        hash.add(status.modified.nanoseconds);
        sources.modified = std::max(sources.modified, status.modified.seconds);
        sources.order.push_back({std::move(path), embedded});
    };
    if (!folderTarget)
        take(target, targetStatus, true);
    for (const Listed& image : images)
        take(folder + pathSeparator + image.name, image.status, false);
    if (firstTrack)
        take(folder + pathSeparator + firstTrack->name, firstTrack->status, true);
    if (sources.order.empty())
        return std::nullopt;
    sources.key = hash.text();
    return sources;
}

} // namespace library
