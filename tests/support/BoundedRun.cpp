#include "BoundedRun.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fennick::test {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

std::string Message(const std::string& first, const std::string& second) {
    return first + ": " + second + ".\n";
}

} // namespace

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

SProcessResult RunMergeBounded(const std::vector<std::string>& args, const SLimits& limits) {
    // The shell sets the limits and then becomes the tool; dash counts -f in 512-byte blocks.
    std::string script = "ulimit -t " + std::to_string(limits.cpuSeconds);
    if (!kAddressSanitizer && limits.memoryKb > 0)
        script += " && ulimit -v " + std::to_string(limits.memoryKb);
    if (limits.fileSizeKb > 0)
        script += " && ulimit -f " + std::to_string(limits.fileSizeKb * 2);
    script += " && exec \"$@\"";
    std::vector<std::string> argv = {"-c", script, "sh"};
    if (limits.unprivileged && RunningAsRoot()) {
        for (const char* a : {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"})
            argv.emplace_back(a);
    }
    argv.push_back(ToolPath("fennick-merge"));
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess("/bin/sh", argv, {}, limits.wallSeconds);
}

std::map<std::string, std::string> Snapshot(const std::string& dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        std::string bytes;
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        files[fs::relative(entry.path(), dir).string()] = bytes;
    }
    return files;
}

std::string CantOpenMain(const std::string& path) {
    return Message("Can't open main file.", path);
}
std::string CantOpen(const std::string& path) {
    return Message("Can't open file.", path);
}
std::string AppendFailed(const std::string& path) {
    return Message("An error occurred while adding data from file.", path);
}
std::string OtherColumns(const std::string& path) {
    return Message(path, "Different column definitions.");
}
std::string OtherShapeType(const std::string& path) {
    return Message(path, "Different shape types.");
}
std::string CantCreate(const std::string& path) {
    return Message("Can't create shapefile.", path);
}

} // namespace fennick::test
