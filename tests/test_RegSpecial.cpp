#include <gtest/gtest.h>

#include <functional>

#include "platform/Error.h"
#include "settings/RegSpecial.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"

using namespace settings;
using testing_support::ErrorOf;

using testing_support::KeyExists;

namespace {
const char kKey[] = "\\Software\\Brennvik\\Pelmark\\RegTest";
const HKEY CU = HKEY_CURRENT_USER;


}  // namespace

TEST(NormalizeRegKey, EverySpellingNamesOneKey) {
    EXPECT_EQ(NormalizeRegKey(""), "");
    EXPECT_EQ(NormalizeRegKey("\\"), "");
    EXPECT_EQ(NormalizeRegKey("\\\\"), "");
    EXPECT_EQ(NormalizeRegKey("Software\\Brennvik"), "\\Software\\Brennvik");
    EXPECT_EQ(NormalizeRegKey("\\Software\\Brennvik\\"), "\\Software\\Brennvik");
    EXPECT_EQ(NormalizeRegKey("\\\\Software\\\\\\Brennvik\\\\"), "\\Software\\Brennvik");
    EXPECT_EQ(NormalizeRegKey("\\Software"), "\\Software");
}

TEST(RegSpecial, ReadsGiveDefaultsForMissingKeysAndValues) {
    testing_support::RegistrySandbox sandbox;
    EXPECT_EQ(ReadRegValue(CU, kKey, "Missing", std::string("dflt")), "dflt");
    EXPECT_EQ(ReadRegValue(CU, kKey, "Missing", true), true);
    EXPECT_EQ(ReadRegValue(CU, kKey, "Missing", int32_t(-2)), -2);
    WriteRegValue(CU, kKey, "Other", "x");
    EXPECT_EQ(ReadRegValue(CU, kKey, "Missing", "d"), "d");
    EXPECT_EQ(ReadRegValue(CU, kKey, "Missing", false), false);
}

TEST(RegSpecial, TypedValuesRoundTripUnderAnySpellingOfTheKey) {
    testing_support::RegistrySandbox sandbox;
    WriteRegValue(CU, "Software\\\\Brennvik\\Pelmark\\RegTest\\", "Text", std::string("C:\\Agent\\"));
    WriteRegValue(CU, kKey, "Empty", std::string());
    WriteRegValue(CU, kKey, "Flag", true);
    WriteRegValue(CU, kKey, "Off", false);
    WriteRegValue(CU, kKey, "Left", int32_t(-2));
    WriteRegValue(CU, kKey, "Colour", static_cast<int32_t>(0x80000018u));
    EXPECT_EQ(ReadRegValue(CU, kKey, "Text", "?"), "C:\\Agent\\");
    EXPECT_EQ(ReadRegValue(CU, kKey, "Empty", "not empty"), "");
    EXPECT_TRUE(ReadRegValue(CU, kKey, "Flag", false));
    EXPECT_FALSE(ReadRegValue(CU, kKey, "Off", true));
    EXPECT_EQ(ReadRegValue(CU, kKey, "Left", int32_t(0)), -2);
    EXPECT_EQ(static_cast<uint32_t>(ReadRegValue(CU, kKey, "Colour", int32_t(0))), 0x80000018u);
    // Booleans are any number but 0.
    WriteRegValue(CU, kKey, "Seven", int32_t(7));
    EXPECT_TRUE(ReadRegValue(CU, kKey, "Seven", false));
}

TEST(RegSpecial, LongTextsAndExpandableStringsAreReadWhole) {
    testing_support::RegistrySandbox sandbox;
    const std::string big(5000, 'q');
    WriteRegValue(CU, kKey, "Big", big);
    EXPECT_EQ(ReadRegValue(CU, kKey, "Big", ""), big);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(CU, std::string(kKey).substr(1).c_str(), 0, KEY_WRITE, &k), ERROR_SUCCESS);
    const char ex[] = "%TEMP%\\x";
    RegSetValueExA(k, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(ex), sizeof ex);
    RegCloseKey(k);
    EXPECT_EQ(ReadRegValue(CU, kKey, "Expand", ""), "%TEMP%\\x");  // taken as stored
}

TEST(RegSpecial, EachErrorCarriesItsMessage) {
    testing_support::RegistrySandbox sandbox;
    WriteRegValue(CU, kKey, "ShowHint", std::string("yes"));
    EXPECT_EQ(ErrorOf([] { ReadRegValue(CU, kKey, "ShowHint", true); }), "Invalid data type for 'ShowHint'");
    WriteRegValue(CU, kKey, "Num", int32_t(3));
    EXPECT_EQ(ErrorOf([] { ReadRegValue(CU, kKey, "Num", "s"); }), "Invalid data type for 'Num'");

    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(CU, std::string(kKey).substr(1).c_str(), 0, KEY_WRITE, &k), ERROR_SUCCESS);
    const BYTE two[2] = {1, 0};
    RegSetValueExA(k, "Short", 0, REG_DWORD, two, sizeof two);  // a DWORD with two bytes
    // A volatile key cannot hold a lasting sub-key.
    HKEY vol;
    ASSERT_EQ(RegCreateKeyExA(k, "Volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vol,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(vol);
    RegCloseKey(k);
    EXPECT_EQ(ErrorOf([] { ReadRegValue(CU, kKey, "Short", int32_t(0)); }), "Failed to get data for 'Short'");
    const std::string child = std::string(kKey) + "\\Volatile\\Child";
    EXPECT_EQ(ErrorOf([&] { WriteRegValue(CU, child, "V", true); }),
              "Failed to create key " + child);
    const std::string longName(20000, 'n');
    EXPECT_EQ(ErrorOf([&] { WriteRegValue(CU, kKey, longName, "v"); }),
              "Failed to set data for '" + longName + "'");
}

TEST(RegSpecial, DeletingKeysValuesAndTellingEmptiness) {
    testing_support::RegistrySandbox sandbox;
    const std::string deep = std::string(kKey) + "\\A\\B";
    WriteRegValue(CU, deep, "V", int32_t(1));
    WriteRegValue(CU, kKey, "Top", int32_t(1));
    EXPECT_FALSE(RegKeyIsEmpty(CU, kKey));
    DeleteRegKey(CU, kKey);  // with its values and sub-keys
    EXPECT_FALSE(KeyExists(kKey));
    EXPECT_TRUE(RegKeyIsEmpty(CU, kKey));
    DeleteRegKey(CU, kKey);  // a missing key is no error
    DeleteRegKey(CU, "\\");  // the root itself is never deleted
    EXPECT_TRUE(KeyExists("\\Software"));

    DeleteRegValue(CU, kKey, "Nothing");  // creates the key, deletes nothing
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_TRUE(RegKeyIsEmpty(CU, kKey));
    WriteRegValue(CU, kKey, "V", "x");
    DeleteRegValue(CU, kKey, "V");
    EXPECT_EQ(ReadRegValue(CU, kKey, "V", "gone"), "gone");
    WriteRegValue(CU, std::string(kKey) + "\\Sub", "V", "x");
    EXPECT_FALSE(RegKeyIsEmpty(CU, kKey));  // a sub-key is content too
}

TEST(RegSpecial, OnlyTheWindowsFamiliesAreSupported) {
    EXPECT_TRUE(PlatformSupported(VER_PLATFORM_WIN32_NT));
    EXPECT_TRUE(PlatformSupported(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_FALSE(PlatformSupported(VER_PLATFORM_WIN32s));
    EXPECT_TRUE(CheckPlatform());
}
