#pragma once
// Runs a program as a separate process and collects its exit status and both output streams.

#include <functional>
#include <string>
#include <vector>

namespace fennick::test {

struct SProcessResult {
    int exitCode = -1; // -1 when the process ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

// Runs program with args (argv[0] is added). whileRunning, when given, is called with the child's pid after
// the start and before the wait. The run is ended after timeoutSeconds.
SProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::function<void(int pid)>& whileRunning = {}, int timeoutSeconds = 120);

// The first line of a tool's output, with its line break: the fixed message of a failure, which a second line
// may follow with the reason.
std::string FirstLine(const std::string& text);
// The second line without its two-space indent and line break (empty when there is none).
std::string SecondLine(const std::string& text);
// The path of a tool built by this build tree (src/cli).
std::string ToolPath(const std::string& name);

} // namespace fennick::test
