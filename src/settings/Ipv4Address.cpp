#include "settings/Ipv4Address.h"
#include "text/Decimal.h"

#include <cstring>

namespace host {

bool parseIPv4(std::string_view text, std::uint32_t& networkOrder)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);

    unsigned char bytes[4];
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.')
                return false;
            text.remove_prefix(1);
        }
        const text::DecimalRun run = text::leadingDecimal(text, 255);
        if (run.digits == 0 || run.digits > 3 || run.overLimit)
            return false;
        bytes[part] = static_cast<unsigned char>(run.value);
        text.remove_prefix(run.digits);
    }
    if (!text.empty())
        return false;
    // Copying the bytes in address order gives network byte order whatever
    // the host's own order is.
    std::memcpy(&networkOrder, bytes, sizeof bytes);
    return true;
}

std::string formatIPv4(std::uint32_t networkOrder)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &networkOrder, sizeof bytes);
    std::string text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0)
            text += '.';
        text += std::to_string(bytes[part]);
    }
    return text;
}

} // namespace host
