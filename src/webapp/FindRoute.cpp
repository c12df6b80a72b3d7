#include "webapp/FindRoute.h"

#include "library/DirectoryEnumeration.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "message/UrlCoding.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/SearchHitText.h"
#include "webapp/WebApplication.h"

#include <algorithm>
#include <array>
#include <map>

namespace webapp {

namespace {

constexpr std::size_t defaultCount = 100;
constexpr std::size_t maximumCount = 1000;

/// Whether `folder` holds cover.*, folder.* or front.* as jpg, png or webp
/// (any case).
bool holdsCoverFile(const std::string& folder)
{
    static const std::array<std::string_view, 3> stems{"cover", "folder", "front"};
    static const std::array<std::string_view, 3> extensions{"jpg", "png", "webp"};
    library::DirectoryEnumeration enumeration;
    if (!enumeration.open(folder + library::pathSeparator))
        return false;
    library::FindData child;
    while (enumeration.next(child)) {
        if (child.isDirectory())
            continue;
        std::string name = child.name;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos)
            continue;
        const std::string_view stem = std::string_view(name).substr(0, dot);
        const std::string_view extension = std::string_view(name).substr(dot + 1);
        if (std::find(stems.begin(), stems.end(), stem) != stems.end() &&
            std::find(extensions.begin(), extensions.end(), extension) != extensions.end())
            return true;
    }
    return false;
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
                known = coverFolders.emplace(folder, holdsCoverFile(folder)).first;
            hasCover = known->second;
        }
        entries.push_back(hitEntryObject(hit, hasCover ? "cover?path=" + http::urlEncode(hit.entry.path) : ""));
    }
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")),
                                 findObject(query, page.total, request.start, entries)));
}

} // namespace webapp
