// A profile folder and template Agent.ini of a test's own, named in the
// settings for the test's lifetime.
#pragma once

#include <string>

#include "settings/KelUtility.h"
#include "support/RegistrySandbox.h"

namespace testing_support {

struct ProfileFixture {
    TempFolder dir;
    settings::TSettings saved = settings::Settings;
    std::string folder;

    ProfileFixture() {
        folder = dir.MakeFolder("Profiles");
        settings::Settings.ProfileFolder = folder;
        settings::Settings.DefaultIniPath =
            dir.MakeFile("Agent.ini", "[URL]\r\nForceAgentClient=1\r\n[View]\r\nTitle=Template\r\n");
    }
    ~ProfileFixture() { settings::Settings = saved; }
    ProfileFixture(const ProfileFixture&) = delete;
    ProfileFixture& operator=(const ProfileFixture&) = delete;

    void Profile(const std::string& name, const std::string& ini) {
        dir.MakeFolder("Profiles\\" + name);
        dir.MakeFile("Profiles\\" + name + "\\Agent.ini", ini);
    }
    // A profile with the keys the grid shows.
    void Profile(const std::string& name, const std::string& title, const std::string& news,
                 const std::string& mail, int launchMode) {
        Profile(name, "[View]\r\nTitle=" + title + "\r\n[Servers]\r\nNewsServer=" + news + "\r\nMailServer=" + mail +
                          "\r\n[Profile]\r\nLaunchMode=" + std::to_string(launchMode) + "\r\n");
    }
};

}  // namespace testing_support
