#include "settings/RegSpecial.h"

#include <vector>

#include "platform/Application.h"
#include "platform/Text.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Handles.h"

using platform::Error;
using platform::Format;
using platform::UniqueKey;

namespace settings {

std::string NormalizeRegKey(std::string key) {
    if (key.empty()) return key;
    for (auto pos = key.find("\\\\"); pos != std::string::npos; pos = key.find("\\\\")) {
        key.erase(pos, 1);
    }
    if (key == "\\") return {};
    if (key.back() == '\\') key.pop_back();
    if (key.empty() || key.front() != '\\') key.insert(key.begin(), '\\');
    return key;
}

namespace {

// The path as the registry functions take it: relative to the root.
std::string SubKey(const std::string& key) {
    const std::string n = NormalizeRegKey(key);
    return n.empty() ? n : n.substr(1);
}

// Every key, value name and text meets the registry in UTF-16.
UniqueKey OpenExisting(HKEY root, const std::string& key, REGSAM access) {
    UniqueKey k;
    if (RegOpenKeyExW(root, platform::Widened(SubKey(key)).c_str(), 0, access, k.put()) != ERROR_SUCCESS) k.reset();
    return k;
}

UniqueKey OpenOrCreate(HKEY root, const std::string& key) {
    UniqueKey k;
    if (RegCreateKeyExW(root, platform::Widened(SubKey(key)).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, k.put(), nullptr) != ERROR_SUCCESS) {
        throw Error(Format("Failed to create key %s", NormalizeRegKey(key).c_str()));
    }
    return k;
}

bool ReadDword(HKEY root, const std::string& key, const std::string& name, DWORD& out) {
    UniqueKey k = OpenExisting(root, key, KEY_READ);
    if (!k) return false;
    const std::wstring wide = platform::Widened(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(k.get(), wide.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_DWORD) throw Error(Format("Invalid data type for '%s'", name.c_str()));
    DWORD value = 0;
    size = sizeof(value);
    if (RegQueryValueExW(k.get(), wide.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof(value)) {
        throw Error(Format("Failed to get data for '%s'", name.c_str()));
    }
    out = value;
    return true;
}

void WriteDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    UniqueKey k = OpenOrCreate(root, key);
    if (RegSetValueExW(k.get(), platform::Widened(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value)) != ERROR_SUCCESS) {
        throw Error(Format("Failed to set data for '%s'", name.c_str()));
    }
}

void DeleteTree(HKEY parent, const std::wstring& sub) {
    UniqueKey k;
    if (RegOpenKeyExW(parent, sub.c_str(), 0, KEY_READ | KEY_WRITE, k.put()) != ERROR_SUCCESS) return;
    // Sub-keys first: a key with sub-keys cannot be deleted on the NT family.
    std::vector<std::wstring> children;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = 256;
        if (RegEnumKeyExW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, len);
    }
    for (const auto& c : children) DeleteTree(k.get(), c);
    k.reset();
    RegDeleteKeyW(parent, sub.c_str());
}

// A text value as stored, with its type (REG_SZ or REG_EXPAND_SZ).
std::wstring ReadText(HKEY root, const std::string& key, const std::string& name, bool& found, DWORD& type) {
    found = false;
    type = REG_SZ;
    UniqueKey k = OpenExisting(root, key, KEY_READ);
    if (!k) return {};
    const std::wstring wide = platform::Widened(name);
    DWORD size = 0;
    if (RegQueryValueExW(k.get(), wide.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw Error(Format("Invalid data type for '%s'", name.c_str()));
    std::wstring out;
    LONG rc = ERROR_MORE_DATA;
    while (rc == ERROR_MORE_DATA) {
        out.assign(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        rc = RegQueryValueExW(k.get(), wide.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(out.data()), &got);
        if (rc == ERROR_MORE_DATA) size = got > size ? got : size * 2 + 16;
        else size = got;
    }
    if (rc != ERROR_SUCCESS) throw Error(Format("Failed to get data for '%s'", name.c_str()));
    // Stored strings normally carry their terminating null; some do not.
    out.resize(wcsnlen(out.c_str(), size / sizeof(wchar_t)));
    found = true;
    return out;
}

}  // namespace

std::string ReadRegValue(HKEY root, const std::string& key, const std::string& name,
                         const std::string& def) {
    bool found = false;
    DWORD type = 0;
    const std::wstring stored = ReadText(root, key, name, found, type);
    return found ? platform::Narrowed(stored) : def;
}

std::string ReadRegExpandedValue(HKEY root, const std::string& key, const std::string& name,
                                 const std::string& def) {
    bool found = false;
    DWORD type = 0;
    const std::wstring stored = ReadText(root, key, name, found, type);
    if (!found) return def;
    if (type != REG_EXPAND_SZ) return platform::Narrowed(stored);
    const DWORD need = ExpandEnvironmentStringsW(stored.c_str(), nullptr, 0);
    if (need == 0) return platform::Narrowed(stored);
    std::wstring expanded(need, L'\0');
    expanded.resize(ExpandEnvironmentStringsW(stored.c_str(), expanded.data(), need) - 1);
    return platform::Narrowed(expanded);
}

std::string ReadRegValue(HKEY root, const std::string& key, const std::string& name,
                         const char* def) {
    return ReadRegValue(root, key, name, std::string(def ? def : ""));
}

bool ReadRegValue(HKEY root, const std::string& key, const std::string& name, bool def) {
    DWORD v = 0;
    if (!ReadDword(root, key, name, v)) return def;
    return v != 0;
}

int32_t ReadRegValue(HKEY root, const std::string& key, const std::string& name, int32_t def) {
    DWORD v = 0;
    if (!ReadDword(root, key, name, v)) return def;
    return static_cast<int32_t>(v);
}

void WriteRegValue(HKEY root, const std::string& key, const std::string& name,
                   const std::string& value) {
    UniqueKey k = OpenOrCreate(root, key);
    const std::wstring wide = platform::Widened(value);
    if (RegSetValueExW(k.get(), platform::Widened(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        throw Error(Format("Failed to set data for '%s'", name.c_str()));
    }
}

void WriteRegValue(HKEY root, const std::string& key, const std::string& name, const char* value) {
    WriteRegValue(root, key, name, std::string(value ? value : ""));
}

void WriteRegValue(HKEY root, const std::string& key, const std::string& name, bool value) {
    WriteDword(root, key, name, value ? 1 : 0);
}

void WriteRegValue(HKEY root, const std::string& key, const std::string& name, int32_t value) {
    WriteDword(root, key, name, static_cast<DWORD>(value));
}

void DeleteRegKey(HKEY root, const std::string& key) {
    const std::string sub = SubKey(key);
    if (sub.empty()) return;
    DeleteTree(root, platform::Widened(sub));
}

void DeleteRegValue(HKEY root, const std::string& key, const std::string& name) {
    UniqueKey k = OpenOrCreate(root, key);
    RegDeleteValueW(k.get(), platform::Widened(name).c_str());
}

bool RegKeyIsEmpty(HKEY root, const std::string& key) {
    UniqueKey k = OpenExisting(root, key, KEY_READ);
    if (!k) return true;
    DWORD subKeys = 0, values = 0;
    if (RegQueryInfoKeyW(k.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return true;
    }
    return subKeys == 0 && values == 0;
}

bool PlatformSupported(DWORD platformId) {
    return platformId == VER_PLATFORM_WIN32_WINDOWS || platformId == VER_PLATFORM_WIN32_NT;
}

bool CheckPlatform() {
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof(vi);
    GetVersionExA(&vi);
    if (PlatformSupported(vi.dwPlatformId)) return true;
    MessageBoxW(nullptr, L"This program requires Windows 95/NT",
                platform::Widened(platform::Application::Instance().Title()).c_str(), MB_OK);
    platform::Application::Instance().Terminate();
    return false;
}

}  // namespace settings
