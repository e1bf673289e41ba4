#include "platform/SystemLibrary.h"

namespace platform {

HMODULE(WINAPI* LoadLibraryCall)(LPCSTR, HANDLE, DWORD) = &LoadLibraryExA;

HMODULE LoadSystemLibrary(const char* library, bool loaderTakesSearchFlags) {
    if (loaderTakesSearchFlags) return LoadLibraryCall(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    return LoadLibraryCall((std::string(folder, n) + "\\" + library).c_str(), nullptr, 0);
}

namespace {
BOOL WINAPI SystemSetDefaultDllDirectories(DWORD flags) {
    using Call = BOOL(WINAPI*)(DWORD);
    const auto call = reinterpret_cast<Call>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    return call && call(flags);
}
}  // namespace

BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD) = &SystemSetDefaultDllDirectories;
BOOL(WINAPI* SetDllDirectoryCall)(LPCSTR) = &SetDllDirectoryA;

void RestrictDllSearch(bool loaderTakesSearchFlags) {
    if (loaderTakesSearchFlags && SetDefaultDllDirectoriesCall(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    SetDllDirectoryCall("");
}

void RestrictDllSearch() {
    RestrictDllSearch(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr);
}

HMODULE LoadSystemLibrary(const char* library) {
    // Where kernel32 has AddDllDirectory, the loader takes the search flags.
    static const bool takesFlags = GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
    return LoadSystemLibrary(library, takesFlags);
}

}  // namespace platform
