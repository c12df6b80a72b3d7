#pragma once

#include "webclient/Resources.h"

#include <string>
#include <string_view>

namespace webclient::test {

/// The resource served under a route name, or nullptr.
inline const Resource* byRoute(std::string_view route)
{
    for (const Resource& resource : allResources()) {
        if (resource.route == route)
            return &resource;
    }
    return nullptr;
}

/// The bytes served under a route name; empty when there is no such route.
inline std::string text(std::string_view route)
{
    const Resource* resource = byRoute(route);
    return resource ? std::string(resource->bytes) : std::string();
}

} // namespace webclient::test
