#include "webapp/SettingsApply.h"

#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "settings/ControlValues.h"
#include "settings/Settings.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

namespace webapp {

FormMessages saveForm(host::Settings& settings, const SettingsForm& form)
{
    const FormMessages messages = settings.update([&](host::SettingsData& data) { return takeForm(form, data); });
    settings.save();
    return messages;
}

http::Endpoint handServerSettings(TuneletServer& server, const host::SettingsData& values)
{
    server.applyAccessSettings(values);
    server.idleTimeout = values.timeout;
    return TuneletServer::endpointFor(values);
}

void applyToServer(TuneletServer& server, const host::Settings& settings, RestartWhen when)
{
    const http::Endpoint endpoint = handServerSettings(server, settings.snapshot());
    if (server.threadId() == 0)
        return;
    if (when == RestartWhen::running || endpoint != server.endpoint())
        server.restart(endpoint);
}

bool startReindex(WebApplication& application)
{
    // The library hands the indexer the directories just saved.
    return !application.library->isIndexing() && application.library->reindex();
}

std::string indexStatus(const WebApplication& application)
{
    const library::Indexer& indexer = application.library->indexer();
    return host::indexStatusText({.rebuilt = indexer.startTime() != 0,
                                  .complete = indexer.lastRebuildComplete(),
                                  .files = indexer.entryCount(),
                                  .seconds = indexer.endTime() - indexer.startTime(),
                                  .hasIndex = indexer.hasIndex()});
}

} // namespace webapp
