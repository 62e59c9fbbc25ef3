#pragma once
// COXRegistryItem: one registry key, and optionally one value in it, addressed by a single path string:
// an optional machine ("\\name"), an optional hive ("\CurrentUser", "\LocalMachine" ...), an optional key
// path enclosed in backslashes and an optional value name ("NoName" meaning the key's default value), in this
// order. The key is opened on demand and kept open, with the access it was opened with, until the item is
// destroyed. The current user's hive is kept by CSettingsStore; other hives and remote machines do not exist
// here, and opening them fails.
//
// Failures are never raised: every operation keeps the result of its last store call in LastResult
// (0, or 0x80070000 | the Win32 error code) and reports failure in its return value.

#include "ui/SettingsStore.h"

#include <cstdint>
#include <memory>
#include <string>

namespace fennick {

inline constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

class COXRegistryItem {
public:
    // The item for fullPath; nothing is opened yet. store null: the current user's settings file.
    explicit COXRegistryItem(std::u16string fullPath = {}, std::shared_ptr<CSettingsStore> store = nullptr);
    ~COXRegistryItem();
    COXRegistryItem(const COXRegistryItem&) = delete;
    COXRegistryItem& operator=(const COXRegistryItem&) = delete;

    // The path and its parts; each side is rebuilt from the other when next asked for. Setting either
    // closes an open key.
    std::u16string GetFullRegistryItem();
    void SetFullRegistryItem(std::u16string fullPath);
    std::u16string GetMachineName();
    std::u16string GetRegistryName();
    std::u16string GetKeyName();
    std::u16string GetValueName();
    void SetMachineName(std::u16string machine);
    void SetRegistryName(std::u16string hive);
    void SetKeyName(std::u16string key);
    void SetValueName(std::u16string value);

    // Result of the last store call: 0, or 0x80070000 | (Win32 error & 0xFFFF).
    int32_t GetLastError() const { return m_lastResult; }

    // Opens (or with create, creates and opens) the key for the access mask; closes a key opened before.
    bool OpenKey(bool create, uint32_t accessMask);
    void CloseKey();
    bool IsOpen() const { return m_keyOpen; }

    // The text of a value. name empty: the item's value name; "NoName": the default value. With
    // acceptExpandable any type is read (and only string types give text), else only REG_SZ; expand
    // replaces %NAME% in a REG_EXPAND_SZ value. A missing value gives defaultValue.
    std::u16string ReadStringValue(const std::u16string& name = {}, bool acceptExpandable = true,
                                   bool expand = true, const std::u16string& defaultValue = {});
    // Stores text as REG_SZ (REG_EXPAND_SZ with expandable); the key is created when missing.
    bool WriteStringValue(const std::u16string& text, const std::u16string& name = {},
                          bool expandable = false);

    // The raw read: type and data of a value. requiredType non-zero: another type fails with invalid data.
    bool ReadValue(const std::u16string& name, uint32_t requiredType, uint32_t& type,
                   std::vector<uint8_t>& data);

    // Path syntax helpers.
    struct SParts {
        std::u16string machine, hive, key, value;
        bool operator==(const SParts&) const = default;
    };
    static SParts SplitFullPath(const std::u16string& fullPath);
    static std::u16string JoinParts(const SParts& parts);
    static void NormalizeParts(SParts& parts);
    // HRESULT of a Win32 error code.
    static int32_t ResultFromWin32(uint32_t error);

private:
    void EnsureParts();
    void EnsureFullPath();
    std::u16string EffectiveValueName(const std::u16string& name);
    void SetResult(uint32_t error) { m_lastResult = ResultFromWin32(error); }

    std::u16string m_fullPath;
    bool m_fullPathCurrent = true;
    SParts m_parts;
    bool m_partsCurrent = false;
    bool m_hiveConnected = false;
    bool m_keyOpen = false;
    int32_t m_lastResult = 0;

    std::shared_ptr<CSettingsStore> m_store;
    std::u16string m_openKeyPath; // the open key below the hive
    uint32_t m_openAccess = 0;
};

} // namespace fennick
