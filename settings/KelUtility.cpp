#include "settings/KelUtility.h"

#include <optional>

#include "about/xDialogs.h"
#include "platform/Application.h"
#include "platform/Dpi.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Form.h"
#include "platform/Handles.h"
#include "platform/Layout.h"
#include "platform/Centring.h"
#include "settings/RegSpecial.h"

namespace settings {

const char* const CompanyName = "Brennvik";
const char* const SharedKey = "\\Software";
const char* const WindowsKey = "\\Software\\Microsoft\\Windows\\CurrentVersion";
// A 32-bit program is told it as "ProgramFilesDir" (on 64-bit Windows its
// view of the registry is the 32-bit one); the 64-bit view names it
// "ProgramFilesDir (x86)", which a 64-bit prefix made without 32-bit
// support also holds.
const char* const ProgramFilesValue = sizeof(void*) == 8 ? "ProgramFilesDir (x86)" : "ProgramFilesDir";
std::string SettingsKey;
bool ClearOnExit = false;
TSettings Settings;
const std::vector<std::string> VersionKeyCaptions = {
    "Developers=Developers",
    "Programmers=Programmers",
    "HTTP=Homepage",
    "SMTP=E-Mail",
};

namespace {
const char kSplash[] = "SplashEnabled";

// A value of the wrong registry type (written by hand, or by another
// program under a shared key) is reported, then read as absent: one bad
// value must not keep the program, or one of its windows, from ever opening
// again. The next save of the value writes it with its right type.
template <typename T>
T ReadOrDefault(HKEY root, const std::string& key, const std::string& name, T def) {
    try {
        return ReadRegValue(root, key, name, def);
    } catch (const platform::Error&) {
        platform::Application::Instance().HandleCurrentException();
        return def;
    }
}

// A folder setting is joined onto as it is: one that is not a full path
// would name a folder below whatever folder the program was started in.
// It is reported as a value of the wrong type is, and its default serves.
// A path stored as an expandable string is read with its variables in
// place. Nothing when the value is absent, or is reported.
std::optional<std::string> ReadFolderSetting(const std::string& key, const char* name) {
    const std::string absent(1, '\0');  // no text read from the registry holds a null
    std::string value;
    try {
        value = ReadRegExpandedValue(HKEY_CURRENT_USER, key, name, absent);
    } catch (const platform::Error&) {
        platform::Application::Instance().HandleCurrentException();
        return std::nullopt;
    }
    if (value == absent) return std::nullopt;
    if (value.empty() || platform::IsFullPath(value)) return value;
    platform::Application::Instance().ShowException(
        platform::Format("Invalid path for '%s': \"%s\" is not a full path", name, value.c_str()).c_str());
    return std::nullopt;
}

std::string ProductKey() {
    return SettingsKey.empty() ? "\\Software\\" + std::string(CompanyName) + "\\Pelmark"
                               : SettingsKey;
}
}  // namespace

std::string CompanyKey() { return "\\Software\\" + std::string(CompanyName); }

void DeriveAgentFolders(const std::string& programFilesDir, TSettings& target, bool withProfileFolder) {
    target.AgentFolder.clear();
    target.DefaultIniPath.clear();
    target.ProfileFolder.clear();
    // Without a Program Files folder there is nowhere to look; a bare
    // "\Agent\Agent.exe" would name a folder of whatever drive is current.
    if (programFilesDir.empty()) return;
    const std::string candidate =
        platform::IncludeTrailingBackslash(programFilesDir) + "Agent\\Agent.exe";
    if (!platform::FileExists(candidate)) return;
    const std::string ini = platform::ChangeFileExt(candidate, ".ini");
    if (platform::FileExists(ini)) target.DefaultIniPath = ini;
    target.AgentFolder = platform::ExtractFilePath(candidate);
    if (withProfileFolder) target.ProfileFolder = DefaultProfileFolderFor(target.AgentFolder);
}

bool FolderHoldsProfile(const std::string& folder) {
    WIN32_FIND_DATAW fd;
    platform::UniqueFind find(FindFirstFileW(platform::Widened(platform::IncludeTrailingBackslash(folder) + "*").c_str(), &fd));
    if (!find) return false;
    do {
        const std::string name = platform::Narrowed(fd.cFileName);
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != ".." &&
            platform::FileExists(platform::IncludeTrailingBackslash(folder) + name + "\\Agent.ini")) {
            return true;
        }
    } while (FindNextFileW(find.get(), &fd));
    return false;
}

