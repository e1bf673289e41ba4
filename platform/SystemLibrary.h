// A function of a system library that start-up does not need, found at its
// first call. Every library a program imports is loaded, with all those it
// imports in turn, before the program's first line runs: the shell's and the
// common dialogs' would bring six libraries into every start for a folder
// browser, a colour picker and a delete.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Error.h"

namespace platform {

// Loads a library of the system folder, from there and nowhere else (never
// a file of that name beside the program). The loader's flag
// LOAD_LIBRARY_SEARCH_SYSTEM32 says so, but Windows 7 and Vista take it only
// with the update that brought AddDllDirectory (KB2533623); without that
// update the library is named by its full path in the system folder.
HMODULE LoadSystemLibrary(const char* library);
// The same, told whether the loader takes the search flags.
HMODULE LoadSystemLibrary(const char* library, bool loaderTakesSearchFlags);
// The loader's call: the system's LoadLibraryExA (a test may record the call instead).
extern HMODULE(WINAPI* LoadLibraryCall)(LPCSTR, HANDLE, DWORD);

// Every later library the process loads (those the system's own components
// load for themselves too: themes, the desktop window manager, the common
// controls' helpers) comes from the system folder only, never from the
// program's folder, which is often Downloads: SetDefaultDllDirectories
// where the system has it (looked up at run time), else at least the
// current folder taken out of the search (SetDllDirectoryA("")).
void RestrictDllSearch();
void RestrictDllSearch(bool loaderTakesSearchFlags);
// The two calls, the system's own (a test may record them instead).
extern BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD);
extern BOOL(WINAPI* SetDllDirectoryCall)(LPCSTR);

template <class F>
F SystemFunction(const char* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    FARPROC p = module ? GetProcAddress(module, name) : nullptr;
    if (!p) throw Error(std::string("The system has no ") + name + " in " + library);
    return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

}  // namespace platform
