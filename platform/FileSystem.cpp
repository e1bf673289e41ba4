#include "platform/FileSystem.h"

#include <windows.h>

namespace platform {

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
