#include "player/PluginLoader.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string_view>

namespace player {

using platform::PluginRecord;

PluginLoader::PluginLoader(platform::HWND parent, std::ostream& log) : parent(parent), log(log) {}

PluginLoader::~PluginLoader()
{
    quitAll();
}

int PluginLoader::loadDirectory(const std::string& directory)
{
    namespace fs = std::filesystem;
    std::vector<std::string> candidates;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        const std::string_view suffix = platform::sharedLibrarySuffix;
        if (name.size() > 4 + suffix.size() && name.starts_with("gen_") && name.ends_with(suffix) &&
            it->is_regular_file(error))
            candidates.push_back(it->path().string());
    }
    std::sort(candidates.begin(), candidates.end());
    int loaded = 0;
    for (const auto& candidate : candidates)
        loaded += load(candidate) ? 1 : 0;
    return loaded;
}

bool PluginLoader::load(const std::string& path)
{
    Loaded plugin;
    plugin.path = path;
    if (!plugin.library.open(path)) {
        log << "tunelet-player: skipping " << path << ": " << plugin.library.error() << '\n';
        return false;
    }
    auto entry = reinterpret_cast<platform::PluginEntry>(plugin.library.symbol(platform::PLUGIN_ENTRY_NAME));
    if (!entry) {
        log << "tunelet-player: skipping " << path << ": not a plug-in (no " << platform::PLUGIN_ENTRY_NAME
            << ")\n";
        return false;
    }
    plugin.record = entry();
    if (!plugin.record || plugin.record->version != platform::PLUGIN_RECORD_VERSION) {
        log << "tunelet-player: skipping " << path << ": unsupported plug-in record version "
            << (plugin.record ? plugin.record->version : 0) << '\n';
        return false;
    }
    if (!plugin.record->init || !plugin.record->quit) {
        log << "tunelet-player: skipping " << path << ": incomplete plug-in record\n";
        return false;
    }
    plugin.record->hwndParent = parent;
    plugin.record->hDllInstance = plugin.library.handle();
    // Kept before init, so that a plug-in that fails still receives quit.
    plugins.push_back(std::move(plugin));
    int status = plugins.back().record->init();
    if (status != 0)
        log << "tunelet-player: " << path << ": init answered " << status << '\n';
    return true;
}

const PluginRecord* PluginLoader::record(std::size_t index) const
{
    return index < plugins.size() ? plugins[index].record : nullptr;
}

void PluginLoader::configure(std::size_t index)
{
    if (index < plugins.size() && plugins[index].record->config)
        plugins[index].record->config();
}

void PluginLoader::quitAll(const std::function<void()>& beforeUnload)
{
    for (auto it = plugins.rbegin(); it != plugins.rend(); ++it)
        it->record->quit();
    if (beforeUnload)
        beforeUnload();
    while (!plugins.empty())
        plugins.pop_back();  // unloads, the last loaded first
}

} // namespace player
