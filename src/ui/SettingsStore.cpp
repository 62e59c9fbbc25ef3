#include "ui/SettingsStore.h"

#include "platform/CodePage.h"
#include "platform/TextCase.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace fennick {

namespace {

using Json = nlohmann::ordered_json;

// The registry compares key and value names without regard to case.
bool SameName(const std::u16string& a, const std::u16string& b) {
    return EqualIgnoringAsciiCase(a, b);
}

SSettingsKey* FindKeyIn(std::vector<SSettingsKey>& keys, const std::u16string& path) {
    for (SSettingsKey& key : keys)
        if (SameName(key.path, path))
            return &key;
    return nullptr;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Creates the folder and its missing parents.
int MakeFolders(const std::string& folder) {
    if (folder.empty() || Exists(folder))
        return 0;
    const std::string parent = FolderOf(folder);
    if (parent != folder)
        if (int err = MakeFolders(parent))
            return err;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

std::string HexOf(const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : data) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

bool BytesOfHex(const std::string& hex, std::vector<uint8_t>& data) {
    if (hex.size() % 2)
        return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    data.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = nibble(hex[i]), low = nibble(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        data.push_back(uint8_t(high * 16 + low));
    }
    return true;
}

template <class T> std::vector<uint8_t> LittleEndian(T value) {
    std::vector<uint8_t> data(sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i)
        data[i] = uint8_t(value >> (8 * i));
    return data;
}

template <class T> T FromLittleEndian(const std::vector<uint8_t>& data) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T) && i < data.size(); ++i)
        value |= T(data[i]) << (8 * i);
    return value;
}

Json ValueToJson(const SSettingsValue& value) {
    Json entry = Json::object();
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        entry["type"] = value.type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ";
        entry["data"] = ToUtf8(RegDataToString(value.data));
        break;
    case REG_DWORD:
        if (value.data.size() == 4) {
            entry["type"] = "REG_DWORD";
            entry["data"] = FromLittleEndian<uint32_t>(value.data);
            break;
        }
        [[fallthrough]];
    case REG_QWORD:
        if (value.type == REG_QWORD && value.data.size() == 8) {
            entry["type"] = "REG_QWORD";
            entry["data"] = FromLittleEndian<uint64_t>(value.data);
            break;
        }
        [[fallthrough]];
    default:
        entry["type"] = value.type;
        entry["hex"] = HexOf(value.data);
        break;
    }
    return entry;
}

// False for an entry that does not describe a value; such entries are dropped.
bool ValueFromJson(const Json& entry, SSettingsValue& value) {
    if (!entry.is_object() || !entry.contains("type"))
        return false;
    const Json& type = entry["type"];
    if (type.is_string()) {
        const std::string name = type.get<std::string>();
        const Json* data = entry.contains("data") ? &entry["data"] : nullptr;
        if ((name == "REG_SZ" || name == "REG_EXPAND_SZ") && data && data->is_string()) {
            value.type = name == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
            value.data = StringToRegData(FromUtf8(data->get<std::string>()));
            return true;
        }
        if (name == "REG_DWORD" && data && data->is_number_unsigned() &&
            data->get<uint64_t>() <= UINT32_MAX) {
            value.type = REG_DWORD;
            value.data = LittleEndian<uint32_t>(uint32_t(data->get<uint64_t>()));
            return true;
        }
        if (name == "REG_QWORD" && data && data->is_number_unsigned()) {
            value.type = REG_QWORD;
            value.data = LittleEndian<uint64_t>(data->get<uint64_t>());
            return true;
        }
        return false;
    }
    if (type.is_number_unsigned() && type.get<uint64_t>() <= UINT32_MAX && entry.contains("hex") &&
        entry["hex"].is_string()) {
        value.type = uint32_t(type.get<uint64_t>());
        return BytesOfHex(entry["hex"].get<std::string>(), value.data);
    }
    return false;
}

} // namespace

