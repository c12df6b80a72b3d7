#include "http/HostHeader.h"
#include "text/Decimal.h"

#include <algorithm>
#include <cctype>

namespace http {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool isDottedIPv4(std::string_view text)
{
    int parts = 0;
    while (parts < 4) {
        const std::size_t end = std::min(text.find('.'), text.size());
        const std::string_view part = text.substr(0, end);
        if (part.size() > 3 || !text::wholeDecimal(part, 255))
            return false;
        ++parts;
        if (end == text.size())
            break;
        text.remove_prefix(end + 1);
    }
    return parts == 4 && text.find('.') == std::string_view::npos;
}

} // namespace

std::string_view authorityHost(std::string_view authority)
{
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        return close == std::string_view::npos ? authority : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(':'));
}

bool isIpLiteral(std::string_view host)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string_view inside = host.substr(1, host.size() - 2);
        return inside.find(':') != std::string_view::npos
               && std::all_of(inside.begin(), inside.end(), [](char c) {
                      return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
                  });
    }
    return isDottedIPv4(host);
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view bareHost(std::string_view hostValue)
{
    std::string_view host = authorityHost(hostValue);
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    return host;
}

bool isAlwaysServed(std::string_view hostValue)
{
    return isIpLiteral(authorityHost(hostValue)) || sameName(bareHost(hostValue), "localhost");
}

bool namesHost(std::string_view hostValue, const std::vector<std::string>& names)
{
    const std::string_view host = bareHost(hostValue);
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return sameName(host, name); });
}

} // namespace http
