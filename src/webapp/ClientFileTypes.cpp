#include "webapp/ClientFileTypes.h"

namespace webapp {

std::string clientFileTypeFor(std::string_view extension)
{
    if (extension == "png")
        return "image/png";
    if (extension == "webmanifest")
        return "application/manifest+json";
    return {};
}

} // namespace webapp
