#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testing_support {

/// What a shell command printed (standard output and error together) and its
/// exit status (-1 when it did not exit normally or could not start).
struct Outcome {
    int exitCode = -1;
    std::string output;
};

inline Outcome run(const std::string& command)
{
    Outcome result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace testing_support