std::string DefaultProfileFolderFor(const std::string& agentFolder) {
    if (agentFolder.empty()) return {};
    // Agent's folder is only read where it settles the question: the write
    // test (which makes and removes a folder there) runs last.
    const bool holdsProfile = FolderHoldsProfile(agentFolder);
    const bool writable = !holdsProfile && platform::FolderIsWritable(agentFolder);
    return DefaultProfileFolder(agentFolder, holdsProfile, writable,
                                holdsProfile || writable ? std::string() : platform::LocalAppDataFolder());
}

std::string DefaultProfileFolder(const std::string& agentFolder, bool agentFolderHoldsProfile,
                                 bool agentFolderWritable, const std::string& localAppData) {
    // Agent lives under Program Files, which a standard user (or an
    // administrator without elevation) cannot write to; and the program's
    // manifest turns off the system's quiet redirection of such writes.
    // Profiles already there (made by an administrator, or an older
    // version) keep it the default all the same: they must not vanish.
    if (agentFolderHoldsProfile || agentFolderWritable || localAppData.empty()) return agentFolder;
    return platform::IncludeTrailingBackslash(localAppData) + "Pelmark\\Profiles\\";
}

namespace {
void LoadDefaults(TSettings& target, bool withProfileFolder) {
    target = TSettings{};
    const std::string programFiles =
        ReadOrDefault(HKEY_LOCAL_MACHINE, WindowsKey, ProgramFilesValue, std::string());
    DeriveAgentFolders(programFiles, target, withProfileFolder);
    target.ShowHint = true;
    target.AppHotKey = 0;
    target.ColorLaunchStay = kDefaultColorLaunchStay;
    target.ColorLaunchClose = kDefaultColorLaunchClose;
    target.SplashEnabledThis = true;
    target.SplashEnabledComp = true;
    target.SplashEnabledAll = true;
}
}  // namespace

void LoadDefaultSettings(TSettings& target) { LoadDefaults(target, true); }

void LoadSettings(TSettings& target) {
    // The default profile folder is worked out only where none is stored.
    LoadDefaults(target, false);
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string key = ProductKey();
    const std::string derivedAgentFolder = target.AgentFolder;
    target.AgentFolder = ReadFolderSetting(key, "AgentFolder").value_or(target.AgentFolder);
    target.DefaultIniPath = ReadFolderSetting(key, "DefaultIniPath").value_or(target.DefaultIniPath);
    const auto profileFolder = ReadFolderSetting(key, "ProfileFolder");
    target.ProfileFolder = profileFolder ? *profileFolder : DefaultProfileFolderFor(derivedAgentFolder);
    target.DefaultSMTPServer = ReadOrDefault(cu, key, "DefaultSMTPServer", target.DefaultSMTPServer);
    target.ShowHint = ReadOrDefault(cu, key, "ShowHint", target.ShowHint);
    target.AppHotKey = static_cast<uint16_t>(
        ReadOrDefault(cu, key, "AppHotKey", static_cast<int32_t>(target.AppHotKey)) & 0xFFFF);
    target.ColorLaunchStay = static_cast<uint32_t>(
        ReadOrDefault(cu, key, "ColorLaunchStay", static_cast<int32_t>(target.ColorLaunchStay)));
    target.ColorLaunchClose = static_cast<uint32_t>(
        ReadOrDefault(cu, key, "ColorLaunchClose", static_cast<int32_t>(target.ColorLaunchClose)));
    target.SplashEnabledThis = ReadOrDefault(cu, key, kSplash, target.SplashEnabledThis);
    target.SplashEnabledComp = ReadOrDefault(cu, CompanyKey(), kSplash, target.SplashEnabledComp);
    target.SplashEnabledAll = ReadOrDefault(cu, SharedKey, kSplash, target.SplashEnabledAll);
    // Paths are joined onto these folders: one stored without its backslash
    // (by hand) would put "C:\pf2" + "x" next to the folder, not in it. The
    // stored value stays as it is until the next save.
    for (std::string* folder : {&target.ProfileFolder, &target.AgentFolder}) {
        if (!folder->empty() && folder->back() != '\\') folder->push_back('\\');
    }
}

