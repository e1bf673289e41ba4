// The registry access layer: typed reads with defaults, typed writes, key and
// value deletion. Every registry access of the program goes through here, and
// no key stays open between two calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace settings {

// Collapses doubled backslashes, drops one trailing backslash, and puts one
// in front, so every spelling of a key path names the same key. "\" alone is
// the root itself and becomes empty.
std::string NormalizeRegKey(std::string key);

// Each read returns the default when the key or the value does not exist; a
// value of another registry type, or one that cannot be read, raises an error.
std::string ReadRegValue(HKEY root, const std::string& key, const std::string& name,
                         const std::string& def);
std::string ReadRegValue(HKEY root, const std::string& key, const std::string& name,
                         const char* def);
// The same, with the variables of an expandable string (REG_EXPAND_SZ)
// replaced by their values, as Windows programs read a path stored so.
std::string ReadRegExpandedValue(HKEY root, const std::string& key, const std::string& name,
                                 const std::string& def);
// Texts are UTF-8 here and UTF-16 in the registry: what the user chose is
// stored and read as chosen, whatever the code page.

bool ReadRegValue(HKEY root, const std::string& key, const std::string& name, bool def);
int32_t ReadRegValue(HKEY root, const std::string& key, const std::string& name, int32_t def);

// Writes create the key when it is missing: texts as REG_SZ, booleans and
// integers as REG_DWORD.
void WriteRegValue(HKEY root, const std::string& key, const std::string& name,
                   const std::string& value);
void WriteRegValue(HKEY root, const std::string& key, const std::string& name, const char* value);
void WriteRegValue(HKEY root, const std::string& key, const std::string& name, bool value);
void WriteRegValue(HKEY root, const std::string& key, const std::string& name, int32_t value);

// Deletes the key with its values and sub-keys; nothing when it is missing.
// The root itself (an empty path) is never deleted.
void DeleteRegKey(HKEY root, const std::string& key);
// Creates the key when missing, then deletes the value if present.
void DeleteRegValue(HKEY root, const std::string& key, const std::string& name);
// True when the key is missing, cannot be opened, or holds nothing.
bool RegKeyIsEmpty(HKEY root, const std::string& key);

// The start check of the layer: the Windows 95 and NT families only.
bool PlatformSupported(DWORD platformId);
// Shows "This program requires Windows 95/NT" and asks the application to
// end when the running platform is another; returns whether it may go on.
bool CheckPlatform();

}  // namespace settings
