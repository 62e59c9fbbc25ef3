#include "data/ModuleLoader.h"

#include "platform/BuildStamp.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fennick {

namespace {

using EntriesFunction = const void* (*)();

} // namespace

std::vector<std::string> DefaultModuleFolders() {
    std::vector<std::string> folders;
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&DefaultModuleFolders), &info) != 0 &&
        info.dli_fname != nullptr) {
        std::error_code error;
        const std::filesystem::path core = std::filesystem::canonical(info.dli_fname, error);
        if (!error)
            folders.push_back(core.parent_path().string());
    }
    return folders;
}

CModuleLoader::CModuleLoader(const SModuleName& name, std::vector<std::string> folders)
    : m_name(name), m_folders(std::move(folders)) {}

const void* CModuleLoader::Accept(void* symbol, const std::string& path) {
    const void* entries = symbol != nullptr ? reinterpret_cast<EntriesFunction>(symbol)() : nullptr;
    const auto* head = static_cast<const SModuleHead*>(entries);
    if (head == nullptr || head->version != m_name.version) {
        m_error = std::string(m_name.file) + " is of another version of this program.";
        return nullptr;
    }
    if (head->stamp == nullptr || std::strcmp(head->stamp, kBuildStamp) != 0) {
        m_error = path + " was built from other sources (" +
                  (head->stamp != nullptr ? head->stamp : "no stamp") + ") than this program (" +
                  kBuildStamp + ") and is not loaded.";
        return nullptr;
    }
    return entries;
}

void CModuleLoader::Load() {
    // A program linked with the module has it already.
    if (void* symbol = dlsym(RTLD_DEFAULT, m_name.symbol)) {
        m_entries = Accept(symbol, m_name.file);
        return;
    }
    std::string reasons;
    for (const std::string& folder : m_folders) {
        const std::string path = (std::filesystem::path(folder) / m_name.file).string();
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
        m_entries = Accept(dlsym(handle, m_name.symbol), path);
        return;
    }
    m_error = reasons.empty() ? std::string(m_name.file) + " was not found beside the program." : reasons;
}

const void* CModuleLoader::Entries() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_tried) {
        m_tried = true;
        Load();
        if (m_entries != nullptr)
            for (Action action : m_pending)
                action(m_entries);
        m_pending.clear();
    }
    return m_entries;
}

std::string CModuleLoader::Error() {
    Entries();
    std::lock_guard<std::mutex> guard(m_lock);
    return m_error;
}

bool CModuleLoader::Missing() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_tried && m_entries == nullptr;
}

void CModuleLoader::WhenLoaded(Action action) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_entries != nullptr)
        action(m_entries);
    else if (!m_tried && std::find(m_pending.begin(), m_pending.end(), action) == m_pending.end())
        m_pending.push_back(action);
}

} // namespace fennick