void SaveSettings(const TSettings& s, TSettings& target) {
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string key = ProductKey();
    WriteRegValue(cu, key, "AgentFolder", s.AgentFolder);
    WriteRegValue(cu, key, "DefaultIniPath", s.DefaultIniPath);
    WriteRegValue(cu, key, "ProfileFolder", s.ProfileFolder);
    WriteRegValue(cu, key, "DefaultSMTPServer", s.DefaultSMTPServer);
    WriteRegValue(cu, key, "ShowHint", s.ShowHint);
    WriteRegValue(cu, key, "AppHotKey", static_cast<int32_t>(s.AppHotKey));
    WriteRegValue(cu, key, "ColorLaunchStay", static_cast<int32_t>(s.ColorLaunchStay));
    WriteRegValue(cu, key, "ColorLaunchClose", static_cast<int32_t>(s.ColorLaunchClose));
    WriteRegValue(cu, key, kSplash, s.SplashEnabledThis);
    // The shared switches are "on" by their absence, so that one program
    // turning them on cannot override another that turned them off later.
    if (s.SplashEnabledComp) DeleteRegValue(cu, CompanyKey(), kSplash);
    else WriteRegValue(cu, CompanyKey(), kSplash, false);
    if (s.SplashEnabledAll) DeleteRegValue(cu, SharedKey, kSplash);
    else WriteRegValue(cu, SharedKey, kSplash, false);
    target = s;
}

bool SplashAllowed() {
    return Settings.SplashEnabledAll && Settings.SplashEnabledComp && Settings.SplashEnabledThis;
}

void ClearSettingsKeys() {
    DeleteRegKey(HKEY_CURRENT_USER, ProductKey());
    if (RegKeyIsEmpty(HKEY_CURRENT_USER, CompanyKey())) {
        DeleteRegKey(HKEY_CURRENT_USER, CompanyKey());
    }
}

void ClearAllSettings() {
    const auto& c = about::DialogCaptions().buttons;
    const std::string yes = c[0], cancel = c[3], yesToAll = c[9];
    const std::string question =
        "Are you sure you want to clear all settings for this program ?\r\r" + yes +
        "\t\t = Clear all settings and return to program\r" + yesToAll +
        "\t = Clear all settings and end program\r" + cancel +
        "\t\t = Cancel and return to program";
    const int answer = about::ShowGlyphMessageDialog(
        question, about::MsgKind::Confirmation, about::mbYes | about::mbCancel | about::mbYesToAll,
        0);
    if (answer == IDYES) {
        ClearSettingsKeys();
    } else if (answer == about::ButtonResult(9)) {
        ClearOnExit = true;
        platform::Application::Instance().Terminate();
    }
}

void RestoreFormPlacement(platform::Form& form) {
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string key = ProductKey();
    const std::string n = form.Name();
    const int32_t left = ReadOrDefault(cu, key, n + ".Left", int32_t(-2));
    const int32_t top = ReadOrDefault(cu, key, n + ".Top", int32_t(-2));
    const int32_t width = ReadOrDefault(cu, key, n + ".Width", int32_t(0));
    const int32_t height = ReadOrDefault(cu, key, n + ".Height", int32_t(0));
    const int32_t state = ReadOrDefault(cu, key, n + ".WindowState", int32_t(0));
    // The DPI the place was stored at (none: places of earlier versions, at
    // 96): a size stored on a screen of another DPI is scaled to this one.
    int32_t storedDpi = ReadOrDefault(cu, key, n + ".PixelsPerInch", int32_t(platform::kDesignDpi));
    // A DPI no screen has (written by hand, or by another program) would
    // scale the place to nothing or to a window of the whole screen.
    if (!PlausibleDpi(storedDpi)) storedDpi = platform::kDesignDpi;
    HWND h = form.Handle();
    RECT rc;
    GetWindowRect(h, &rc);
    int x = rc.left, y = rc.top, w = rc.right - rc.left, ht = rc.bottom - rc.top;
    if (left != -2) x = left;
    if (top != -2) y = top;
    const bool scale = storedDpi != form.Dpi();
    if (width > 0) w = scale ? platform::RescaleDpi(width, storedDpi, form.Dpi()) : width;
    if (height != 0) ht = scale ? platform::RescaleDpi(height, storedDpi, form.Dpi()) : height;
    // The window's own limits still bound what was stored.
    const platform::Size least = form.MinimumSize(), most = form.MaximumSize();
    if (least.width > 0 && w < least.width) w = least.width;
    if (least.height > 0 && ht < least.height) ht = least.height;
    if (most.width > 0 && w > most.width) w = most.width;
    if (most.height > 0 && ht > most.height) ht = most.height;
    SetWindowPos(h, nullptr, x, y, w, ht, SWP_NOZORDER | SWP_NOACTIVATE);
    // A form of a fixed size stored as maximised (by a window manager that
    // maximised it all the same) opens as it is made to.
    form.SetShowCommand(state == 1 ? SW_SHOWMINIMIZED : state == 2 && !form.FixedSize() ? SW_SHOWMAXIMIZED : SW_SHOW);
}

