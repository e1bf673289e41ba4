// The settings store: the one settings record, its defaults derived from
// where Agent is installed, load and save, the splash switches, clearing all
// settings, and the module's start and exit steps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class Form;
}

namespace settings {

struct TSettings {
    std::string AgentFolder;        // folder of Agent.exe, ends with "\"
    std::string DefaultIniPath;     // template Agent.ini for new profiles
    std::string ProfileFolder;      // one sub-folder per profile, ends with "\"
    std::string DefaultSMTPServer;  // mail server proposed for new profiles
    bool ShowHint = false;
    uint16_t AppHotKey = 0;         // key code | 0x2000 Shift | 0x4000 Ctrl | 0x8000 Alt
    uint32_t ColorLaunchStay = 0;   // 0x00BBGGRR, or 0x80000000 + system colour index
    uint32_t ColorLaunchClose = 0;
    bool SplashEnabledThis = false;
    bool SplashEnabledComp = false;
    bool SplashEnabledAll = false;

    bool operator==(const TSettings&) const = default;
};

constexpr uint32_t kDefaultColorLaunchStay = 0x80000018;   // system colour 24, tool-tip background
constexpr uint32_t kDefaultColorLaunchClose = 0x8000001A;  // system colour 26, hot-tracked item

extern const char* const CompanyName;       // "Brennvik"
extern std::string SettingsKey;             // "\Software\Brennvik\Pelmark"
extern bool ClearOnExit;
extern TSettings Settings;
extern const std::vector<std::string> VersionKeyCaptions;

// The company key "\Software\Brennvik" and the key shared by all programs.
std::string CompanyKey();
extern const char* const SharedKey;  // "\Software"
extern const char* const WindowsKey; // under HKEY_LOCAL_MACHINE
// The value there that names the Program Files folder of 32-bit programs,
// where Agent, one of them, is installed.
extern const char* const ProgramFilesValue;

// Fills in what follows from Agent installed as "Agent\Agent.exe" under
// `programFilesDir` (empty: nothing is found); the profile folder too,
// unless told not to (it is then left empty).
void DeriveAgentFolders(const std::string& programFilesDir, TSettings& target, bool withProfileFolder = true);
// The default profile folder: Agent's own folder where it already holds a
// profile or this user can write in it; otherwise "Pelmark\Profiles\" in
// the user's local application data (made when the first profile is),
// unless that is unknown too.
std::string DefaultProfileFolder(const std::string& agentFolder, bool agentFolderHoldsProfile,
                                 bool agentFolderWritable, const std::string& localAppData);
// The same for Agent's folder on this disk: found out by reading it, and
// only where that does not settle it, by the write test.
std::string DefaultProfileFolderFor(const std::string& agentFolder);
// Whether a folder has a sub-folder that holds an Agent.ini (a profile).
bool FolderHoldsProfile(const std::string& folder);

void LoadDefaultSettings(TSettings& target);
void LoadSettings(TSettings& target);
void SaveSettings(const TSettings& newSettings, TSettings& target);
bool SplashAllowed();

// Deletes the product key, then the company key if nothing else is left in it.
void ClearSettingsKeys();
// Asks whether to clear all settings and return, clear and end, or cancel.
void ClearAllSettings();

// Window operations every window uses. The placement lives in the product
// key as "<window name>.Left", ".Top", ".Width", ".Height", ".WindowState".
void RestoreFormPlacement(platform::Form& form);
void SaveFormPlacement(platform::Form& form);
// Whether a stored DPI is one a screen may have (48 to 480); a place stored
// with any other counts as stored at 96.
bool PlausibleDpi(int32_t dpi);
void AnimateFormZoom(platform::Form& form, bool opening);
// Start step: key path, message captions, settings. Exit step: clearing
// when asked for.
void KelUtilityStart();
void KelUtilityExit();

}  // namespace settings
