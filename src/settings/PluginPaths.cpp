#include "settings/PluginPaths.h"

#include <filesystem>

namespace host {

std::string pathWithoutExtension(const std::string& modulePath)
{
    std::size_t dot = modulePath.rfind('.');
    std::size_t slash = modulePath.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return modulePath;
    return modulePath.substr(0, dot);
}

std::string filesPathFor(const std::string& modulePath, const char* pluginHome)
{
    if (!pluginHome || !*pluginHome)
        return modulePath;
    return (std::filesystem::path(pluginHome) / std::filesystem::path(modulePath).filename()).string();
}

std::string settingsPathFor(const std::string& modulePath)
{
    return pathWithoutExtension(modulePath) + ".ini";
}

std::string defaultDocumentRootFor(const std::string& modulePath)
{
    return pathWithoutExtension(modulePath) + "/skins";
}

} // namespace host
