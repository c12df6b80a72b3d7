#include "library/PeerBrowseAnswer.h"

namespace library {

namespace {

bool isAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

/// A cursor over the answer that copies what it takes; every step either
/// takes what it expects or fails.
class Copier {
public:
    Copier(std::string_view text, std::string& out) : rest(text), out(out) {}

    bool literal(std::string_view expected)
    {
        if (!rest.starts_with(expected))
            return false;
        rest.remove_prefix(expected.size());
        out += expected;
        return true;
    }

    bool key()
    {
        if (!literal("\""))
            return false;
        std::size_t length = 0;
        while (length < rest.size() && rest[length] >= 'a' && rest[length] <= 'z')
            ++length;
        if (length == 0 || length > longestKey)
            return false;
        out += rest.substr(0, length);
        rest.remove_prefix(length);
        return literal("\" : ");
    }

    bool value()
    {
        if (!literal("\""))
            return false;
        // The way up of a folder listing, as written by its routes.
        if (literal("$UP$\"") || literal("..\""))
            return true;
        std::size_t length = 0;
        while (length < rest.size() && rest[length] != '"') {
            if (isAlphanumeric(rest[length]))
                ++length;
            else if (rest[length] == '%' && length + 2 < rest.size() && isLowerHex(rest[length + 1]) &&
                     isLowerHex(rest[length + 2]))
                length += 3;
            else
                return false;
        }
        out += rest.substr(0, length);
        rest.remove_prefix(length);
        return literal("\"");
    }

    bool entry()
    {
        if (!literal("{"))
            return false;
        do {
            if (!key() || !value())
                return false;
        } while (literal(","));
        return literal("}");
    }

    bool list()
    {
        if (!literal("["))
            return false;
        if (literal("]"))
            return true;
        do {
            if (!literal("\n") || !entry())
                return false;
        } while (literal(","));
        return literal("]");
    }

    bool object()
    {
        if (!literal("{"))
            return false;
        do {
            if (!key() || !(rest.starts_with("[") ? list() : value()))
                return false;
        } while (literal(","));
        return literal("}");
    }

    bool atEnd() const { return rest.empty(); }

private:
    std::string_view rest;
    std::string& out;
};

} // namespace

bool readPeerBrowseAnswer(std::string_view answer, std::string& object)
{
    object.clear();
    if (!answer.starts_with("(") || !answer.ends_with(");"))
        return false;
    Copier in(answer.substr(1, answer.size() - 3), object);
    return in.object() && in.atEnd();
}

} // namespace library
