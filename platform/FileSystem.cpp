#include "platform/FileSystem.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <map>
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
    wchar_t path[MAX_PATH] = {};
    static const auto getFolderPath = SystemFunction<decltype(&SHGetFolderPathW)>("shell32.dll", "SHGetFolderPathW");
    if (FAILED(getFolderPath(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return CodePagePath(path);
}

namespace {

ShortPathFunction shortPath = &GetShortPathNameW;
std::map<std::string, std::wstring>& LongPaths() {
    static std::map<std::string, std::wstring> paths;
    return paths;
}

// The text in the code page, where it holds every character of it.
bool InCodePage(const std::wstring& wide, std::string& out) {
    out.clear();
    if (wide.empty()) return true;
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), nullptr,
                                      0, nullptr, &lossy);
    out.assign(n, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        &lossy);
    return !lossy && n > 0;
}

}  // namespace

void UseShortPathFunction(ShortPathFunction f) { shortPath = f ? f : &GetShortPathNameW; }

std::wstring Widened(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Narrowed(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string CodePagePath(const std::wstring& path) {
    std::string out;
    if (InCodePage(path, out)) return out;
    // Each part of the path that the code page cannot hold goes by its short
    // (8.3) name; the others stay as they are, so that a path below it
    // still reads as the user named it.
    out.clear();
    std::wstring sofar;
    for (size_t at = 0; at <= path.size();) {
        size_t end = path.find_first_of(L"\\/", at);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(at, end - at);
        sofar += part;
        std::string held;
        if (!InCodePage(part, held)) {
            std::wstring shorter(MAX_PATH, L'\0');
            DWORD n = shortPath(sofar.c_str(), shorter.data(), static_cast<DWORD>(shorter.size()));
            if (n >= shorter.size()) {
                shorter.assign(n + 1, L'\0');
                n = shortPath(sofar.c_str(), shorter.data(), static_cast<DWORD>(shorter.size()));
            }
            shorter.resize(n < shorter.size() ? n : 0);
            const size_t last = shorter.find_last_of(L"\\/");
            const std::wstring name = last == std::wstring::npos ? shorter : shorter.substr(last + 1);
            // No short name (a volume without them, a folder not made yet).
            if (name.empty() || !InCodePage(name, held)) return {};
        }
        out += held;
        if (end < path.size()) {
            out += static_cast<char>(path[end]);
            sofar += path[end];
        }
        at = end + 1;
    }
    LongPaths()[out] = path;
    return out;
}

std::string CodePageName(const wchar_t* name, const wchar_t* shortName) {
    std::string out;
    if (InCodePage(name, out) || (shortName && shortName[0] && InCodePage(shortName, out))) return out;
    return {};
}

std::wstring LongPathFor(const std::string& codePagePath) {
    const auto it = LongPaths().find(codePagePath);
    return it == LongPaths().end() ? std::wstring() : it->second;
}

bool StartsWithByteOrderMark(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
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

// In Unicode: the system gives the long name even where a short one was
// asked for, and the code page may not hold it.
std::string FinalPath(const std::string& path) { return CodePagePath(FinalPathW(path)); }

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
