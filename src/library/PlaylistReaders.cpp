#include "library/PlaylistReaders.h"

#include "library/PlaylistLines.h"
#include "text/Decimal.h"

#include <map>
#include <string>

namespace library {

namespace {

constexpr std::string_view extendedHeader = "#EXTM3U";
constexpr std::string_view infoTag = "#EXTINF:";
constexpr std::string_view plsHeader = "[playlist]";
constexpr std::string_view entryCountKey = "NumberOfEntries";

// A PLS key the reader can ever ask for: "NumberOfEntries", or "File",
// "Title" or "Length" followed by a number from 1 to maxEntries written
// without leading zeros. Every other key is dropped as it is read, so the
// table stays small whatever the text holds.
bool isWantedKey(std::string_view key)
{
    if (key == entryCountKey)
        return true;
    for (std::string_view name : {std::string_view("File"), std::string_view("Title"), std::string_view("Length")}) {
        if (!key.starts_with(name))
            continue;
        const std::string_view number = key.substr(name.size());
        const auto value = text::wholeDecimal(number, PlaylistLimits::maxEntries);
        return value && number.front() != '0' && *value >= 1;
    }
    return false;
}

// The part of `text` a reader looks at: all of it within the limit, else the
// lines that end within the limit (a line cut by the limit would name some
// other file).
std::string_view withinLimit(std::string_view text)
{
    if (text.size() <= PlaylistLimits::maxTextBytes)
        return text;
    text = text.substr(0, PlaylistLimits::maxTextBytes);
    const std::size_t lastFeed = text.rfind('\n');
    return text.substr(0, lastFeed == std::string_view::npos ? 0 : lastFeed + 1);
}

} // namespace

std::int32_t leadingInteger(std::string_view text)
{
    return text::atoiLike(text);
}

void readM3u(std::string_view text, std::vector<PlaylistItem>& items)
{
    PlaylistLines lines(withinLimit(text), PlaylistLimits::maxLineLength);
    std::string_view line;
    bool cut = false;
    if (!lines.next(line, cut))
        return;
    std::size_t added = 0;
    if (cut || line != extendedHeader) {
        // Simple: the first line is already an item.
        do {
            if (cut)
                continue;
            items.push_back({std::string(line), std::string(line), 0});
            ++added;
        } while (added < PlaylistLimits::maxEntries && lines.next(line, cut));
        return;
    }
    while (added < PlaylistLimits::maxEntries && lines.next(line, cut)) {
        // A cut line is passed over: a cut "#EXTINF:" line gives no title to
        // the line after it, which then stands alone.
        if (cut)
            continue;
        if (!line.starts_with(infoTag)) {
            // A line of its own, neither blank nor a comment, names a file.
            if (line.empty() || line.front() == '#')
                continue;
            items.push_back({std::string(line), std::string(line), 0});
            ++added;
            continue;
        }
        const std::string_view info = line.substr(infoTag.size());
        const std::size_t comma = info.find(',');
        PlaylistItem item;
        item.length = leadingInteger(info);
        item.title = std::string(comma == std::string_view::npos ? line : info.substr(comma + 1));
        std::string_view path;
        bool pathCut = false;
        if (!lines.next(path, pathCut))
            break;
        // A cut path would name some other file.
        if (pathCut)
            continue;
        item.path = std::string(path);
        items.push_back(std::move(item));
        ++added;
    }
}

void readPls(std::string_view text, std::vector<PlaylistItem>& items)
{
    PlaylistLines lines(withinLimit(text), PlaylistLimits::maxLineLength);
    std::string_view line;
    bool cut = false;
    if (!lines.next(line, cut) || !line.starts_with(plsHeader))
        return;
    std::map<std::string_view, std::string_view, std::less<>> values;
    while (lines.next(line, cut)) {
        const std::size_t equals = line.find('=');
        if (cut || equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        if (!isWantedKey(key))
            continue;
        std::string_view value = line.substr(equals + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        if (!value.empty() && value.back() == '\r')
            value.remove_suffix(1);
        values[key] = value;
    }
    const auto count = values.find(entryCountKey);
    if (count == values.end())
        return;
    const std::int32_t declared = leadingInteger(count->second);
    const std::size_t entries =
        declared <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(declared), PlaylistLimits::maxEntries);
    auto value = [&values](std::string_view name, std::size_t index) {
        const auto found = values.find(std::string(name) + std::to_string(index));
        return found == values.end() ? std::string_view() : found->second;
    };
    for (std::size_t index = 1; index <= entries; ++index)
        items.push_back({std::string(value("File", index)), std::string(value("Title", index)),
                         leadingInteger(value("Length", index))});
}

} // namespace library
