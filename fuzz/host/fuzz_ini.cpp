// Feeds arbitrary bytes to the INI reader and the settings decoding, and
// checks what must hold for any input: text written out parses back to the
// same text, read limits are kept, and a saved record reads back stable.
#include "settings/IniDocument.h"
#include "settings/SettingsData.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string plainFields(const host::SettingsData& s)
{
    std::string out = std::to_string(s.autoStart) + "|" + s.listenIP + "|" + std::to_string(s.listenPort) + "|" +
                      std::to_string(s.timeout) + "|" + std::to_string(s.requirePassword) + "|" + s.username + "|" +
                      s.password + "|" + std::to_string(s.filterIPs) + "|" + std::to_string(s.enableML) + "|" +
                      s.documentRoot + "|" + std::to_string(s.needsIndex) + "|";
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
    host::IniDocument document =
        host::IniDocument::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string text = document.text();
    require(host::IniDocument::parse(text).text() == text);

    host::SettingsData settings = host::SettingsData::readFrom(document);
    require(settings.listenIP.size() <= host::SettingsData::listenIPLimit);
    require(settings.username.size() <= host::SettingsData::credentialLimit);
    require(settings.password.size() <= host::SettingsData::credentialLimit);
    require(settings.documentRoot.size() <= host::SettingsData::documentRootLimit);
    require(settings.allowedIPs.size() <= host::SettingsData::addressListLimit);
    require(settings.blockedIPs.size() <= host::SettingsData::addressListLimit);

    // Once saved, a record reads back the same and saves to the same text.
    settings.writeTo(document);
    host::IniDocument saved = host::IniDocument::parse(document.text());
    settings = host::SettingsData::readFrom(saved);
    std::string first = plainFields(settings);
    settings.writeTo(saved);
    std::string savedText = saved.text();
    host::IniDocument again = host::IniDocument::parse(savedText);
    settings = host::SettingsData::readFrom(again);
    require(plainFields(settings) == first);
    return 0;
}
