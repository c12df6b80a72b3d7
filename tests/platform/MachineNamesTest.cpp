// The names this machine answers to, from its host name and resolver text.
#include "platform/MachineNames.h"

#include <gtest/gtest.h>

TEST(MachineNames, HostNameItsLocalNameAndItsSearchDomains)
{
    using Names = std::vector<std::string>;
    const struct {
        const char* host;
        const char* resolver;
        Names names;
    } cases[] = {
        {"Box", "", {"box", "box.local"}},
        {"box.corp.example.", "nameserver 10.0.0.1\n", {"box.corp.example", "box", "box.local"}},
        {"box", "search Home.Lan corp.example # note\nnameserver 1.1.1.1\n", {"box", "box.local", "box.home.lan", "box.corp.example"}},
        {"box", "domain Corp.Example\n", {"box", "box.local", "box.corp.example"}},
        // The last "search" or "domain" line is the one the resolver uses.
        {"box", "domain old.example\nsearch\tnew.example\r\n", {"box", "box.local", "box.new.example"}},
        {"box", "#search commented.example\nsearchx no.example\n", {"box", "box.local"}},
        {"", "search home.lan\n", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::machineNamesFor(c.host, c.resolver), c.names) << c.host << " / " << c.resolver;
}
