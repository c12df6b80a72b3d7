#include "settings/IniDocument.h"

namespace host {

namespace {

constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

/// What one line means. `name` is the trimmed section or key name.
struct LineMeaning {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;
    std::string_view value;
};

LineMeaning classify(std::string_view line)
{
    std::string_view body = trimmed(line);
    if (!body.empty() && body.front() == '[') {
        // A header without its "]" still opens a section, as the profile
        // functions read it, so its keys never leak into the section above.
        body.remove_prefix(1);
        std::size_t close = body.find(']');
        return {LineMeaning::Section, trimmed(body.substr(0, close)), {}};
    }
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return {};
    std::string_view name = trimmed(line.substr(0, equals));
    if (name.empty())
        return {};
    return {LineMeaning::Key, name, line.substr(equals + 1)};
}

bool isBlankLine(std::string_view line) { return trimmed(line).empty(); }

} // namespace

IniDocument IniDocument::parse(std::string_view text)
{
    IniDocument document;
    if (text.starts_with(utf8Mark)) {
        document.byteOrderMark = utf8Mark;
        text.remove_prefix(utf8Mark.size());
    }
    bool endingSeen = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (end != std::string_view::npos) {
            if (!endingSeen) {
                document.lineEnding = line.ends_with('\r') ? "\r\n" : "\n";
                endingSeen = true;
            }
            text.remove_prefix(end + 1);
        } else {
            text = {};
        }
        // Every CR at the end of a line goes, also in a file with LF endings
        // and on a last line without one: a value never ends in a CR, and the
        // text written back reads as the same lines.
        while (line.ends_with('\r'))
            line.remove_suffix(1);
        document.lines.emplace_back(line);
    }
    return document;
}

std::string IniDocument::text() const
{
    std::size_t size = byteOrderMark.size();
    for (const std::string& line : lines)
        size += line.size() + lineEnding.size();
    std::string out;
    out.reserve(size);
    out += byteOrderMark;
    for (const std::string& line : lines) {
        out += line;
        out += lineEnding;
    }
    return out;
}

std::optional<std::size_t> IniDocument::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineMeaning meaning = classify(lines[i]);
        if (meaning.kind == LineMeaning::Section && sameName(meaning.name, section))
            return i;
    }
    return std::nullopt;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines.size() && classify(lines[i]).kind != LineMeaning::Section)
        ++i;
    return i;
}

std::optional<std::string_view> IniDocument::find(std::string_view section, std::string_view key) const
{
    std::optional<std::size_t> header = findSection(section);
    if (!header)
        return std::nullopt;
    std::size_t end = sectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        LineMeaning meaning = classify(lines[i]);
        if (meaning.kind == LineMeaning::Key && sameName(meaning.name, key))
            return meaning.value;
    }
    return std::nullopt;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value)
{
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append("=").append(value);

    std::optional<std::size_t> header = findSection(section);
    if (!header) {
        if (!lines.empty() && !isBlankLine(lines.back()))
            lines.emplace_back();
        std::string heading;
        heading.reserve(section.size() + 2);
        heading.append("[").append(section).append("]");
        lines.push_back(std::move(heading));
        lines.push_back(std::move(line));
        return;
    }
    std::size_t end = sectionEnd(*header);
    std::size_t lastFilled = *header;
    for (std::size_t i = *header + 1; i < end; ++i) {
        LineMeaning meaning = classify(lines[i]);
        if (meaning.kind == LineMeaning::Key && sameName(meaning.name, key)) {
            lines[i] = std::move(line);
            return;
        }
        if (!isBlankLine(lines[i]))
            lastFilled = i;
    }
    // New keys go before the blank lines that separate this section from the
    // next one, so the hand-made layout of the file stays as it was.
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), std::move(line));
}

} // namespace host
