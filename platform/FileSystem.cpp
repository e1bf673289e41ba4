#include "platform/FileSystem.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <string>

#include "platform/SystemLibrary.h"

namespace platform {

bool FolderIsWritable(const std::string& folder) {
    if (!DirectoryExists(folder)) return false;
    const std::string base = IncludeTrailingBackslash(folder) + "Pelmark-write-test-" +
                             std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe = base + "-" + std::to_string(attempt);
        if (CreateDirectoryA(probe.c_str(), nullptr)) {
            RemoveDirectoryA(probe.c_str());
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

std::string LocalAppDataFolder() {
    char path[MAX_PATH] = {};
    static const auto getFolderPath = SystemFunction<decltype(&SHGetFolderPathA)>("shell32.dll", "SHGetFolderPathA");
    if (FAILED(getFolderPath(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

std::string FinalPath(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out(MAX_PATH, '\0');
    DWORD n = GetFinalPathNameByHandleA(h, out.data(), static_cast<DWORD>(out.size()), 0);
    if (n >= out.size()) {
        out.assign(n + 1, '\0');
        n = GetFinalPathNameByHandleA(h, out.data(), static_cast<DWORD>(out.size()), 0);
    }
    CloseHandle(h);
    out.resize(n < out.size() ? n : 0);
    return out;
}

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string IncludeTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path;
    return path + "\\";
}

bool IsFullPath(const std::string& path) {
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 3 && isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && separator(path[2])) {
        return true;
    }
    return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

std::string ExtractFilePath(const std::string& path) {
    const auto sep = path.find_last_of("\\/:");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const auto sep = path.find_last_of("\\/:");
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + ext;
    return path.substr(0, dot) + ext;
}

}  // namespace platform
