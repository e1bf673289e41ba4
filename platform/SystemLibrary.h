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

template <class F>
F SystemFunction(const char* library, const char* name) {
    HMODULE module = LoadLibraryExA(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    FARPROC p = module ? GetProcAddress(module, name) : nullptr;
    if (!p) throw Error(std::string("The system has no ") + name + " in " + library);
    return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}

}  // namespace platform
