#pragma once

#include <string>

namespace host {

/// The environment variable a host player sets for its plug-ins when their
/// files (settings, document root, index) live in a folder of their own
/// instead of beside the modules: that folder's absolute path.
inline constexpr const char* pluginHomeVariable = "TUNELET_PLUGIN_HOME";

/// Where a module keeps its files, as a path ending in its file name: the
/// module's own path, or with `pluginHome` (a folder; null or empty for none)
/// the module's file name inside that folder.
/// ("/usr/lib/t/Plugins/gen_Tunelet.so", "/var/lib/t/Plugins") gives
/// "/var/lib/t/Plugins/gen_Tunelet.so".
std::string filesPathFor(const std::string& modulePath, const char* pluginHome);

/// The module's path without its extension: the text from the last "." of
/// the file name onward is removed (a "." in a directory name is no
/// extension). "/opt/p/Plugins/gen_Tunelet.so" gives "/opt/p/Plugins/gen_Tunelet".
std::string pathWithoutExtension(const std::string& modulePath);

/// The settings file beside the module: "<module without extension>.ini".
std::string settingsPathFor(const std::string& modulePath);

/// The document root used when the settings name none:
/// "<module without extension>/skins".
std::string defaultDocumentRootFor(const std::string& modulePath);

} // namespace host
