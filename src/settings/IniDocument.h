#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

/// An INI text held as its lines, read and edited the way the settings file
/// is used: section and key names match without regard to ASCII case and to
/// blanks around them; a key's value is every byte after the line's first "="
/// (no trimming, no quote handling, so any text written comes back unchanged).
///
/// Editing a key rewrites that one line and leaves every other line (comments,
/// unknown keys, other sections, junk) byte for byte as it was. Lines before
/// the first section header belong to no section; where a section or a key
/// appears twice, the first one counts. A line that is neither "[name]" nor
/// "name=value" is kept and otherwise ignored.
///
/// A plain value; not thread-safe. Parsing never fails and has no limits of
/// its own: the caller bounds the input (IniFile caps the file size).
class IniDocument {
public:
    /// Splits at LF; CRs at the end of a line belong to the line ending. A
    /// UTF-8 byte-order mark at the start is kept and written back.
    static IniDocument parse(std::string_view text);

    /// The text again: every line followed by the line ending the parsed text
    /// used first (CR LF or LF; LF for a document that had none).
    std::string text() const;

    /// The raw value of `key` in `section`; empty optional when the section or
    /// the key is missing (an existing key with nothing after "=" gives an
    /// empty value, not a missing one).
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

    /// Makes `key` in `section` hold `value`: its line is replaced by
    /// "key=value", or the line is added after the section's last non-blank
    /// line, or the section is added at the end with the line. A value is
    /// stored only up to its first CR, LF or NUL, so that no value can spill
    /// into lines of its own. `section` and `key` must not hold line breaks,
    /// "]" or "=".
    void set(std::string_view section, std::string_view key, std::string_view value);

    std::size_t lineCount() const { return lines.size(); }

private:
    std::optional<std::size_t> findSection(std::string_view section) const;
    std::size_t sectionEnd(std::size_t header) const;

    std::string byteOrderMark;
    std::string lineEnding = "\n";
    std::vector<std::string> lines;
};

} // namespace host
