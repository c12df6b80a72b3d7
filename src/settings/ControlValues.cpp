#include "settings/ControlValues.h"

#include "text/Decimal.h"

#include <limits>

namespace host {

namespace {

std::string_view withoutBlanks(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

/// Digits only, no sign, no blanks inside; nothing when out of `low`..`high`.
std::optional<std::int64_t> unsignedIn(std::string_view text, std::int64_t low, std::int64_t high)
{
    const auto value = text::wholeDecimal(withoutBlanks(text), static_cast<std::uint64_t>(high));
    if (!value || static_cast<std::int64_t>(*value) < low)
        return std::nullopt;
    return static_cast<std::int64_t>(*value);
}

} // namespace

std::optional<std::int32_t> portFromText(std::string_view text)
{
    if (auto value = unsignedIn(text, 1, 65535))
        return static_cast<std::int32_t>(*value);
    return std::nullopt;
}

std::optional<std::int32_t> timeoutFromText(std::string_view text)
{
    if (auto value = unsignedIn(text, 0, std::numeric_limits<std::int32_t>::max()))
        return static_cast<std::int32_t>(*value);
    return std::nullopt;
}

std::optional<std::string> addressFromControl(std::string_view text)
{
    text = withoutBlanks(text);
    std::string dotted;
    int parts = 0;
    for (;;) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (++parts > 4 || part.size() > 3)
            return std::nullopt;
        const auto value = part.empty() ? std::optional<std::int64_t>(0) : unsignedIn(part, 0, 255);
        if (!value || part != withoutBlanks(part))
            return std::nullopt;
        dotted += (parts > 1 ? "." : "") + std::to_string(*value);
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    for (; parts < 4; ++parts)
        dotted += ".0";
    return dotted;
}

std::string indexReport(std::uint64_t files, std::int64_t seconds)
{
    if (seconds <= 0)
        return {};
    std::string report = "Last index of " + std::to_string(files) + " files took \n";
    if (seconds >= 3600) {
        report += std::to_string(seconds / 3600) + " hours ";
        seconds %= 3600;
    }
    if (seconds >= 60) {
        report += std::to_string(seconds / 60) + " minutes ";
        seconds %= 60;
    }
    if (seconds > 0)
        report += std::to_string(seconds) + " seconds";
    return report;
}

std::string indexStatusText(const IndexerState& state)
{
    if (state.rebuilt && state.complete) {
        if (state.seconds <= 0)
            return "Last index of " + std::to_string(state.files) + " files took \nless than a second";
        return indexReport(state.files, state.seconds);
    }
    if (state.rebuilt)
        return state.hasIndex ? "The last index did not complete. Searches use the one before."
                              : "The last index did not complete.";
    return state.hasIndex ? "The search index is ready." : "No search index yet: Reindex builds it.";
}

std::string limitBytes(std::string text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    // Back to the first byte of the character that would be split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

std::string toCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

std::string fromCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

} // namespace host
