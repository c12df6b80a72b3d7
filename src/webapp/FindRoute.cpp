#include "webapp/FindRoute.h"

#include "library/FolderCover.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "message/UrlCoding.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/TrackEntryText.h"
#include "webapp/WebApplication.h"

#include <algorithm>
#include <array>
#include <map>

namespace webapp {

namespace {

constexpr std::size_t defaultCount = 100;
constexpr std::size_t maximumCount = 1000;

/// {"query" : .., "total" : .., "start" : .., "files" : [ the entries, one
/// per line ]}, values through urlEncode.
std::string findObject(std::string_view query, std::size_t total, std::size_t start,
                       const std::vector<std::string>& entries)
{
    return "{" + quotedField("query", query) + "," + quotedField("total", std::to_string(total)) + "," +
           quotedField("start", std::to_string(start)) + ",\"files\" : [" + objectLines(entries) + "]}";
}

std::string folderOf(const library::LibraryEntry& entry)
{
    if (entry.isDirectory())
        return entry.path;
    const std::size_t cut = entry.path.rfind(library::pathSeparator);
    return cut == std::string::npos ? std::string() : entry.path.substr(0, cut);
}

library::LibrarySearch::FindRequest findRequest(const RequestContext& context)
{
    library::LibrarySearch::FindRequest request;
    request.foldersOnly = integerParameter(context, "folders") == 1;
    request.start = static_cast<std::size_t>(std::max(0, integerParameter(context, "start")));
    if (!parameter(context, "count").empty())
        request.count =
            std::min(maximumCount, static_cast<std::size_t>(std::max(0, integerParameter(context, "count"))));
    else
        request.count = defaultCount;
    const int sortBy = integerParameter(context, "sortby");
    if (!parameter(context, "sortby").empty() && sortBy >= 0 && sortBy <= 7)
        request.sortBy = static_cast<library::LibrarySearch::SortKey>(sortBy);
    request.descending = integerParameter(context, "sortdir") == 1;
    return request;
}

} // namespace

void sendFind(WebApplication& application, RequestContext& context)
{
    const std::string query = parameter(context, "q");
    const library::LibrarySearch::FindRequest request = findRequest(context);
    const library::LibrarySearch::Page page = application.library->find(query, request);
    std::map<std::string, bool> coverFolders;
    std::vector<std::string> entries;
    entries.reserve(page.hits.size());
    for (const library::LibrarySearch::Hit& hit : page.hits) {
        bool hasCover = hit.tags.hasPicture;
        if (!hasCover) {
            const std::string folder = folderOf(hit.entry);
            auto known = coverFolders.find(folder);
            if (known == coverFolders.end())
                known = coverFolders.emplace(folder, !library::folderCoverFile(folder).empty()).first;
            hasCover = known->second;
        }
        entries.push_back(trackEntryText(hit, hasCover ? coverUrl(hit.entry.path) : ""));
    }
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")),
                                 findObject(query, page.total, request.start, entries)));
}

} // namespace webapp
