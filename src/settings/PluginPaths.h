#pragma once

#include <string>

namespace host {

/// The module's path without its extension: the text from the last "." of
/// the file name onward is removed (a "." in a directory name is no
/// extension). "/opt/p/Plugins/gen_Tunelet.so" gives "/opt/p/Plugins/gen_Tunelet".
std::string pathWithoutExtension(const std::string& modulePath);

/// The settings file beside the module: "<module without extension>.ini".
std::string settingsPathFor(const std::string& modulePath);

/// The document root used when the settings name none:
/// "<module without extension>/skins" ("\" in place of "/" on Windows).
std::string defaultDocumentRootFor(const std::string& modulePath);

} // namespace host
