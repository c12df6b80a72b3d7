#include "settings/SettingsData.h"

#include "text/Decimal.h"

#include <limits>
#include <optional>
#include <string_view>

namespace host {

namespace {

constexpr const char* defaultAllowedIPs = "127.0.0.1\r\n192.168.0.*\r\n192.168.1.*";

/// A decimal number at the start of `text` (blanks before it and anything
/// after it are ignored, as the profile functions read numbers). Text with no
/// digits, or a number outside 32 bits, gives `fallback`.
std::int32_t parseNumber(std::string_view text, std::int32_t fallback)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const text::DecimalRun run =
        text::leadingDecimal(text.substr(i), std::uint64_t{std::numeric_limits<std::int32_t>::max()} + 1);
    if (run.digits == 0 || run.overLimit)
        return fallback;
    auto value = static_cast<std::int64_t>(run.value);
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return fallback;
    return static_cast<std::int32_t>(value);
}

/// CR and LF become the two characters "\r" and "\n", so a list fits on one
/// line; a backslash is written unchanged.
std::string escapeLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0;;) {
        std::size_t hit = text.find(from, at);
        if (hit == std::string_view::npos) {
            out.append(text.substr(at));
            return out;
        }
        out.append(text.substr(at, hit - at)).append(to);
        at = hit + from.size();
    }
}

/// Three passes over the whole text, in this order, as the stored lists have
/// always been read: "\r" to CR, "\n" to LF, then "\\" to one backslash.
std::string unescapeLineBreaks(std::string_view text)
{
    std::string out = replaceAll(text, "\\r", "\r");
    out = replaceAll(out, "\\n", "\n");
    return replaceAll(out, "\\\\", "\\");
}

std::vector<std::string> splitDirectories(std::string_view text)
{
    std::vector<std::string> parts;
    while (!text.empty()) {
        std::size_t semicolon = text.find(';');
        std::string_view part = text.substr(0, semicolon);
        if (!part.empty())
            parts.emplace_back(part);
        if (semicolon == std::string_view::npos)
            break;
        text.remove_prefix(semicolon + 1);
    }
    return parts;
}

} // namespace

SettingsData SettingsData::readFrom(const IniDocument& document)
{
    SettingsData data;
    auto number = [&](const char* key, std::int32_t fallback) {
        std::optional<std::string_view> value = document.find(sectionName, key);
        return value ? parseNumber(*value, fallback) : fallback;
    };
    auto flag = [&](const char* key, bool fallback) { return number(key, fallback ? 1 : 0) != 0; };
    auto text = [&](const char* key, std::string_view fallback, std::size_t limit) {
        std::optional<std::string_view> value = document.find(sectionName, key);
        return std::string(value ? value->substr(0, limit) : fallback);
    };

    data.autoStart = flag("autoStart", true);
    data.listenIP = text("listenIP", "0.0.0.0", listenIPLimit);
    data.listenPort = number("listenPort", 5151);
    data.timeout = number("timeout", 900);
    data.requirePassword = flag("requirePassword", false);
    data.username = text("username", "", credentialLimit);
    data.password = text("password", "", credentialLimit);
    data.filterIPs = flag("filterIPs", false);
    // The default list is the unescaped text; a stored list is cut at the
    // limit first and unescaped after, as the stored form is what is bounded.
    std::optional<std::string_view> allowed = document.find(sectionName, "Allowed IPs");
    data.allowedIPs = allowed ? unescapeLineBreaks(allowed->substr(0, addressListLimit)) : defaultAllowedIPs;
    data.blockedIPs = unescapeLineBreaks(text("Blocked IPs", "", addressListLimit));
    data.enableML = flag("Enable ML", true);
    // No escape is undone here, so backslashes inside paths come back as
    // they were written.
    data.sharedDirs = splitDirectories(text("Shared Dirs", "", sharedDirsLimit));
    data.documentRoot = text("DocumentRoot", "", documentRootLimit);
    data.needsIndex = flag("NeedsIndex", false);
    data.allowedHosts = unescapeLineBreaks(text("Allowed Hosts", "", addressListLimit));
    data.adminFromLan = flag("Admin From LAN", false);
    return data;
}

void SettingsData::writeTo(IniDocument& document) const
{
    auto set = [&](const char* key, std::string_view value) { document.set(sectionName, key, value); };
    auto setNumber = [&](const char* key, std::int32_t value) { set(key, std::to_string(value)); };
    auto setFlag = [&](const char* key, bool value) { set(key, value ? "1" : "0"); };

    std::string joined;
    for (const std::string& directory : sharedDirs) {
        // Stored, it would read back as two directories, one of which could
        // share a place the user never chose.
        if (directory.find(';') != std::string::npos)
            continue;
        joined += directory;
        joined += ';';
    }

    setFlag("autoStart", autoStart);
    set("listenIP", listenIP);
    setNumber("listenPort", listenPort);
    setNumber("timeout", timeout);
    setFlag("requirePassword", requirePassword);
    set("username", username);
    set("password", password);
    setFlag("filterIPs", filterIPs);
    set("Allowed IPs", escapeLineBreaks(allowedIPs));
    set("Blocked Ips", escapeLineBreaks(blockedIPs));
    setFlag("Enable ML", enableML);
    set("Shared Dirs", escapeLineBreaks(joined));
    set("DocumentRoot", documentRoot);
    setFlag("NeedsIndex", needsIndex);
    // Written once used, so a file that never held it stays as older
    // versions write it.
    if (!allowedHosts.empty() || document.find(sectionName, "Allowed Hosts"))
        set("Allowed Hosts", escapeLineBreaks(allowedHosts));
    if (adminFromLan || document.find(sectionName, "Admin From LAN"))
        setFlag("Admin From LAN", adminFromLan);
}

} // namespace host
