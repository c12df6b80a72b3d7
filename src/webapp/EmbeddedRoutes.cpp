#include "webapp/EmbeddedRoutes.h"

#include "webapp/WebApplication.h"
#include "webclient/Resources.h"

namespace webapp {

namespace {

void sendResource(WebApplication& application, RequestContext& context)
{
    application.sendResource(context);
}

void sendTemplate(WebApplication& application, RequestContext& context)
{
    application.sendTemplate(context);
}

} // namespace

void addEmbeddedRoutes(RouteTables& tables)
{
    for (const webclient::Resource& resource : webclient::allResources()) {
        std::string name(resource.route);
        tables.resources.insert_or_assign(name, ResourceRef{static_cast<std::uint16_t>(resource.id), resource.type});
        tables.routes.insert_or_assign(name, resource.isTemplate ? sendTemplate : sendResource);
    }
}

} // namespace webapp
