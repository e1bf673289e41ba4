#include "support/RegistrySandbox.h"

#include <shellapi.h>

#include <cstdio>
#include <stdexcept>

#include "settings/KelUtility.h"

namespace testing_support {

namespace {

std::string Sub(const std::string& path) { return path.empty() || path[0] != '\\' ? path : path.substr(1); }

void DeleteTree(HKEY root, const std::string& sub) {
    HKEY k;
    if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    std::vector<std::string> children;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, len);
    }
    for (const auto& c : children) DeleteTree(k, c);
    RegCloseKey(k);
    RegDeleteKeyA(root, sub.c_str());
}

}  // namespace

KeySnapshot KeySnapshot::Take(HKEY root, const std::string& path) {
    KeySnapshot s;
    HKEY k;
    if (RegOpenKeyExA(root, Sub(path).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return s;
    s.existed = true;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(k, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        Value v{std::string(name, nameLen), type, std::vector<BYTE>(size)};
        nameLen = sizeof name;
        RegEnumValueA(k, i, name, &nameLen, nullptr, &type, v.data.data(), &size);
        s.values.push_back(std::move(v));
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD len = sizeof name;
        if (RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, len);
    }
    RegCloseKey(k);
    for (const auto& c : children) s.subKeys[c] = Take(root, path + "\\" + c);
    return s;
}

void KeySnapshot::Restore(HKEY root, const std::string& path) const {
    DeleteTree(root, Sub(path));
    if (!existed) return;
    HKEY k;
    if (RegCreateKeyExA(root, Sub(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (const auto& v : values) {
        RegSetValueExA(k, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    }
    RegCloseKey(k);
    for (const auto& [name, sub] : subKeys) sub.Restore(root, path + "\\" + name);
}

ValueSnapshot ValueSnapshot::Take(HKEY root, const std::string& key, const std::string& name) {
    ValueSnapshot s;
    HKEY k;
    if (RegOpenKeyExA(root, Sub(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return s;
    DWORD size = 0;
    if (RegQueryValueExA(k, name.c_str(), nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
        s.existed = true;
        s.data.resize(size);
        RegQueryValueExA(k, name.c_str(), nullptr, &s.type, s.data.data(), &size);
    }
    RegCloseKey(k);
    return s;
}

void ValueSnapshot::Restore(HKEY root, const std::string& key, const std::string& name) const {
    HKEY k;
    if (RegOpenKeyExA(root, Sub(key).c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) {
        if (!existed) return;
        if (RegCreateKeyExA(root, Sub(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
    }
    if (existed) RegSetValueExA(k, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    else RegDeleteValueA(k, name.c_str());
    RegCloseKey(k);
}

RegistrySandbox::RegistrySandbox()
    : company_(KeySnapshot::Take(HKEY_CURRENT_USER, settings::CompanyKey())),
      shared_(ValueSnapshot::Take(HKEY_CURRENT_USER, settings::SharedKey, "SplashEnabled")),
      programFiles_(ValueSnapshot::Take(HKEY_LOCAL_MACHINE, settings::WindowsKey, settings::ProgramFilesValue)) {
    DeleteTree(HKEY_CURRENT_USER, Sub(settings::CompanyKey()));
    ValueSnapshot{}.Restore(HKEY_CURRENT_USER, settings::SharedKey, "SplashEnabled");
}

RegistrySandbox::~RegistrySandbox() {
    company_.Restore(HKEY_CURRENT_USER, settings::CompanyKey());
    shared_.Restore(HKEY_CURRENT_USER, settings::SharedKey, "SplashEnabled");
    programFiles_.Restore(HKEY_LOCAL_MACHINE, settings::WindowsKey, settings::ProgramFilesValue);
}

void RegistrySandbox::SetProgramFilesDir(const std::string& dir) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Sub(settings::WindowsKey).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot open the Windows key");
    }
    if (dir.empty()) {
        RegDeleteValueA(k, settings::ProgramFilesValue);
    } else {
        RegSetValueExA(k, settings::ProgramFilesValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                       static_cast<DWORD>(dir.size() + 1));
    }
    RegCloseKey(k);
}

TempFolder::TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    for (;;) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%spelmark-test-%lu-%d\\", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot make a temp folder");
    }
}

TempFolder::~TempFolder() { RemoveFolder(path_); }

void RemoveFolder(const std::string& path) {
    // Double null terminated list for the shell.
    std::string from = path;
    if (!from.empty() && from.back() == '\\') from.pop_back();
    from.push_back('\0');
    from.push_back('\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

std::string TempFolder::MakeFile(const std::string& relative, const std::string& content) const {
    const std::string p = path_ + relative;
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + p);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return p;
}

std::string TempFolder::MakeFolder(const std::string& relative) const {
    const std::string p = path_ + relative;
    CreateDirectoryA(p.c_str(), nullptr);
    return p + "\\";
}

}  // namespace testing_support
