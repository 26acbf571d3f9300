// The program that writes the demo take: what it accepts on its command
// line, its exit codes, and the file it leaves.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/chain_fixtures.h"
#include "support/wave_fixtures.h"

namespace {

using namespace orvelan::io::testing;

int runProgram(const std::string& arguments)
{
    const std::string command = std::string(ORVELAN_MAKE_DEMO_TAKE) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MakeDemoTake, ExitCodesAndTheFileItWrites)
{
    ScratchDir dir;
    const std::string take = dir.path("take.wav");
    struct Case {
        std::string arguments;
        int exitCode;
    };
    const Case cases[] = {
        {"", 2},
        {take + " 3 extra", 2},
        {take + " abc", 2},
        {take + " 2s", 2},
        {take + " 0.5", 2},
        {take + " 31", 2},
        {dir.path("no/such/folder/take.wav"), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(runProgram(c.arguments), c.exitCode) << "'" << c.arguments << "'";
    EXPECT_FALSE(fileExists(take));

    ASSERT_EQ(runProgram(take + " 1.5"), 0);
    const auto capsules = readWaveFloats(take);
    ASSERT_EQ(capsules.size(), 32u);
    EXPECT_EQ(capsules[0].size(), 66150u);
}

}  // namespace
