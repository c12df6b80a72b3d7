#include "webapp/RouteTables.h"

namespace webapp {

std::map<std::string, ResourceRef>& resourceTable()
{
    static std::map<std::string, ResourceRef> table;
    return table;
}

std::map<std::string, RouteHandler>& routeTable()
{
    static std::map<std::string, RouteHandler> table;
    return table;
}

} // namespace webapp
