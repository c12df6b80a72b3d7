#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the preferences dialog's text controls mean, as plain functions of
// their text, so each rule is tested once without a window.
namespace host {

/// A port typed into the port edit: an unsigned decimal number 1..65535,
/// blanks around it allowed. Nothing for any other text (the dialog then
/// keeps the port it had and says why).
std::optional<std::int32_t> portFromText(std::string_view text);

/// Seconds typed into the time-out edit: an unsigned decimal number that
/// fits a 32-bit signed value (0 included), blanks around it allowed.
std::optional<std::int32_t> timeoutFromText(std::string_view text);

/// The address edit's text as the dotted text the settings keep: up to four
/// parts separated by ".", each blank (which counts as 0) or a decimal
/// number 0..255 of at most three digits; missing parts count as 0, so the
/// empty text is 0.0.0.0. Nothing for any other text.
std::optional<std::string> addressFromControl(std::string_view text);

/// The Library page's report of the last rebuild: empty when `seconds` <= 0
/// (no rebuild yet, or one that ended within its first second), otherwise
/// "Last index of <files> files took ", a line break, and the time as
/// "<h> hours ", "<m> minutes " and "<s> seconds", each part only when it is
/// not zero.
std::string indexReport(std::uint64_t files, std::int64_t seconds);

/// What the indexer did last, for the Library page when no rebuild runs.
struct IndexerState {
    bool rebuilt = false;    // a rebuild ran in this process
    bool complete = false;   // it reached its end and replaced the index
    std::uint64_t files = 0;
    std::int64_t seconds = 0;
    bool hasIndex = false;   // a complete index is on disk
};

/// The Library page's status text: `indexReport` of a complete rebuild of
/// this process (one quicker than a second took "less than a second");
/// otherwise what is on disk: "The last index did not complete." (and
/// " Searches use the one before." when there is one), "The search index is
/// ready." or "No search index yet: Reindex builds it."
std::string indexStatusText(const IndexerState& state);

/// `text` cut to at most `limit` bytes without splitting a UTF-8 character.
std::string limitBytes(std::string text, std::size_t limit);

/// Line breaks as a multi-line edit gives them (LF) to those the settings
/// keep (CR LF), and back. A CR LF already there stays one line break.
std::string toCrLf(std::string_view text);
std::string fromCrLf(std::string_view text);

} // namespace host
