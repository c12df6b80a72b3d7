#include "settings/Settings.h"

#include "settings/IniFile.h"

namespace host {

Settings::Settings(std::string path) : iniPath(std::move(path))
{
    load();
}

bool Settings::load()
{
    IniDocument document;
    IniFile::ReadStatus status = IniFile::read(iniPath, document);
    replace(SettingsData::readFrom(document));
    return status != IniFile::ReadStatus::Failed;
}

bool Settings::save()
{
    std::lock_guard<std::mutex> held(saveLock);
    const SettingsData values = snapshot();
    return IniFile::update(iniPath, [&values](IniDocument& document) { values.writeTo(document); });
}

SettingsData Settings::snapshot() const
{
    std::lock_guard<std::mutex> held(dataLock);
    return data;
}

void Settings::replace(SettingsData values)
{
    std::lock_guard<std::mutex> held(dataLock);
    data = std::move(values);
}

} // namespace host
