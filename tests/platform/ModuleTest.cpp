// The running program's own path, loading modules, and the machine's names,
// as each system answers them.
#include "platform/MachineNames.h"
#include "platform/ModulePath.h"
#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

int functionOfTheProgram()
{
    return 0;
}

} // namespace

TEST(ModulePath, TheProgramFindsItselfByAnAddressInIt)
{
    const std::string program = platform::executablePath();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(std::filesystem::path(program).is_absolute()) << program;
    EXPECT_TRUE(std::filesystem::is_regular_file(program)) << program;
    EXPECT_EQ(platform::modulePath(reinterpret_cast<const void*>(&functionOfTheProgram)), program);
    EXPECT_EQ(platform::modulePath(nullptr), "");
}

TEST(SharedLibrary, FailuresSayWhy)
{
    platform::SharedLibrary library;
    const std::string missing = (std::filesystem::temp_directory_path() / "no-such-module.bin").string();
    EXPECT_FALSE(library.open(missing));
    EXPECT_FALSE(library.isOpen());
    EXPECT_FALSE(library.error().empty());
    EXPECT_EQ(library.symbol("anything"), nullptr);
}

TEST(MachineNames, ThisMachineHasANameInLowerCase)
{
    const std::vector<std::string> names = platform::machineNames();
    ASSERT_GE(names.size(), 2u);
    for (const std::string& name : names)
        EXPECT_EQ(name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << name;
    const std::string label = names[0].substr(0, names[0].find('.'));
    EXPECT_NE(std::find(names.begin(), names.end(), label + ".local"), names.end()) << label;
}
