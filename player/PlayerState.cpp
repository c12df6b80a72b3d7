#include "player/PlayerState.h"

#include "settings/IniFile.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace player {

namespace {

constexpr std::string_view header = "#EXTM3U";
constexpr std::string_view entryTag = "#EXTINF:";
constexpr std::string_view stateTag = "#TUNELET-PLAYER:";

std::optional<int> integer(std::string_view text)
{
    int value = 0;
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

/// "key=value key=value ..." of the last line, by key; nothing when a key
/// comes twice.
std::map<std::string_view, std::string_view> fields(std::string_view text)
{
    std::map<std::string_view, std::string_view> out;
    while (!text.empty()) {
        std::size_t space = text.find(' ');
        std::string_view field = text.substr(0, space);
        std::size_t equals = field.find('=');
        if (equals != std::string_view::npos && !out.emplace(field.substr(0, equals), field.substr(equals + 1)).second)
            return {};
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    }
    return out;
}

} // namespace

std::string PlayerState::text() const
{
    std::string out(header);
    out += '\n';
    int written = 0;
    int writtenCurrent = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        // A line that starts with '#' would be read back as a comment.
        if (entry.file.empty() || entry.file.starts_with('#') || entry.file.find_first_of("\r\n") != std::string::npos)
            continue;
        if (static_cast<int>(i) == current)
            writtenCurrent = written;
        std::string title = entry.title;
        for (char& c : title)
            if (c == '\n' || c == '\r')
                c = ' ';
        out += std::string(entryTag) + std::to_string(entry.lengthSeconds) + "," + title + "\n" + entry.file + "\n";
        ++written;
    }
    out += std::string(stateTag) + "entries=" + std::to_string(written) + " current=" + std::to_string(writtenCurrent) +
           " position=" + std::to_string(positionMs) + " volume=" + std::to_string(volume) +
           " shuffle=" + (shuffle ? "1" : "0") + " repeat=" + (repeat ? "1" : "0") +
           " transport=" + (transport == Transport::paused ? "paused" : "stopped") + "\n";
    return out;
}

bool PlayerState::parse(std::string_view text, std::string& error)
{
    if (text.empty()) {
        error = "empty";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        error = "binary data";
        return false;
    }
    if (!text.starts_with(std::string(header) + "\n")) {
        error = "not the player's playlist";
        return false;
    }
    if (!text.ends_with('\n')) {
        error = "cut short";
        return false;
    }
    std::vector<Entry> read;
    std::optional<Entry> pending;
    std::string_view last;
    std::size_t start = header.size() + 1;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!last.empty()) {
            error = "lines after the state line";
            return false;
        }
        if (line.starts_with(stateTag)) {
            last = line.substr(stateTag.size());
        } else if (line.starts_with(entryTag)) {
            std::string_view rest = line.substr(entryTag.size());
            std::size_t comma = rest.find(',');
            std::optional<int> length = integer(rest.substr(0, comma));
            if (comma == std::string_view::npos || !length) {
                error = "a malformed entry";
                return false;
            }
            pending = Entry{{}, std::string(rest.substr(comma + 1)), *length > 0 ? *length : -1};
        } else if (!line.empty() && !line.starts_with('#')) {
            if (!pending || read.size() >= maxEntries) {
                error = pending ? "too many entries" : "a file without its entry line";
                return false;
            }
            pending->file = std::string(line);
            read.push_back(std::move(*pending));
            pending.reset();
        }
    }
    if (last.empty()) {
        error = "cut short";
        return false;
    }
    auto state = fields(last);
    std::optional<int> count = integer(state["entries"]);
    std::optional<int> at = integer(state["current"]);
    std::optional<int> position = integer(state["position"]);
    std::optional<int> level = integer(state["volume"]);
    std::string_view on[] = {state["shuffle"], state["repeat"]};
    std::string_view mode = state["transport"];
    bool wellFormed = count && at && position && level && (mode == "paused" || mode == "stopped");
    for (std::string_view flag : on)
        wellFormed = wellFormed && (flag == "0" || flag == "1");
    // An empty list has entry 0 current, as the player's model does.
    if (!wellFormed || *count != static_cast<int>(read.size()) || *at < 0 || (*at >= *count && *at != 0) ||
        *position < 0 || *level < 0 || *level > 255) {
        error = "a malformed state line";
        return false;
    }
    entries = std::move(read);
    current = *at;
    positionMs = *position;
    volume = *level;
    shuffle = on[0] == "1";
    repeat = on[1] == "1";
    transport = mode == "paused" ? Transport::paused : Transport::stopped;
    return true;
}

bool PlayerState::load(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "missing";
        return false;
    }
    std::string text;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > maxFileSize) {
            error = "too large";
            return false;
        }
    }
    if (file.bad()) {
        error = "unreadable";
        return false;
    }
    return parse(text, error);
}

bool PlayerState::save(const std::string& path) const
{
    return host::IniFile::writeAside(path, text()) && host::IniFile::commitAside(path);
}

} // namespace player
