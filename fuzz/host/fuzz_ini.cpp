// Feeds arbitrary bytes to the INI reader and the settings decoding, and
// checks what must hold for any input: text written out parses back to the
// same text, read limits are kept, and a saved record reads back stable.
#include "host/IniDocument.h"
#include "host/Settings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string plainFields(const host::Settings& s)
{
    std::string out = std::to_string(s.autoStart) + "|" + s.listenIP + "|" + std::to_string(s.listenPort) + "|" +
                      std::to_string(s.timeout) + "|" + std::to_string(s.requirePassword) + "|" + s.username + "|" +
                      s.password + "|" + std::to_string(s.filterIPs) + "|" + std::to_string(s.enableML) + "|" +
                      s.documentRoot + "|" + std::to_string(s.needsIndex.load()) + "|";
    for (const std::string& dir : s.sharedDirs)
        out += dir + ";";
    return out;
}

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Never present: the constructor's load only finds no file.
    static host::Settings settings("/nonexistent-tunelet-fuzz/fuzz.ini");

    host::IniDocument document =
        host::IniDocument::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string text = document.text();
    require(host::IniDocument::parse(text).text() == text);

    settings.readFrom(document);
    require(settings.listenIP.size() <= host::Settings::listenIPLimit);
    require(settings.username.size() <= host::Settings::credentialLimit);
    require(settings.password.size() <= host::Settings::credentialLimit);
    require(settings.documentRoot.size() <= host::Settings::documentRootLimit);
    require(settings.allowedIPs.size() <= host::Settings::addressListLimit);
    require(settings.blockedIPs.size() <= host::Settings::addressListLimit);

    // Once saved, a record reads back the same and saves to the same text.
    settings.writeTo(document);
    host::IniDocument saved = host::IniDocument::parse(document.text());
    settings.readFrom(saved);
    std::string first = plainFields(settings);
    settings.writeTo(saved);
    std::string savedText = saved.text();
    host::IniDocument again = host::IniDocument::parse(savedText);
    settings.readFrom(again);
    require(plainFields(settings) == first);
    return 0;
}
