#include "platform/FileSystem.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <string>

#include "platform/Error.h"
#include "platform/SystemLibrary.h"

namespace platform {

bool FolderIsWritable(const std::string& folder) {
    if (!DirectoryExists(folder)) return false;
    const std::string base = IncludeTrailingBackslash(folder) + "Pelmark-write-test-" +
                             std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string probe = base + "-" + std::to_string(attempt);
        if (CreateDirectoryW(Widened(probe).c_str(), nullptr)) {
            RemoveDirectoryW(Widened(probe).c_str());
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

std::string LocalAppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    static const auto getFolderPath = SystemFunction<decltype(&SHGetFolderPathW)>("shell32.dll", "SHGetFolderPathW");
    if (FAILED(getFolderPath(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return Narrowed(path);
}

namespace {
ShortPathFunction shortPath = &GetShortPathNameW;
}  // namespace

void UseShortPathFunction(ShortPathFunction f) { shortPath = f ? f : &GetShortPathNameW; }

std::string PathAgentCanName(const std::string& path) {
    const std::wstring wide = Widened(path);
    if (AnsiHolds(wide)) return path;
    std::wstring shorter(MAX_PATH, L'\0');
    DWORD n = shortPath(wide.c_str(), shorter.data(), static_cast<DWORD>(shorter.size()));
    if (n >= shorter.size()) {
        shorter.assign(n + 1, L'\0');
        n = shortPath(wide.c_str(), shorter.data(), static_cast<DWORD>(shorter.size()));
    }
    shorter.resize(n < shorter.size() ? n : 0);
    return !shorter.empty() && AnsiHolds(shorter) ? Narrowed(shorter) : std::string();
}

bool StartsWithByteOrderMark(const std::string& path) {
    HANDLE f = CreateFileW(Widened(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char start[3] = {};
    DWORD got = 0;
    const bool read = ReadFile(f, start, 3, &got, nullptr) && got == 3;
    CloseHandle(f);
    return read && std::string(start, 3) == "\xEF\xBB\xBF";
}

std::wstring FinalPathOfHandle(HANDLE h) {
    std::wstring out(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
    if (n >= out.size()) {
        out.assign(n + 1, L'\0');
        n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()), 0);
    }
    out.resize(n < out.size() ? n : 0);
    return out;
}

std::wstring FinalPathW(const std::string& path) {
    HANDLE h = CreateFileW(Widened(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::wstring out = FinalPathOfHandle(h);
    CloseHandle(h);
    return out;
}

std::string FinalPath(const std::string& path) { return Narrowed(FinalPathW(path)); }

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesW(Widened(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = GetFileAttributesW(Widened(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string UnreachableReason(const std::string& folder) {
    if (folder.empty() || GetFileAttributesW(Widened(folder).c_str()) != INVALID_FILE_ATTRIBUTES) return {};
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        // Not made yet, unless its drive or share is not there either.
        std::string root;
        if (folder.size() >= 3 && folder[1] == ':') {
            root = folder.substr(0, 3);
        } else if (folder.rfind("\\\\", 0) == 0) {
            const size_t server = folder.find('\\', 2);
            const size_t share = server == std::string::npos ? server : folder.find('\\', server + 1);
            root = share == std::string::npos ? folder : folder.substr(0, share + 1);
        }
        if (root.empty() || GetFileAttributesW(Widened(root).c_str()) != INVALID_FILE_ATTRIBUTES) return {};
        code = GetLastError();
    }
    return SystemErrorText(code);
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
