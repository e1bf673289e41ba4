#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "about/KelAboutVersion.h"
#include "platform/Application.h"
#include "platform/Error.h"
#include "settings/KelUtility.h"
#include "support/UiDriver.h"

using namespace about;
using testing_support::DriverWindow;
using testing_support::UiDriver;

namespace {

std::string OwnPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::vector<uint8_t> OwnResource() {
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    const auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, r)));
    return std::vector<uint8_t>(p, p + SizeofResource(nullptr, r));
}

// A buffer whose last byte stands right before a page that cannot be read:
// a walk past the end faults at once.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : size_(size) {
        const size_t page = 4096, pages = (size + page - 1) / page + 1;
        base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        data_ = base_ + (pages - 1) * page - size;
    }
    ~GuardedBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    uint8_t* data() { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* base_;
    uint8_t* data_;
    size_t size_;
};

}  // namespace

TEST(VersionResource, TheWalkAgreesWithThePlatformOnTheProgramsOwnResource) {
    const auto lines = ReadVersionStrings(ProgramPath());
    ASSERT_GE(lines.size(), 10u);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(OwnPath().c_str(), &handle);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(OwnPath().c_str(), 0, size, info.data()));
    for (const auto& l : lines) {
        const auto eq = l.find('=');
        const std::string key = l.substr(0, eq), value = l.substr(eq + 1);
        char* out = nullptr;
        UINT len = 0;
        const std::string query = "\\StringFileInfo\\040904E4\\" + key;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&out), &len)) << key;
        EXPECT_EQ(value, std::string(out)) << key;
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ProductName=Pelmark"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "CompanyName=Brennvik"), lines.end());
    EXPECT_TRUE(ReadVersionStrings(L"").empty());
    EXPECT_TRUE(ReadVersionStrings(L"Z:\\no\\such\\file.exe").empty());
    // The program in a folder whose name the ANSI code page cannot hold
    // ("Мои программы\Пелмарк" on a Western system) reads the same.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring outer = std::wstring(temp) + L"\x41C\x43E\x438 " + std::to_wstring(GetCurrentProcessId());
    const std::wstring folder = outer + L"\\\x41F\x435\x43B\x43C\x430\x440\x43A";
    ASSERT_TRUE(CreateDirectoryW(outer.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(ProgramPath().c_str(), (folder + L"\\Pelmark.exe").c_str(), FALSE));
    EXPECT_EQ(ReadVersionStrings(folder + L"\\Pelmark.exe"), lines);
    DeleteFileW((folder + L"\\Pelmark.exe").c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(outer.c_str());
}

TEST(VersionResource, BrokenLengthsEndTheWalkInsideTheResource) {
    auto res = OwnResource();
    // A zero entry length would loop for ever.
    auto zero = res;
    zero[152] = 0;
    zero[153] = 0;
    EXPECT_TRUE(WalkVersionResource(zero.data(), zero.size()).empty());
    // A table length far past the end.
    auto huge = res;
    huge[128] = 0xFF;
    huge[129] = 0xFF;
    GuardedBuffer g(huge.size());
    std::memcpy(g.data(), huge.data(), huge.size());
    // The walk stops at the resource's end: the real entries come first, whole.
    const auto real = WalkVersionResource(res.data(), res.size());
    const auto walked = WalkVersionResource(g.data(), g.size());
    ASSERT_GE(walked.size(), real.size());
    EXPECT_TRUE(std::equal(real.begin(), real.end(), walked.begin()));
    // Not a string-file-info block.
    auto other = res;
    other[98] = 'X';
    try {
        WalkVersionResource(other.data(), other.size());
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_STREQ(e.what(), "Unrecognised version block");
    }
}

TEST(VersionResource, ThousandsOfMutatedResourcesNeverReadOutside) {
    const auto res = OwnResource();
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    int walked = 0;
    for (int round = 0; round < 4000; ++round) {
        size_t size = res.size();
        if (round % 4 == 0) size = next() % (res.size() + 1);  // cut short
        GuardedBuffer g(size);
        std::memcpy(g.data(), res.data(), size);
        const int flips = 1 + static_cast<int>(next() % 8);
        for (int f = 0; f < flips && size > 0; ++f) {
            // Mostly the lengths and keys the walk depends on.
            const size_t at = (next() % 2) ? 120 + next() % 280 : next() % size;
            if (at < size) g.data()[at] = static_cast<uint8_t>(next());
        }
        try {
            WalkVersionResource(g.data(), g.size());
            ++walked;
        } catch (const platform::Error&) {
        }
    }
    EXPECT_GT(walked, 100);  // most mutations keep the block recognisable
}

namespace {
// Every caption of the first column shows whole, and the two columns leave
// room for the vertical scroll bar: no text is cut, no horizontal bar shows.
std::string ColumnsFit(HWND list) {
    RECT rc;
    GetClientRect(list, &rc);
    const int scrollBar = (GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL) ? 0 : GetSystemMetrics(SM_CXVSCROLL);
    const int first = ListView_GetColumnWidth(list, 0), second = ListView_GetColumnWidth(list, 1);
    if (first + second > rc.right - scrollBar) return "the columns are wider than the list";
    const int n = ListView_GetItemCount(list);
    for (int i = 0; i < n; ++i) {
        const std::string caption = platform::ListViewText(list, i, 0);
        const int w = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(caption.c_str())));
        if (w + 8 > first) return "\"" + caption + "\" is cut";
    }
    return "fits";
}
}  // namespace

