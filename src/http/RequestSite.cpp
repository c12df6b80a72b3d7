#include "http/RequestSite.h"

#include "http/HostHeader.h"

#include <algorithm>

namespace http {

namespace {

/// The scheme and authority of an absolute URL; an empty authority when the
/// text is not one.
struct UrlOrigin {
    std::string_view scheme;
    std::string_view authority;
};

UrlOrigin urlOrigin(std::string_view url)
{
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return {};
    std::string_view authority = url.substr(colon + 3);
    authority = authority.substr(0, std::min(authority.find_first_of("/?#"), authority.size()));
    // Credentials in a URL are not part of where it points.
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    return {url.substr(0, colon), authority};
}

/// The port of an authority, `fallback` when it names none.
std::string_view portOf(std::string_view authority, std::string_view fallback)
{
    const std::string_view host = authorityHost(authority);
    if (authority.size() > host.size() + 1 && authority[host.size()] == ':')
        return authority.substr(host.size() + 1);
    return fallback;
}

/// Whether a page's origin is the one a request's "Host" names (this server
/// speaks plain HTTP, so an https page is another origin).
bool sameOrigin(const UrlOrigin& page, std::string_view hostValue)
{
    if (page.authority.empty() || !sameName(page.scheme, "http"))
        return false;
    return sameName(authorityHost(page.authority), authorityHost(hostValue))
           && portOf(page.authority, "80") == portOf(hostValue, "80");
}

const std::string* headerValue(const HeaderMap& headers, std::string_view name)
{
    auto found = headers.find(name);
    return found == headers.end() ? nullptr : &found->second;
}

} // namespace

RequestSite requestSite(const HeaderMap& headers)
{
    RequestSite site;
    const std::string* host = headerValue(headers, "Host");
    const std::string_view hostValue = host ? std::string_view(*host) : std::string_view();

    if (const std::string* fetchSite = headerValue(headers, "Sec-Fetch-Site"))
        site.foreign = *fetchSite != "same-origin" && *fetchSite != "none";
    for (std::string_view name : {"Origin", "Referer"}) {
        const std::string* value = headerValue(headers, name);
        if (!value)
            continue;
        const UrlOrigin page = urlOrigin(*value);
        if (!host || !sameOrigin(page, hostValue))
            site.foreign = true;
        if (site.page.empty())
            site.page = page.authority;
    }
    if (!site.foreign)
        site.page = {};
    return site;
}

} // namespace http
