// Tests own the registry keys they touch: a sandbox records them when it is
// made, empties them, and puts back exactly what was there when it goes.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

struct KeySnapshot {
    bool existed = false;
    struct Value {
        std::string name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    std::map<std::string, KeySnapshot> subKeys;

    static KeySnapshot Take(HKEY root, const std::string& path);
    void Restore(HKEY root, const std::string& path) const;
};

struct ValueSnapshot {
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;

    static ValueSnapshot Take(HKEY root, const std::string& key, const std::string& name);
    void Restore(HKEY root, const std::string& key, const std::string& name) const;
};

// The product key, the company key, the shared "SplashEnabled" value and the
// Program Files folder setting, as the settings store sees them.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Points the Program Files value the program reads somewhere else for
    // the sandbox's lifetime.
    void SetProgramFilesDir(const std::string& dir);

private:
    KeySnapshot company_;
    ValueSnapshot shared_;
    ValueSnapshot programFiles_;
};

// Removes a folder with everything in it, silently.
void RemoveFolder(const std::string& path);

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }  // ends with "\"
    std::string MakeFile(const std::string& relative, const std::string& content = "") const;
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace testing_support
