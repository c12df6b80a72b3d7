#include "webclient/Resources.h"

namespace webclient {

namespace generated {
// Made at build time from resources.txt (ResourceTable.cpp.in).
std::span<const Resource> resourceTable();
} // namespace generated

const Resource* findResource(int id, std::string_view type)
{
    // Some fifty entries, looked up once per request for a file: a scan is
    // as fast as any index would be.
    for (const Resource& resource : generated::resourceTable()) {
        if (resource.id == id && resource.type == type)
            return &resource;
    }
    return nullptr;
}

std::span<const Resource> allResources()
{
    return generated::resourceTable();
}

} // namespace webclient
