#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// Enters every file of the web client's list (`webclient::allResources`)
/// into both tables under its route name: its resource, and a handler that
/// sends it unchanged or with its placeholders filled in
/// (`WebApplication::sendTemplate`), as the list says. Entries of other
/// names are kept.
void addEmbeddedRoutes(RouteTables& tables);

} // namespace webapp
