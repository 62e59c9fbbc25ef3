#pragma once
// Runs fennick-merge as a process under resource limits (CPU time, address space, file size), optionally as
// an unprivileged user, and checks the failure contract of the tool: status 1, one of its messages on
// stderr, nothing on stdout, and the output folder exactly as it was.

#include "Process.h"

#include <map>
#include <string>
#include <vector>

namespace fennick::test {

struct SLimits {
    int cpuSeconds = 30;
    long memoryKb = 1024 * 1024; // not applied under AddressSanitizer, which reserves far more
    long fileSizeKb = 0;         // 0: no limit
    bool unprivileged = false;   // run as nobody when the tests run as root, so permissions apply
    int wallSeconds = 120;
};

// Runs fennick-merge with args under the limits.
SProcessResult RunMergeBounded(const std::vector<std::string>& args, const SLimits& limits = {});

// Whether the tests run with privileges that bypass file permissions.
bool RunningAsRoot();

// Every file of a folder (recursively, hidden ones included) with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir);

// The texts fennick-merge fails with.
std::string CantOpenMain(const std::string& path); // "Can't open main file.: PATH."
std::string CantOpen(const std::string& path);     // "Can't open file.: PATH."
std::string AppendFailed(const std::string& path); // "An error occurred while adding data from file.: PATH."
std::string OtherColumns(const std::string& path); // "PATH: Different column definitions.."
std::string OtherShapeType(const std::string& path); // "PATH: Different shape types.."
std::string CantCreate(const std::string& path);     // "Can't create shapefile.: PATH."

} // namespace fennick::test