std::vector<uint8_t> StringToRegData(const std::u16string& text) {
    std::vector<uint8_t> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) {
        data.push_back(uint8_t(unit & 0xFF));
        data.push_back(uint8_t(unit >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::u16string RegDataToString(const std::vector<uint8_t>& data) {
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        text += unit;
    }
    return text;
}

uint32_t Win32ErrorFromErrno(int err, uint32_t fallback) {
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    default:
        return fallback;
    }
}

CSettingsStore::CSettingsStore(std::string filePath) : m_filePath(std::move(filePath)) {}

std::string CSettingsStore::DefaultFilePath() {
    std::string base;
    // The XDG rule: a relative value is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        base = config;
    else {
        std::string home;
        if (const char* env = std::getenv("HOME"); env && env[0])
            home = env;
        else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
            home = user->pw_dir;
        base = home + "/.config";
    }
    return base + "/Orlenta/Fennick.conf";
}

uint32_t CSettingsStore::CheckAccess(bool write) const {
    const bool fileExists = Exists(m_filePath);
    if (fileExists && ::faccessat(AT_FDCWD, m_filePath.c_str(), R_OK, AT_EACCESS) != 0)
        return ERROR_ACCESS_DENIED;
    if (!write)
        return ERROR_SUCCESS;
    if (fileExists && ::faccessat(AT_FDCWD, m_filePath.c_str(), W_OK, AT_EACCESS) != 0)
        return ERROR_ACCESS_DENIED;
    // The new file is renamed into its folder, or the folders are created in the nearest existing one.
    std::string folder = FolderOf(m_filePath);
    while (!Exists(folder) && FolderOf(folder) != folder)
        folder = FolderOf(folder);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

uint32_t CSettingsStore::Load(std::vector<SSettingsKey>& keys, bool* unreadable) const {
    keys.clear();
    if (unreadable)
        *unreadable = false;
    const int fd = ::open(m_filePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ERROR_SUCCESS : Win32ErrorFromErrno(errno, ERROR_READ_FAULT);
    struct stat st {};
    std::string text;
    uint32_t result = ERROR_SUCCESS;
    if (::fstat(fd, &st) != 0)
        result = Win32ErrorFromErrno(errno, ERROR_READ_FAULT);
    else if (!S_ISREG(st.st_mode))
        result = ERROR_ACCESS_DENIED;
    else if (uint64_t(st.st_size) <= kMaxFileSize) {
        char buffer[8192];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = Win32ErrorFromErrno(errno, ERROR_READ_FAULT);
                break;
            }
            if (got == 0)
                break;
            text.append(buffer, size_t(got));
            if (text.size() > kMaxFileSize)
                break;
        }
    }
    ::close(fd);
    if (result != ERROR_SUCCESS)
        return result;

    const Json root = text.size() <= kMaxFileSize ? Json::parse(text, nullptr, false) : Json();
    if (!root.is_object()) {
        if (unreadable)
            *unreadable = true;
        return ERROR_SUCCESS;
    }
    for (const auto& [keyName, keyEntry] : root.items()) {
        if (!keyEntry.is_object())
            continue;
        SSettingsKey key;
        key.path = FromUtf8(keyName);
        if (FindKeyIn(keys, key.path))
            continue;
        for (const auto& [valueName, valueEntry] : keyEntry.items()) {
            SSettingsValue value;
            value.name = FromUtf8(valueName);
            const bool duplicate =
                std::any_of(key.values.begin(), key.values.end(),
                            [&](const SSettingsValue& v) { return SameName(v.name, value.name); });
            if (!duplicate && ValueFromJson(valueEntry, value))
                key.values.push_back(std::move(value));
        }
        keys.push_back(std::move(key));
    }
    return ERROR_SUCCESS;
}

uint32_t CSettingsStore::Save(const std::vector<SSettingsKey>& keys) const {
    std::string text;
    try {
        Json root = Json::object();
        for (const SSettingsKey& key : keys) {
            Json values = Json::object();
            for (const SSettingsValue& value : key.values)
                values[ToUtf8(value.name)] = ValueToJson(value);
            root[ToUtf8(key.path)] = std::move(values);
        }
        // Strict: text that is not valid Unicode (a lone surrogate) is refused rather than altered.
        text = root.dump(2) + "\n";
    } catch (const nlohmann::json::exception&) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }

    const std::string folder = FolderOf(m_filePath);
    if (int err = MakeFolders(folder))
        return Win32ErrorFromErrno(err, ERROR_WRITE_FAULT);
    std::string temp = m_filePath + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return Win32ErrorFromErrno(errno, ERROR_WRITE_FAULT);
    int err = 0;
    for (size_t done = 0; done < text.size() && !err;) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            err = put < 0 ? errno : EIO;
        else
            done += size_t(put);
    }
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(temp.c_str(), m_filePath.c_str()) != 0)
        err = errno;
    if (err) {
        ::unlink(temp.c_str());
        return Win32ErrorFromErrno(err, ERROR_WRITE_FAULT);
    }
    // Make the rename itself durable.
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return ERROR_SUCCESS;
}

template <class Change> uint32_t CSettingsStore::Modify(Change change) {
    if (uint32_t denied = CheckAccess(true))
        return denied;
    std::vector<SSettingsKey> keys;
    bool unreadable = false;
    if (uint32_t result = Load(keys, &unreadable))
        return result;
    bool changed = change(keys);
    if (!changed)
        return ERROR_SUCCESS;
    // Keep a file we could not understand for the user to look at, instead of overwriting it.
    if (unreadable && ::rename(m_filePath.c_str(), (m_filePath + ".broken").c_str()) != 0)
        return Win32ErrorFromErrno(errno, ERROR_WRITE_FAULT);
    return Save(keys);
}

uint32_t CSettingsStore::FindKey(const std::u16string& keyPath) const {
    std::vector<SSettingsKey> keys;
    if (uint32_t result = Load(keys))
        return result;
    return FindKeyIn(keys, keyPath) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

uint32_t CSettingsStore::CreateKey(const std::u16string& keyPath) {
    return Modify([&](std::vector<SSettingsKey>& keys) {
        if (FindKeyIn(keys, keyPath))
            return false;
        keys.push_back(SSettingsKey{keyPath, {}});
        return true;
    });
}

uint32_t CSettingsStore::QueryValue(const std::u16string& keyPath, const std::u16string& name,
                                    SSettingsValue& value) const {
    std::vector<SSettingsKey> keys;
    if (uint32_t result = Load(keys))
        return result;
    SSettingsKey* key = FindKeyIn(keys, keyPath);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    for (const SSettingsValue& stored : key->values)
        if (SameName(stored.name, name)) {
            value = stored;
            return ERROR_SUCCESS;
        }
    return ERROR_FILE_NOT_FOUND;
}

uint32_t CSettingsStore::SetValue(const std::u16string& keyPath, const SSettingsValue& value) {
    return Modify([&](std::vector<SSettingsKey>& keys) {
        SSettingsKey* key = FindKeyIn(keys, keyPath);
        if (!key) {
            keys.push_back(SSettingsKey{keyPath, {}});
            key = &keys.back();
        }
        for (SSettingsValue& stored : key->values)
            if (SameName(stored.name, value.name)) {
                stored.type = value.type;
                stored.data = value.data;
                return true;
            }
        key->values.push_back(value);
        return true;
    });
}

} // namespace fennick
