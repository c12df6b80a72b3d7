#include "webapp/ListingText.h"

#include "message/UrlCoding.h"
#include "library/LibraryPath.h"
#include "platform/Datagram.h"
#include "webapp/ScriptText.h"

namespace webapp {

namespace {

std::string entryType(const library::LibraryEntry& entry, bool isRoot)
{
    if (isRoot || entry.isDirectory())
        return "$DIR$";
    return library::extensionOf(entry.path);
}

} // namespace

std::string listingObject(std::string_view path, std::string_view session, bool isRoot,
                          const std::vector<library::LibraryEntry>& entries)
{
    std::string out = "{\"path\" : \"" + http::urlEncode(path) + "\",\n";
    out += "\"auth\" : \"" + scriptStringContent(session) + "\",\n";
    out += "\"files\" : [\n";
    bool wroteAny = false;
    if (!isRoot) {
        out += R"({"name" : "..","type" : "$UP$" })";
        wroteAny = true;
    }
    for (const library::LibraryEntry& entry : entries) {
        std::string_view name = isRoot ? std::string_view(entry.path) : library::fileNamePart(entry.path);
        if (library::fileNamePart(entry.path) == "..")
            continue;
        if (wroteAny)
            out += ',';
        wroteAny = true;
        out += "\n{\"name\" : \"" + http::urlEncode(name);
        out += "\",\"path\" : \"" + http::urlEncode(entry.path);
        out += "\",\"type\" : \"" + http::urlEncode(entryType(entry, isRoot)) + "\" }\n";
    }
    out += "]}";
    return out;
}

std::string peerListingObject(const library::PeerListing& listing)
{
    std::string out = "{\"path\" : \"" + http::urlEncode(listing.path) + "\",\n";
    out += "\"auth\" : \"" + scriptStringContent(listing.auth) + "\",\n";
    out += "\"files\" : [\n";
    if (listing.hasUp)
        out += R"({"name" : "..","type" : "$UP$" })";
    bool wroteAny = listing.hasUp;
    for (const library::PeerListingEntry& entry : listing.entries) {
        if (wroteAny)
            out += ',';
        wroteAny = true;
        out += "\n{\"name\" : \"" + http::urlEncode(entry.name);
        out += "\",\"path\" : \"" + http::urlEncode(entry.path);
        out += "\",\"type\" : \"" + http::urlEncode(entry.type) + "\" }\n";
    }
    out += "]}";
    return out;
}

std::string favoritesObject(const std::vector<discovery::PeerEntry>& peers)
{
    std::string out = "{";
    for (const discovery::PeerEntry& peer : peers) {
        const std::string port = std::to_string(peer.port);
        const std::string host = scriptStringContent(platform::dottedAddress(peer.sender.address) + ":" + port);
        out += "\"" + host + "/\": {\"name\": \"" + scriptStringContent(peer.name) + ":" + port + "\"";
        out += ",\"host\": \"" + host + "\"},";
    }
    out += R"("/": {"name": "Local Library","host": ""}})";
    return out;
}

} // namespace webapp
