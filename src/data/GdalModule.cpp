#include "data/GdalModule.h"

#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace fennick {

namespace {

using EntriesFunction = const SGdalModuleEntries* (*)();

struct SModuleState {
    std::mutex lock;
    bool tried = false;
    const SGdalModuleEntries* entries = nullptr;
    std::string error;
    bool quiet = false;
};

SModuleState& State() {
    static SModuleState state;
    return state;
}

// Where the module may be: beside the program, in the installed layout's library folder, in the build tree.
std::vector<std::string> Candidates() {
    std::vector<std::string> paths;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path dir = program.parent_path();
        paths.push_back((dir / kGdalModuleFile).string());
        paths.push_back((dir.parent_path() / "lib" / "fennick" / kGdalModuleFile).string());
    }
#ifdef FENNICK_MODULE_DIR
    paths.push_back(std::string(FENNICK_MODULE_DIR) + "/" + kGdalModuleFile);
#endif
    return paths;
}

const SGdalModuleEntries* Accept(EntriesFunction function, std::string& error) {
    const SGdalModuleEntries* entries = function != nullptr ? function() : nullptr;
    if (entries == nullptr || entries->version != kGdalModuleVersion) {
        error = std::string(kGdalModuleFile) + " is of another version of this program.";
        return nullptr;
    }
    return entries;
}

void Load(SModuleState& state) {
    // A program linked with the module has it already.
    if (void* symbol = dlsym(RTLD_DEFAULT, kGdalModuleSymbol)) {
        state.entries = Accept(reinterpret_cast<EntriesFunction>(symbol), state.error);
        return;
    }
    std::string reasons;
    for (const std::string& path : Candidates()) {
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            reasons += (reasons.empty() ? "" : "; ") + std::string(why != nullptr ? why : path.c_str());
            continue;
        }
        // The module stays loaded for the life of the process: objects it made may outlive any caller.
        state.entries =
            Accept(reinterpret_cast<EntriesFunction>(dlsym(handle, kGdalModuleSymbol)), state.error);
        return;
    }
    state.error =
        reasons.empty() ? std::string(kGdalModuleFile) + " was not found beside the program." : reasons;
}

} // namespace

const SGdalModuleEntries* GdalModule() {
    SModuleState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.tried) {
        state.tried = true;
        Load(state);
        if (state.entries != nullptr && state.quiet)
            state.entries->quiet();
    }
    return state.entries;
}

std::string GdalModuleError() {
    GdalModule();
    SModuleState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.error;
}

bool GdalModuleMissing() {
    SModuleState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.tried && state.entries == nullptr;
}

void QuietGdalDiagnostics() {
    SModuleState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.quiet = true;
    if (state.entries != nullptr)
        state.entries->quiet();
}

} // namespace fennick
