// This machine's names on Linux: the host name and the resolver's search list.
#include "platform/MachineNames.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace platform {

std::vector<std::string> machineNames()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    std::ifstream file("/etc/resolv.conf");
    const std::string resolver((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return machineNamesFor(name, resolver);
}

} // namespace platform