bool PlausibleDpi(int32_t dpi) { return dpi >= 48 && dpi <= 480; }

void SaveFormPlacement(platform::Form& form) {
    HWND h = form.Handle();
    if (!h) return;
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string key = ProductKey();
    const std::string n = form.Name();
    const int32_t state = IsIconic(h) ? 1 : IsZoomed(h) && !form.FixedSize() ? 2 : 0;
    if (state == 0 && !IsZoomed(h)) {
        RECT rc;
        GetWindowRect(h, &rc);
        WriteRegValue(cu, key, n + ".Left", int32_t(rc.left));
        WriteRegValue(cu, key, n + ".Top", int32_t(rc.top));
        WriteRegValue(cu, key, n + ".Width", int32_t(rc.right - rc.left));
        WriteRegValue(cu, key, n + ".Height", int32_t(rc.bottom - rc.top));
        WriteRegValue(cu, key, n + ".PixelsPerInch", int32_t(form.Dpi()));
    }
    WriteRegValue(cu, key, n + ".WindowState", state);
}

void AnimateFormZoom(platform::Form& form, bool opening) {
    try {
        HWND h = form.Handle();
        if (!h) return;
        RECT ref{};
        HWND refWindow = GetWindow(h, GW_OWNER);
        if (!refWindow && (GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) refWindow = GetParent(h);
        if (!refWindow) {
            HWND active = GetActiveWindow();
            if (active && active != h) refWindow = active;
        }
        if (refWindow) {
            GetWindowRect(refWindow, &ref);
        } else {
            ref.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
            ref.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
            ref.right = ref.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
            ref.bottom = ref.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
        }
        const int cx = ref.left + (ref.right - ref.left) / 2;
        const int cy = ref.top + (ref.bottom - ref.top) / 2;
        const RECT centre{cx, cy, cx + 1, cy + 1};
        RECT win;
        GetWindowRect(h, &win);
        DrawAnimatedRects(h, IDANI_CAPTION, opening ? &centre : &win, opening ? &win : &centre);
    } catch (...) {
        // The animation is decoration; the window opens or closes regardless.
    }
}

namespace {
// Forms' places live in the registry under the forms' names.
class RegistryPlacement : public platform::PlacementKeeper {
public:
    void Place(platform::Form& form) override {
        using platform::Placement;
        const Placement p = form.Definition().placement;
        if (p == Placement::Remembered || p == Placement::RememberedCentred) RestoreFormPlacement(form);
        if (p == Placement::Centred || p == Placement::RememberedCentred) {
            platform::CenterForm(&form);
        } else if (p == Placement::Remembered) {
            // A position stored on a screen that is gone would leave the
            // window where nobody can see it.
            platform::KeepOnSomeMonitor(form.Handle());
        }
    }
    void Zoom(platform::Form& form, bool opening) override { AnimateFormZoom(form, opening); }
    void Store(platform::Form& form) override { SaveFormPlacement(form); }
};
RegistryPlacement registryPlacement;
}  // namespace

void KelUtilityStart() {
    platform::Application::Instance().SetPlacement(&registryPlacement);
    // A control's help is its hint, shown in an information message.
    platform::Application::Instance().SetInformationShower([](const std::string& text) {
        about::ShowGlyphMessageDialog(text, about::MsgKind::Information, about::mbOK, 0);
    });
    ClearOnExit = false;
    SettingsKey = "\\Software\\" + std::string(CompanyName) + "\\" + "Pelmark";
    about::DialogCaptions() = about::EnglishCaptions();
    TSettings fresh;
    LoadSettings(fresh);
    Settings = fresh;
}

void KelUtilityExit() {
    if (ClearOnExit) ClearSettingsKeys();
    Settings = TSettings{};
}

}  // namespace settings
