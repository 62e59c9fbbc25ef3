#include "ui/OXRegistryItem.h"

#include "platform/TextCase.h"
#include "ui/EnvironmentStrings.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace fennick {

namespace {

bool StartsWithNoCase(const std::u16string& text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualIgnoringAsciiCase(std::u16string_view(text).substr(0, prefix.size()), prefix);
}

bool EqualsNoCase(const std::u16string& a, std::u16string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool OnlyBackslashes(const std::u16string& text) {
    return text.find_first_not_of(u'\\') == std::u16string::npos;
}

// Puts prefix in front of text. Built as a new string: GCC 12's optimiser reports a false overlap
// (-Wrestrict) inside basic_string::insert at the front.
void Prepend(std::u16string_view prefix, std::u16string& text) {
    std::u16string joined;
    joined.reserve(prefix.size() + text.size());
    joined.append(prefix).append(text);
    text = std::move(joined);
}

// The hive names of the path syntax; only the current user's hive is kept on this platform.
constexpr std::array<std::u16string_view, 7> kHives = {
    u"\\ClassesRoot",     u"\\CurrentUser",   u"\\LocalMachine", u"\\Users",
    u"\\PerformanceData", u"\\CurrentConfig", u"\\DynData",
};
constexpr std::u16string_view kCurrentUser = u"\\CurrentUser";

// Access bits that change a key.
constexpr uint32_t kWriteAccess = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

} // namespace

int32_t COXRegistryItem::ResultFromWin32(uint32_t error) {
    return error == 0 ? 0 : int32_t(0x80070000u | (error & 0xFFFFu));
}

COXRegistryItem::COXRegistryItem(std::u16string fullPath, std::shared_ptr<CSettingsStore> store)
    : m_fullPath(std::move(fullPath)), m_store(std::move(store)) {
    if (!m_store)
        m_store = std::make_shared<CSettingsStore>(CSettingsStore::DefaultFilePath());
}

COXRegistryItem::~COXRegistryItem() {
    CloseKey();
}

COXRegistryItem::SParts COXRegistryItem::SplitFullPath(const std::u16string& fullPath) {
    SParts parts;
    std::u16string rest = fullPath;
    if (rest.starts_with(u"\\\\")) {
        size_t next = rest.find(u'\\', 2);
        if (next == std::u16string::npos)
            next = rest.size();
        parts.machine = rest.substr(0, next);
        rest.erase(0, next);
    }
    for (std::u16string_view hive : kHives) {
        if (StartsWithNoCase(rest, hive) && (rest.size() == hive.size() || rest[hive.size()] == u'\\')) {
            size_t next = rest.find(u'\\', 1);
            if (next == std::u16string::npos)
                next = rest.size();
            parts.hive = rest.substr(0, next);
            rest.erase(0, next);
            break;
        }
    }
    if (rest.starts_with(u'\\')) {
        const size_t last = rest.find_last_of(u'\\');
        if (last == 0) {
            parts.key = rest + u'\\';
            rest.clear();
        } else {
            parts.key = rest.substr(0, last + 1);
            rest.erase(0, last + 1);
        }
    }
    parts.value = rest;
    NormalizeParts(parts);
    return parts;
}

void COXRegistryItem::NormalizeParts(SParts& parts) {
    if (!parts.machine.starts_with(u"\\\\"))
        Prepend(parts.machine.starts_with(u'\\') ? u"\\" : u"\\\\", parts.machine);
    if (!parts.hive.starts_with(u'\\'))
        Prepend(u"\\", parts.hive);
    if (!parts.key.starts_with(u'\\'))
        Prepend(u"\\", parts.key);
    if (!parts.key.ends_with(u'\\'))
        parts.key += u'\\';
    for (std::u16string* part : {&parts.machine, &parts.hive, &parts.key})
        if (OnlyBackslashes(*part))
            part->clear();
    if (!parts.key.empty() && parts.hive.empty())
        parts.hive = kCurrentUser;
}

std::u16string COXRegistryItem::JoinParts(const SParts& parts) {
    std::u16string path = parts.machine + parts.hive + parts.key + parts.value;
    if (!path.starts_with(u'\\'))
        Prepend(u"\\", path);
    if (OnlyBackslashes(path))
        path.clear();
    return path;
}

void COXRegistryItem::EnsureParts() {
    if (!m_partsCurrent) {
        m_parts = SplitFullPath(m_fullPath);
        m_partsCurrent = true;
    }
}

void COXRegistryItem::EnsureFullPath() {
    if (!m_fullPathCurrent) {
        m_fullPath = JoinParts(m_parts);
        m_fullPathCurrent = true;
    }
}

std::u16string COXRegistryItem::GetFullRegistryItem() {
    EnsureFullPath();
    return m_fullPath;
}

void COXRegistryItem::SetFullRegistryItem(std::u16string fullPath) {
    CloseKey();
    m_fullPath = std::move(fullPath);
    m_fullPathCurrent = true;
    m_partsCurrent = false;
}

std::u16string COXRegistryItem::GetMachineName() {
    EnsureParts();
    return m_parts.machine;
}
std::u16string COXRegistryItem::GetRegistryName() {
    EnsureParts();
    return m_parts.hive;
}
std::u16string COXRegistryItem::GetKeyName() {
    EnsureParts();
    return m_parts.key;
}
std::u16string COXRegistryItem::GetValueName() {
    EnsureParts();
    return m_parts.value;
}

void COXRegistryItem::SetMachineName(std::u16string machine) {
    EnsureParts();
    CloseKey();
    m_parts.machine = std::move(machine);
    NormalizeParts(m_parts);
    m_fullPathCurrent = false;
}
void COXRegistryItem::SetRegistryName(std::u16string hive) {
    EnsureParts();
    CloseKey();
    m_parts.hive = std::move(hive);
    NormalizeParts(m_parts);
    m_fullPathCurrent = false;
}
void COXRegistryItem::SetKeyName(std::u16string key) {
    EnsureParts();
    CloseKey();
    m_parts.key = std::move(key);
    NormalizeParts(m_parts);
    m_fullPathCurrent = false;
}
void COXRegistryItem::SetValueName(std::u16string value) {
    EnsureParts();
    m_parts.value = std::move(value);
    m_fullPathCurrent = false;
}

void COXRegistryItem::CloseKey() {
    m_keyOpen = false;
    m_hiveConnected = false;
    m_openKeyPath.clear();
    m_openAccess = 0;
}

bool COXRegistryItem::OpenKey(bool create, uint32_t accessMask) {
    CloseKey();
    EnsureParts();
    auto fail = [&](uint32_t error) {
        CloseKey();
        SetResult(error);
        return false;
    };
    // No remote registry can be reached.
    if (!m_parts.machine.empty())
        return fail(ERROR_BAD_NETPATH);
    // Only the current user's hive is kept; an empty or unknown hive name means it.
    const bool knownHive = std::any_of(kHives.begin(), kHives.end(), [&](std::u16string_view hive) {
        return EqualsNoCase(m_parts.hive, hive);
    });
    if (knownHive && !EqualsNoCase(m_parts.hive, kCurrentUser))
        return fail(ERROR_FILE_NOT_FOUND);
    m_hiveConnected = true;

    const std::u16string& key = m_parts.key;
    const std::u16string subKey = key.size() >= 2 ? key.substr(1, key.size() - 2) : std::u16string();
    // The hive itself always exists.
    uint32_t error = subKey.empty() ? ERROR_SUCCESS : m_store->FindKey(subKey);
    if (error == ERROR_FILE_NOT_FOUND && create)
        error = m_store->CreateKey(subKey);
    if (!error)
        error = m_store->CheckAccess((accessMask & kWriteAccess) != 0);
    if (error)
        return fail(error);
    m_keyOpen = true;
    m_openKeyPath = subKey;
    m_openAccess = accessMask;
    SetResult(ERROR_SUCCESS);
    return true;
}

std::u16string COXRegistryItem::EffectiveValueName(const std::u16string& name) {
    EnsureParts();
    const std::u16string& chosen = name.empty() ? m_parts.value : name;
    return EqualsNoCase(chosen, u"NoName") ? std::u16string() : chosen;
}

bool COXRegistryItem::ReadValue(const std::u16string& name, uint32_t requiredType, uint32_t& type,
                                std::vector<uint8_t>& data) {
    if (!m_keyOpen && !OpenKey(false, KEY_ALL_ACCESS) && !OpenKey(false, KEY_QUERY_VALUE))
        return false;
    if (!(m_openAccess & KEY_QUERY_VALUE)) {
        SetResult(ERROR_ACCESS_DENIED);
        return false;
    }
    SSettingsValue value;
    if (uint32_t error = m_store->QueryValue(m_openKeyPath, EffectiveValueName(name), value)) {
        SetResult(error);
        return false;
    }
    if (requiredType && value.type != requiredType) {
        SetResult(ERROR_INVALID_DATA);
        return false;
    }
    type = value.type;
    data = std::move(value.data);
    SetResult(ERROR_SUCCESS);
    return true;
}

std::u16string COXRegistryItem::ReadStringValue(const std::u16string& name, bool acceptExpandable,
                                                bool expand, const std::u16string& defaultValue) {
    std::u16string result;
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
    if (!ReadValue(name, acceptExpandable ? REG_NONE : REG_SZ, type, data)) {
        result = defaultValue;
        type = REG_EXPAND_SZ;
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        result = RegDataToString(data);
    } else {
        SetResult(ERROR_INVALID_DATA);
    }
    if (acceptExpandable && expand && type == REG_EXPAND_SZ) {
        std::u16string expanded;
        if (ExpandEnvironmentStrings(result, expanded))
            result = std::move(expanded);
    }
    return result;
}

bool COXRegistryItem::WriteStringValue(const std::u16string& text, const std::u16string& name,
                                       bool expandable) {
    if (!m_keyOpen && !OpenKey(true, KEY_ALL_ACCESS) && !OpenKey(true, KEY_SET_VALUE))
        return false;
    if (!(m_openAccess & KEY_SET_VALUE)) {
        SetResult(ERROR_ACCESS_DENIED);
        return false;
    }
    SSettingsValue value;
    value.name = EffectiveValueName(name);
    value.type = expandable ? REG_EXPAND_SZ : REG_SZ;
    value.data = StringToRegData(text);
    SetResult(m_store->SetValue(m_openKeyPath, value));
    return m_lastResult >= 0;
}

} // namespace fennick
