#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace http {

/// Cuts `text` at every character of `delimiters`, dropping empty parts.
std::vector<std::string> splitText(std::string_view text, std::string_view delimiters);

/// The patterns of a stored address list: its white-space separated tokens.
std::vector<std::string> addressPatterns(std::string_view text);

/// Whether an address pattern matches a dotted IPv4 address: both are cut at
/// "." (runs of dots count as one); the address must have exactly four parts,
/// the pattern at least four, of which only the first four count; each counts
/// when it is "*" or equals the address's part character for character.
bool addressMatches(std::string_view pattern, std::string_view address);

/// The admission rule: some allowed pattern matches and no blocked one does.
/// An empty allowed list admits nobody. Pure; safe from any thread.
bool isAddressAllowed(std::string_view address, const std::vector<std::string>& allowed,
                      const std::vector<std::string>& blocked);

} // namespace http
