#pragma once
// CSettingsStore: the current user's registry keys and values, kept in one file,
// $XDG_CONFIG_HOME/Orlenta/Fennick.conf (~/.config when the variable is unset or relative). Each key is an
// object named by its path below the user's hive; each value keeps its registry type and its data as the
// registry would deliver it (text as NUL-terminated UTF-16 bytes). Every change rewrites the file atomically
// (a temporary file in the same folder, flushed, then renamed over the old one), so a crash or a second
// instance never leaves half a file. Results are Win32 error codes: 0 for success.

#include <cstdint>
#include <string>
#include <vector>

namespace fennick {

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_QWORD = 11;

// Win32 error codes the store reports.
inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_DATA = 13;
inline constexpr uint32_t ERROR_WRITE_FAULT = 29;
inline constexpr uint32_t ERROR_READ_FAULT = 30;
inline constexpr uint32_t ERROR_BAD_NETPATH = 53;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_DISK_FULL = 112;
inline constexpr uint32_t ERROR_NO_UNICODE_TRANSLATION = 1113;

struct SSettingsValue {
    std::u16string name; // empty for the key's unnamed default value
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
};

struct SSettingsKey {
    std::u16string path; // below the hive, parts joined by "\", no leading or trailing "\"; "" is the hive
    std::vector<SSettingsValue> values;
};

class CSettingsStore {
public:
    // The store kept in filePath (UTF-8).
    explicit CSettingsStore(std::string filePath);
    virtual ~CSettingsStore() = default;

    // $XDG_CONFIG_HOME/Orlenta/Fennick.conf, or ~/.config/Orlenta/Fennick.conf.
    static std::string DefaultFilePath();
    const std::string& FilePath() const { return m_filePath; }

    // Whether this process may read (and, with write, change) the store: 0 or ERROR_ACCESS_DENIED.
    virtual uint32_t CheckAccess(bool write) const;

    // Whether the key exists: 0 or ERROR_FILE_NOT_FOUND (or the error that kept the file from being read).
    uint32_t FindKey(const std::u16string& keyPath) const;
    // Creates the key (and the file and its folder) when it does not exist yet.
    uint32_t CreateKey(const std::u16string& keyPath);
    // Reads one value; name lookup ignores letter case, as the registry's does.
    uint32_t QueryValue(const std::u16string& keyPath, const std::u16string& name,
                        SSettingsValue& value) const;
    // Adds or replaces one value; the key is created when missing.
    uint32_t SetValue(const std::u16string& keyPath, const SSettingsValue& value);

    // The whole file. A missing file is an empty store; a file that cannot be parsed reads as empty too.
    uint32_t Load(std::vector<SSettingsKey>& keys, bool* unreadable = nullptr) const;
    uint32_t Save(const std::vector<SSettingsKey>& keys) const;

    // Files larger than this are not read.
    static constexpr uint64_t kMaxFileSize = 1 << 20;

private:
    // Load, apply change, save; a file that could not be parsed is first moved aside as ".broken".
    template <class Change> uint32_t Modify(Change change);

    std::string m_filePath;
};

// Text <-> registry string data: UTF-16LE with the terminating NUL; reading stops at the first NUL.
std::vector<uint8_t> StringToRegData(const std::u16string& text);
std::u16string RegDataToString(const std::vector<uint8_t>& data);

// errno to the Win32 error code it stands for; fallback for the codes without a close match.
uint32_t Win32ErrorFromErrno(int err, uint32_t fallback);

} // namespace fennick
