#include "platform/MachineNames.h"

#include <algorithm>

namespace platform {

namespace {

std::string lowerName(std::string_view name)
{
    while (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    std::string out(name);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
    return out;
}

void addName(std::vector<std::string>& names, std::string name)
{
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
}

/// The words after "search" and "domain" lines; the last such line wins, as
/// the resolver reads it.
std::vector<std::string> searchDomains(std::string_view text)
{
    std::vector<std::string> domains;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        std::vector<std::string> words;
        for (std::size_t at = 0; (at = line.find_first_not_of(" \t\r", at)) != std::string_view::npos;) {
            const std::size_t stop = std::min(line.find_first_of(" \t\r", at), line.size());
            words.emplace_back(line.substr(at, stop - at));
            at = stop;
        }
        if (words.empty() || (words[0] != "search" && words[0] != "domain"))
            continue;
        domains.clear();
        for (std::size_t i = 1; i < words.size() && words[i][0] != '#' && words[i][0] != ';'; ++i)
            domains.push_back(lowerName(words[i]));
    }
    return domains;
}

} // namespace

std::vector<std::string> machineNamesFor(std::string_view hostName, std::string_view resolverText)
{
    std::vector<std::string> names;
    const std::string full = lowerName(hostName);
    if (full.empty())
        return names;
    const std::string label = full.substr(0, full.find('.'));
    addName(names, full);
    addName(names, label);
    addName(names, label + ".local");
    for (const std::string& domain : searchDomains(resolverText)) {
        if (!domain.empty())
            addName(names, label + "." + domain);
    }
    return names;
}

} // namespace platform
