#include "http/Digest.h"

#include "http/TextSplit.h"

namespace http {

DigestParameters parseDigestParameters(std::string_view text)
{
    DigestParameters parameters;
    for (std::string_view part : splitAny(text, ", ")) {
        std::size_t equals = part.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view value = part.substr(equals + 1);
        if (!value.empty() && value.front() == '"')
            value.remove_prefix(1);
        if (!value.empty() && value.back() == '"')
            value.remove_suffix(1);
        parameters[std::string(part.substr(0, equals))] = std::string(value);
    }
    return parameters;
}

} // namespace http
