#include "http/CookieStore.h"

#include "http/TextSplit.h"

namespace http {

CookieStore::CookieStore(std::string_view headerText)
{
    for (std::string_view part : splitAny(headerText, "; ")) {
        std::size_t equals = part.find('=');
        if (equals == std::string_view::npos)
            continue;
        // Parts are cut at spaces too, so a value never starts with one.
        values[std::string(part.substr(0, equals))] = std::string(part.substr(equals + 1));
    }
}

} // namespace http
