#include "library/PeerListing.h"

namespace library {

namespace {

/// A cursor over the answer; every step either consumes what it expects or fails.
class Reader {
public:
    explicit Reader(std::string_view text) : rest(text) {}

    bool literal(std::string_view expected)
    {
        if (!rest.starts_with(expected))
            return false;
        rest.remove_prefix(expected.size());
        return true;
    }

    /// A percent-encoded value up to the closing quote, decoded into `out`.
    bool encoded(std::string& out)
    {
        out.clear();
        while (!rest.empty() && rest.front() != '"') {
            const char c = rest.front();
            if (isAlphanumeric(c)) {
                out += c;
                rest.remove_prefix(1);
            } else if (c == '%' && rest.size() >= 3 && isLowerHex(rest[1]) && isLowerHex(rest[2])) {
                out += static_cast<char>(hexValue(rest[1]) * 16 + hexValue(rest[2]));
                rest.remove_prefix(3);
            } else {
                return false;
            }
        }
        return literal("\"");
    }

    bool auth(std::string& out)
    {
        std::size_t length = 0;
        while (length < rest.size() && isAuthByte(rest[length]))
            ++length;
        if (length > longestAuth)
            return false;
        out = rest.substr(0, length);
        rest.remove_prefix(length);
        return literal("\"");
    }

    bool atEnd() const { return rest.empty(); }

private:
    static bool isAlphanumeric(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    static bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
    static int hexValue(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }
    static bool isAuthByte(char c)
    {
        return isAlphanumeric(c) || c == '{' || c == '}' || c == '-' || c == '_' || c == '.';
    }

    std::string_view rest;
};

} // namespace

bool parsePeerListing(std::string_view answer, PeerListing& listing)
{
    listing = {};
    Reader in(answer);
    if (!in.literal("({\"path\" : \"") || !in.encoded(listing.path) || !in.literal(",\n\"auth\" : \"") ||
        !in.auth(listing.auth) || !in.literal(",\n\"files\" : [\n"))
        return false;
    listing.hasUp = in.literal(R"({"name" : "..","type" : "$UP$" })");
    bool first = !listing.hasUp;
    while (!in.literal("]});")) {
        if (!first && !in.literal(","))
            return false;
        first = false;
        PeerListingEntry entry;
        if (!in.literal("\n{\"name\" : \"") || !in.encoded(entry.name) || !in.literal(",\"path\" : \"") ||
            !in.encoded(entry.path) || !in.literal(",\"type\" : \"") || !in.encoded(entry.type) ||
            !in.literal(" }\n"))
            return false;
        listing.entries.push_back(std::move(entry));
    }
    return in.atEnd();
}

} // namespace library
