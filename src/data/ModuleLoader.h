#pragma once
// Loads one of the program's own shared modules on first use. A module holds the code built on a heavy
// library (GDAL, PROJ), so a program pays for loading that library only when it needs it. Each module
// exports one function, of type const void* (), that hands out a static table of entries; the table begins
// with its layout version and the build stamp of the sources it was built from (SModuleHead). A module of
// another build is refused: it may have been built against another core.

#include <mutex>
#include <string>
#include <vector>

namespace fennick {

// The start of every module's entry table.
struct SModuleHead {
    int version;
    const char* stamp;
};

// Which module, the symbol that hands out its entries, and the entry table's version the program expects.
struct SModuleName {
    const char* file;
    const char* symbol;
    int version;
};

// The folders searched for a module: the core library's own folder, where the build puts the modules and
// the install copies them (lib/fennick beside the programs' bin).
std::vector<std::string> DefaultModuleFolders();

class CModuleLoader {
public:
    // Something to do with the entries as soon as the module is loaded (e.g. silence its diagnostics).
    using Action = void (*)(const void* entries);

    explicit CModuleLoader(const SModuleName& name,
                           std::vector<std::string> folders = DefaultModuleFolders());
    CModuleLoader(const CModuleLoader&) = delete;
    CModuleLoader& operator=(const CModuleLoader&) = delete;

    // The module's entry table, loading it on the first call (thread-safe); null when it cannot be loaded,
    // and Error then says why. Loading is tried once.
    const void* Entries();
    std::string Error();
    // True when loading was tried and failed; never loads.
    bool Missing();
    // Runs action on the entries now if the module is loaded, else right after it loads; never loads.
    void WhenLoaded(Action action);

private:
    void Load();
    const void* Accept(void* symbol, const std::string& path);

    const SModuleName m_name;
    const std::vector<std::string> m_folders;
    std::mutex m_lock;
    bool m_tried = false;
    const void* m_entries = nullptr;
    std::string m_error;
    std::vector<Action> m_pending;
};

} // namespace fennick