TEST(AboutWindow, VersionPageWithExtraCaptionsAndMemoryPage) {
    UiDriver d;
    std::string versionFits, memoryFits;
    std::string title, version, product, description;
    std::vector<std::string> versionRows, memoryRows, againRows;
    bool focusStayed = false;
    d.Then([&](DriverWindow& w) {
        auto& about = *static_cast<TFrmKelVersionAbout*>(w.Form());
        title = w.Title();
        version = w.Text("LabelVersion");
        product = w.Text("LabelProduct");
        description = w.Text("LabelDescription");
        versionRows = about.Rows();
        versionFits = ColumnsFit(w.Control("ListViewVersion"));
        w.FocusOn("BitBtnMemory");
        w.Press("BitBtnMemory");
        memoryRows = about.Rows();
        memoryFits = ColumnsFit(w.Control("ListViewVersion"));
        focusStayed = GetFocus() == w.Control("BitBtnVersion");
        w.Press("BitBtnVersion");
        againRows = about.Rows();
        w.Key(VK_ESCAPE);
    });
    d.Run([] { ShowAboutWindow(nullptr, settings::VersionKeyCaptions); });
    EXPECT_EQ(title, "About - " + platform::Application::Instance().Title());
    EXPECT_EQ(version, "1.0.0.1");
    EXPECT_EQ(product, "Pelmark");
    EXPECT_EQ(description, "Profile manager for the Agent newsreader");
    std::vector<std::string> captions;
    for (const auto& r : versionRows) captions.push_back(r.substr(0, r.find('=')));
    for (const char* c : {"Comments", "Company name", "Copyrights", "Developers", "E-Mail", "Homepage", "Build"}) {
        EXPECT_NE(std::find(captions.begin(), captions.end(), c), captions.end()) << c;
    }
    EXPECT_EQ(std::find(captions.begin(), captions.end(), "FileVersion"), captions.end());
    EXPECT_TRUE(std::is_sorted(captions.begin(), captions.end(),
                               [](const std::string& a, const std::string& b) { return lstrcmpA(a.c_str(), b.c_str()) < 0; }));
    ASSERT_EQ(memoryRows.size(), 6u);
    const char* rows[] = {"Total physical", "Available physical", "Total pagefile", "Available pagefile", "Total virtual",
                          "Available virtual"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(memoryRows[i].substr(0, memoryRows[i].find('=')), rows[i]);
        EXPECT_EQ(memoryRows[i].find('.'), std::string::npos);
    }
    // The machine's own figures, uncapped: on a machine with more than 2 GB
    // the 32-bit status would say 2,147,483,647.
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    ASSERT_TRUE(GlobalMemoryStatusEx(&ms));
    EXPECT_EQ(memoryRows[0], "Total physical=" + FormatByteCount(ms.ullTotalPhys));
    EXPECT_EQ(memoryRows[2], "Total pagefile=" + FormatByteCount(ms.ullTotalPageFile));
    // What is available moves while the test runs: within a tenth of it.
    auto shown = [&](int row) {
        uint64_t n = 0;
        for (char c : memoryRows[row].substr(memoryRows[row].find('=') + 1)) {
            if (c >= '0' && c <= '9') n = n * 10 + static_cast<uint64_t>(c - '0');
        }
        return static_cast<double>(n);
    };
    EXPECT_NEAR(shown(1), static_cast<double>(ms.ullAvailPhys), ms.ullAvailPhys / 10.0);
    EXPECT_NEAR(shown(3), static_cast<double>(ms.ullAvailPageFile), ms.ullAvailPageFile / 10.0);
    EXPECT_TRUE(focusStayed);
    EXPECT_EQ(againRows, versionRows);
    EXPECT_EQ(versionFits, "fits");
    EXPECT_EQ(memoryFits, "fits");
}

TEST(AboutWindow, ByteCountsUseTheLocalesSeparator) {
    char sep[8] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, sep, sizeof sep);
    EXPECT_EQ(FormatByteCount(536870912), std::string("536") + sep + "870" + sep + "912");
    EXPECT_EQ(FormatByteCount(999), "999");
    EXPECT_EQ(FormatByteCount(0), "0");
    EXPECT_EQ(FormatByteCount(4294967295u), std::string("4") + sep + "294" + sep + "967" + sep + "295");
    EXPECT_EQ(FormatByteCount(25769803776ull), std::string("25") + sep + "769" + sep + "803" + sep + "776");
}
