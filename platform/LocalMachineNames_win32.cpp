// This machine's names on Windows: its DNS host name and its primary DNS
// suffix, which plays the part of the resolver's search domain.
#include "platform/MachineNames.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace platform {

namespace {

std::string computerNameOf(COMPUTER_NAME_FORMAT format)
{
    DWORD length = 0;
    GetComputerNameExW(format, nullptr, &length);
    if (length == 0)
        return std::string();
    std::wstring name(length, L'\0');
    if (!GetComputerNameExW(format, name.data(), &length))
        return std::string();
    name.resize(length);
    return win32::toUtf8(name);
}

} // namespace

std::vector<std::string> machineNames()
{
    const std::string host = computerNameOf(ComputerNameDnsHostname);
    if (host.empty())
        return {};
    const std::string domain = computerNameOf(ComputerNameDnsDomain);
    return machineNamesFor(host, domain.empty() ? std::string() : "search " + domain + "\n");
}

} // namespace platform
