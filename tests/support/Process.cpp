#include "Process.h"

#include "TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fennick::test {

SProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::function<void(int pid)>& whileRunning, int timeoutSeconds) {
    CTempDir streams;
    const std::string outPath = streams.Path("out");
    const std::string errPath = streams.Path("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + program);
    if (whileRunning)
        whileRunning(pid);
    int status = 0;
    for (int waited = 0;; ++waited) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (waited > timeoutSeconds * 100) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        usleep(10000);
    }
    SProcessResult result;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    result.out = CTempDir::Read(outPath);
    result.err = CTempDir::Read(errPath);
    return result;
}

std::string ToolPath(const std::string& name) {
#ifdef FENNICK_BINARY_DIR
    return std::string(FENNICK_BINARY_DIR) + "/src/cli/" + name;
#else
    return name;
#endif
}

std::string FirstLine(const std::string& text) {
    const auto end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end + 1);
}

std::string SecondLine(const std::string& text) {
    const std::string rest = text.substr(FirstLine(text).size());
    const std::string line = FirstLine(rest);
    if (line.rfind("  ", 0) != 0)
        return {};
    return line.substr(2, line.size() - 2 - (line.ends_with('\n') ? 1 : 0));
}

} // namespace fennick::test
