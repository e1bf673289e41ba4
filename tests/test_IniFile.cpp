#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/IniFile.h"
#include "platform/IniText.h"
#include "platform/Text.h"
#include "support/Helpers.h"
#include "support/RegistrySandbox.h"

using platform::IniFile;
using platform::IniTextToInt;
using testing_support::ErrorOf;
using testing_support::TempFolder;

using testing_support::Slurp;

namespace {


const char kSample[] =
    "; leading comment\r\n"
    "[Zeta]\r\n"
    "b=2\r\n"
    "a=1\r\n"
    "[alpha]\r\n"
    "; inner comment\r\n"
    "Title=My Agent\r\n"
    "Mode=0x10\r\n"
    "Flag=yes\r\n"
    "Neg=-7\r\n"
    "[Middle]\r\n"
    "k=v\r\n";

}  // namespace

TEST(IniFile, SectionsAndKeysComeInFileOrder) {
    TempFolder dir;
    IniFile ini(dir.MakeFile("a.ini", kSample));
    std::vector<std::string> list;
    ini.ReadSections(list);
    EXPECT_EQ(list, (std::vector<std::string>{"Zeta", "alpha", "Middle"}));
    ini.ReadSection("Zeta", list);
    EXPECT_EQ(list, (std::vector<std::string>{"b", "a"}));
    ini.ReadSectionValues("ALPHA", list);
    EXPECT_EQ(list, (std::vector<std::string>{"Title=My Agent", "Mode=0x10", "Flag=yes", "Neg=-7"}));
    ini.ReadSection("Nowhere", list);
    EXPECT_TRUE(list.empty());
}

TEST(IniFile, NamesIgnoreCaseAndMissingThingsGiveDefaults) {
    TempFolder dir;
    IniFile ini(dir.MakeFile("a.ini", kSample));
    EXPECT_EQ(ini.ReadString("ALPHA", "title", "d"), "My Agent");
    EXPECT_EQ(ini.ReadString("alpha", "Missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("Missing", "Title", "d"), "d");
    IniFile none(dir.Path() + "none.ini");
    EXPECT_EQ(none.ReadString("View", "Title", "Agent"), "Agent");
    EXPECT_EQ(none.ReadInteger("View", "Title", 5), 5);
    std::vector<std::string> list{"stale"};
    none.ReadSections(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(GetFileAttributesA((dir.Path() + "none.ini").c_str()), INVALID_FILE_ATTRIBUTES);  // reads make nothing
}

TEST(IniFile, IntegerAndBooleanReadings) {
    TempFolder dir;
    IniFile ini(dir.MakeFile("a.ini", kSample));
    EXPECT_EQ(ini.ReadInteger("alpha", "Mode", 0), 16);
    EXPECT_TRUE(ini.ReadBool("alpha", "Mode", false));
    EXPECT_FALSE(ini.ReadBool("alpha", "Flag", false));  // not a number: the default
    EXPECT_TRUE(ini.ReadBool("alpha", "Flag", true));
    EXPECT_EQ(ini.ReadInteger("alpha", "Neg", 0), -7);
    EXPECT_EQ(IniTextToInt("0XfF", 0), 255);
    EXPECT_EQ(IniTextToInt("0x", 9), 9);  // too short to be hexadecimal, and no decimal
    EXPECT_EQ(IniTextToInt("0xZ1", 9), 9);
    EXPECT_EQ(IniTextToInt("0xFFFFFFFF", 0), -1);
    EXPECT_EQ(IniTextToInt("0x100000000", 9), 9);
    EXPECT_EQ(IniTextToInt("12ab", 9), 9);
    EXPECT_EQ(IniTextToInt("99999999999", 9), 9);
    EXPECT_EQ(IniTextToInt("", 9), 9);
    EXPECT_EQ(IniTextToInt("+4", 0), 4);
}

TEST(IniFile, WritesCreateWhatIsMissingAndLeaveTheRest) {
    TempFolder dir;
    {
        IniFile fresh(dir.Path() + "new.ini");
        fresh.WriteString("View", "Title", "Created");
        fresh.WriteBool("Profile", "LaunchMode", true);
    }
    IniFile back(dir.Path() + "new.ini");
    EXPECT_EQ(back.ReadString("View", "Title", ""), "Created");
    EXPECT_EQ(back.ReadString("Profile", "LaunchMode", ""), "1");

    const std::string path = dir.MakeFile("a.ini", kSample);
    {
        IniFile ini(path);
        ini.WriteString("alpha", "TITLE", "Changed");
        ini.WriteString("New", "x", "y");
        ini.WriteBool("Middle", "k", false);
    }
    const std::string text = Slurp(path);
    EXPECT_NE(text.find("; leading comment"), std::string::npos);
    EXPECT_NE(text.find("; inner comment"), std::string::npos);
    IniFile ini(path);
    std::vector<std::string> list;
    ini.ReadSections(list);
    EXPECT_EQ(list, (std::vector<std::string>{"Zeta", "alpha", "Middle", "New"}));
    ini.ReadSectionValues("alpha", list);
    EXPECT_EQ(list, (std::vector<std::string>{"Title=Changed", "Mode=0x10", "Flag=yes", "Neg=-7"}));
    ini.ReadSectionValues("Zeta", list);
    EXPECT_EQ(list, (std::vector<std::string>{"b=2", "a=1"}));
    EXPECT_EQ(ini.ReadString("Middle", "k", ""), "0");
    EXPECT_EQ(ini.ReadString("New", "x", ""), "y");
}

TEST(IniFile, RefusedWritesRaiseWithTheFileName) {
    TempFolder dir;
    const std::string missingFolder = dir.Path() + "no\\such\\folder\\a.ini";
    IniFile nowhere(missingFolder);
    EXPECT_EQ(ErrorOf([&] { nowhere.WriteString("S", "k", "v"); }), "Unable to write to " + missingFolder);

    // A file another program holds open without sharing.
    const std::string locked = dir.MakeFile("locked.ini", "[S]\r\nk=old\r\n");
    HANDLE h = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    IniFile held(locked);
    EXPECT_EQ(ErrorOf([&] { held.WriteBool("S", "k", true); }), "Unable to write to " + locked);
    CloseHandle(h);
}

TEST(IniFile, AValueTheServiceCannotHoldIsRefusedBeforeItIsWritten) {
    TempFolder dir;
    const std::string path = dir.MakeFile("v.ini", "[S]\r\nkeep=1\r\nk=old\r\n");
    IniFile ini(path);
    const std::string before = testing_support::Slurp(path);
    EXPECT_EQ(ErrorOf([&] { ini.WriteString("S", "k", std::string(32767, 'x')); }), "Unable to write to " + path);
    EXPECT_EQ(testing_support::Slurp(path), before);
    const std::string longest(32766, 'y');
    ini.WriteString("S", "k", longest);
    EXPECT_EQ(ini.ReadString("S", "k", ""), longest);
    const std::string huge = dir.MakeFile("h.ini", "[S]\r\nk=" + std::string(40000, 'z') + "\r\n");
    EXPECT_EQ(IniFile(huge).ReadString("S", "k", "").size(), 40000u);  // read whole all the same
}

TEST(IniFile, AWriteTheSystemRefusesRaises) {
    TempFolder dir;
    const std::string path = dir.MakeFile("held.ini", "[S]\r\nk=old\r\n");
    {
        // Held open by another handle that shares nothing: every account is
        // refused, the superuser too.
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        {
            IniFile ini(path);
            EXPECT_EQ(ErrorOf([&] { ini.WriteBool("S", "k", true); }), "Unable to write to " + path);
        }
        CloseHandle(held);
    }
    EXPECT_EQ(IniFile(path).ReadString("S", "k", ""), "old");
    // A read-only file, where the account honours the attribute (Wine's
    // superuser writes it all the same).
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        IniFile readOnly(path);
        EXPECT_EQ(ErrorOf([&] { readOnly.WriteBool("S", "k", true); }), "Unable to write to " + path);
        EXPECT_EQ(readOnly.ReadString("S", "k", ""), "old");
    } else {
        CloseHandle(probe);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(IniFile, LongValuesAndLongNameListsAreReadWhole) {
    TempFolder dir;
    std::string big(5000, 'v');
    big[0] = 'A';
    big[4999] = 'Z';
    std::string text = "[Big]\r\nvalue=" + big + "\r\n[Many]\r\n";
    std::vector<std::string> keys;
    for (int i = 0; i < 3000; ++i) {
        keys.push_back("SomewhatLongKeyName" + std::to_string(i));
        text += keys.back() + "=" + std::to_string(i) + "\r\n";
    }
    IniFile ini(dir.MakeFile("big.ini", text));
    EXPECT_EQ(ini.ReadString("Big", "value", ""), big);
    std::vector<std::string> list;
    ini.ReadSection("Many", list);
    EXPECT_EQ(list, keys);  // some 70,000 bytes of names
    ini.ReadSectionValues("Many", list);
    ASSERT_EQ(list.size(), 3000u);
    EXPECT_EQ(list[2999], "SomewhatLongKeyName2999=2999");
}

namespace {

// A corpus of what real files hold: quotes of every kind, blanks around
// keys and values, keys twice in any letter case, keys without "=", empty
// values, comments, "=" inside values, long values, a section twice.
std::vector<std::string> Corpus() {
    const std::string long1(5000, 'L');
    return {
        "[Q]\r\na=\"double\"\r\nb='single'\r\nc=\"mixed'\r\nd=\"\r\ne=''\r\nf=\"in\"side\"\r\ng= \"spaced\" \r\n"
        "h='\r\ni=x\"y\"\r\n",
        "[S]\r\n  key one  =  value one  \r\n\ttabbed\t=\tv\t\r\nx==y=z\r\nempty=\r\nbare\r\n ; comment\r\n# hash\r\n"
        "\r\nafter blank=1\r\n",
        "[D]\r\nk=first\r\nK=second\r\nk = third\r\nother=o\r\nk\r\n[D]\r\nk=later section\r\n[d]\r\nz=1\r\n",
        "[L]\r\nlong=" + long1 + "\r\nq='" + long1 + "'\r\n[Empty]\r\n[Odd]\r\n=no key\r\n[not closed\r\nw=1\r\n",
        // Only keys and values, so the lines alone name the keys.
        "[C]\r\n  key one  =  value one  \r\nK=1\r\nk = 2\r\n\tt\t=\t'q'\t\r\n[C2]\r\nx=\"\"\r\ny==\r\n",
    };
}

// The section's lines as Windows' service lists them: as they are written,
// comments, keys without "=" and blanks around them kept.
DWORD WINAPI AsWindowsLists(LPCWSTR wideSection, LPWSTR buffer, DWORD size, LPCWSTR wideFile) {
    const std::string section = platform::Narrowed(wideSection), file = platform::Narrowed(wideFile);
    std::string lines;
    bool inside = false, seen = false;
    std::istringstream text(Slurp(file));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = line.substr(std::min(line.size(), line.find_first_not_of(" \t")));
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::string name = trimmed.substr(1, trimmed.find(']') - 1);
            inside = !seen && lstrcmpiA(name.c_str(), section.c_str()) == 0;
            seen = seen || inside;
        } else if (inside && !trimmed.empty()) {
            lines.append(platform::FromAnsi(line)).push_back('\0');
        }
    }
    lines.push_back('\0');
    const std::wstring wide = platform::Widened(lines);
    if (wide.size() > size) return size - 2;
    std::copy(wide.begin(), wide.end(), buffer);
    return static_cast<DWORD>(wide.size() - 1);
}

}  // namespace

TEST(IniFile, ASectionReadInOneGoGivesWhatItsKeysReadOneByOneGive) {
    std::vector<std::string> corpus = Corpus();
    corpus.push_back("[W]\r\n; note=with an equals sign\r\n  spaced = v \r\nbare\r\nk=1\r\n[V]\r\n; a=b\r\nk=1\r\n");
    corpus.push_back(platform::ToAnsi("[U]\r\nÜ=upper\r\nü=lower\r\n"));
    TempFolder dir;
    int checked = 0;
    // Through Wine's service, then as Windows' lists a section's lines.
    for (auto read : {platform::SectionReadCall, &AsWindowsLists})
    for (size_t n = 0; n < corpus.size(); ++n) {
        platform::SectionReadCall = read;
        const IniFile ini(dir.MakeFile("corpus" + std::to_string(n) + ".ini", corpus[n]));
        std::vector<std::string> sections;
        ini.ReadSections(sections);
        for (const auto& section : sections) {
            std::vector<std::string> once, byKey;
            ini.ReadSectionValues(section, once);
            ini.ReadSectionValuesKeyByKey(section, byKey);
            EXPECT_EQ(once, byKey) << "[" << section << "] of file " << n << (read == &AsWindowsLists ? " (Windows)" : "");
            checked += static_cast<int>(byKey.size());
        }
        platform::SectionReadCall = &GetPrivateProfileSectionW;
    }
    EXPECT_GE(checked, 50);
}

TEST(IniFile, TheProgramsWriterGivesWhatTheServiceGivesAndChangesNoOtherByte) {
    // As people and other programs write files: blanks around "=", tabs, a
    // blank line, an indented comment; only the written line changes.
    using platform::ApplyWrites;
    EXPECT_EQ(ApplyWrites("[Servers]\r\n  spaced = v  \r\ntabbed\t=\tv\t\r\n\r\n   ; indented\r\nNewsServer = news.beta \r\n"
                          "[Next]\r\n",
                          {{"servers", "NEWSSERVER", "news.new"}, {"Servers", "MailServer", " two "}}),
              "[Servers]\r\n  spaced = v  \r\ntabbed\t=\tv\t\r\n\r\n   ; indented\r\nNewsServer = news.new\r\n"
              "MailServer=\" two \"\r\n[Next]\r\n");
    // LF line ends, and no line end at the end, are kept.
    EXPECT_EQ(ApplyWrites("[A]\nk=1\n\n[B]\nx=2", {{"A", "new", "n"}, {"B", "x", "3"}, {"C", "c", "4"}}),
              "[A]\nk=1\nnew=n\n\n[B]\nx=3\n[C]\nc=4\n");
    // Over the corpus, and files of other shapes, the service reads back
    // from the program's writing what it reads from its own; every line the
    // writes did not touch is there byte for byte, in order.
    std::vector<std::string> corpus = Corpus();
    corpus.push_back("[S]\nkey one = v\n\ttabbed\t=\tv\n\n; c\n[D]\nk=1");
    corpus.push_back("");
    const std::vector<platform::IniWrite> writes = {
        {"S", "key one", "new one"}, {"s", "TABBED", "t2"},    {"D", "k", "changed"},  {"D", "brand", "new key"},
        {"Q", "a", "  spaced  "},    {"Q", "b", "\"quoted\""}, {"New", "x", "1"},       {"New", "y", ""},
        {"S", "bare", "now"},        {"c2", "x", "twice"},     {"C2", "x", "last"},     {"Q", "i", "'single'"}};
    TempFolder dir;
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        for (size_t at = 0; at < text.size();) {
            const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
            out.push_back(text.substr(at, end - at));
            at = end;
        }
        return out;
    };
    for (size_t n = 0; n < corpus.size(); ++n) {
        const std::string own = ApplyWrites(corpus[n], writes);
        const IniFile mine(dir.MakeFile("own" + std::to_string(n) + ".ini", own));
        IniFile theirs(dir.MakeFile("service" + std::to_string(n) + ".ini", corpus[n]));
        for (const auto& w : writes) theirs.WriteString(w.section, w.key, platform::StoredValue(w.value));
        theirs.Close();
        std::vector<std::string> sections, theirSections;
        mine.ReadSections(sections);
        theirs.ReadSections(theirSections);
        EXPECT_EQ(sections, theirSections) << "file " << n;
        for (const auto& section : sections) {
            std::vector<std::string> a, b;
            mine.ReadSectionValuesKeyByKey(section, a);
            theirs.ReadSectionValuesKeyByKey(section, b);
            EXPECT_EQ(a, b) << "[" << section << "] of file " << n;
        }
        EXPECT_EQ(mine.ReadString("Q", "a", ""), "  spaced  ");
        EXPECT_EQ(mine.ReadString("Q", "b", ""), "\"quoted\"");
        EXPECT_EQ(platform::CopyFault(corpus[n], own, writes), "") << "file " << n;
        // At most one line for each key written is not the file's own.
        const std::vector<std::string> before = lines(corpus[n]), after = lines(own);
        size_t next = 0, missing = 0;
        for (const auto& line : before) {
            size_t at = next;
            while (at < after.size() && after[at] != line) ++at;
            if (at == after.size()) ++missing;
            else next = at + 1;
        }
        EXPECT_LE(missing, 6u) << "file " << n;
    }
}

// A file as the service reads it: each section's name, in order, and the
// keys of the first section of that name with the values each read gives.
std::string ServiceView(const std::string& path) {
    IniFile ini(path);
    std::vector<std::string> sections, values;
    ini.ReadSections(sections);
    std::string view;
    for (const auto& section : sections) {
        ini.ReadSectionValuesKeyByKey(section, values);
        view += "[" + section + "]";
        for (const auto& line : values) view += " " + line + ";";
    }
    return view;
}

// Why the program's writing of `writes` into `text` is not what the
// service's own writing reads back as, or the save's check refuses it ("").
std::string WriterDiffers(const TempFolder& dir, const std::string& text, const std::vector<platform::IniWrite>& writes) {
    std::vector<platform::IniWrite> bytes = writes;  // as the file holds them
    if (!platform::ReadAsUtf8(text)) {
        for (auto& w : bytes) w = {platform::ToAnsi(w.section), platform::ToAnsi(w.key), platform::ToAnsi(w.value)};
    }
    const std::string own = platform::ApplyWrites(text, bytes);
    if (const std::string fault = platform::CopyFault(text, own, bytes); !fault.empty()) return "refused: " + fault;
    const std::string mine = dir.MakeFile("own.ini", own), theirs = dir.MakeFile("service.ini", text);
    IniFile service(theirs);
    for (const auto& w : writes) service.WriteString(w.section, w.key, platform::StoredValue(w.value));
    service.Close();
    const std::string a = ServiceView(mine), b = ServiceView(theirs);
    DeleteFileA(mine.c_str());
    DeleteFileA(theirs.c_str());
    return a == b ? "" : "own " + a + "\n service " + b;
}

TEST(IniFile, OnRandomFilesTheWritersSaveReadsBackAsTheServicesOwn) {
    TempFolder dir;
    using W = std::vector<platform::IniWrite>;
    // Each once found on a random file, made as small as it would go.
    const std::pair<std::string, W> found[] = {
        {"\xEF\xBB\xBF[Servers]\r\nSMTP=old\r\n", {{"Servers", "SMTP", "new"}, {"Servers", "Name", "Café"}}},
        {"\f[A]\r\n\vk=1\r\n\x1a[B]\r\n", {{"A", "k", "2"}, {"B", "x", "3"}}},
        {"[A]\r\nk=1\r\n[View\r\nz=2\r\n", {{"View", "z", "3"}, {"A", "z", "4"}}},
        {"[Été]\r\nÜ=1\r\n", {{"été", "ü", "2"}, {"Été", "Ü", "3"}}},
        {"[a]b]\r\nk=1\r\n", {{"a]b", "k", "2"}}},
        {"[A]\rk=1\r[B]\rx=2", {{"A", "k", "3"}, {"B", "y", "4"}}},
        {"[A]\r\n[k=1\r\n", {{"A", "x", "2"}}},
        {"[A]\r\nk=\"\"\r\n", {{"A", "k", "\"\""}, {"A", "j", "\"\""}}},
        {"[A]\r\n", {{"A", "TITLE", "1"}, {"A", "title", "2"}}},
        {"[A]\r\nk=1\r\n", {{"A", "k", "abc "}}},
        {"[ A ]\r\n\r\n\r\nk=1\r\n\r\n[B]\n", {{"a", "n", "2"}, {"B", "m", "3"}}},
    };
    for (const auto& [text, writes] : found) EXPECT_EQ(WriterDiffers(dir, text, writes), "") << text;

    // Random files of every shape people and programs leave, and random
    // writes into them; the same seed makes the same files.
    std::mt19937 random(52);
    auto any = [&](const auto& list) { return std::data(list)[random() % std::size(list)]; };
    using L = std::initializer_list<const char*>;
    const char* sections[] = {"Servers", "servers", "SERVERS", "View", "Été", "été", "Options", "a b"};
    const char* keys[] = {"Title", "TITLE", "title", "Ü", "ü", "Key1", "key 2", "k"};
    const char* values[] = {"", "v", "Café", "\"q\"", "\"\"", "'s'", " pad ", "a=b", "x]", "; c", "tab\t"};
    const char* pads[] = {"", "", " ", "\t", "\f", "\v", "\x1a", " \t"};
    const char* ends[] = {"\r\n", "\n", "\r", "\r\n\r\n"};
    int differences = 0, cases = 0;
    for (; cases < 1500; ++cases) {
        const bool utf8 = random() % 6 == 0;
        const int style = random() % 5;  // one line end throughout, or any on each line
        std::string text = utf8 ? "\xEF\xBB\xBF" : "";
        for (int n = random() % 12; n >= 0; --n) {
            std::string line = any(pads);
            switch (random() % 10) {
            case 0: case 1:
                line += std::string("[") + any(pads) + any(sections) + any(pads) + any(L{"]", "]", "]", "]x]", ""}) + any(pads);
                break;
            case 7: line += "; a note"; break;
            case 8: break;
            case 9: line += any(L{"bare", "[k=1", "=v"}); break;
            default: line += std::string(any(keys)) + any(pads) + "=" + any(pads) + any(values) + any(pads);
            }
            text += (utf8 ? line : platform::ToAnsi(line)) + (n == 0 && random() % 3 == 0 ? "" : style < 4 ? ends[style] : any(ends));
        }
        W writes;
        for (int n = random() % 4; n >= 0; --n) {
            writes.push_back({any(sections), any(keys), std::string(any(L{"", " "})) + any(values) + any(L{"", " "})});
        }
        const std::string why = WriterDiffers(dir, text, writes);
        if (!why.empty() && ++differences <= 5) ADD_FAILURE() << testing::PrintToString(text) << "\n" << why;
    }
    EXPECT_EQ(differences, 0) << "of " << cases;
}

TEST(IniFile, ASavesCopyIsCheckedForEveryLineAndEveryValue) {
    using platform::CopyFault;
    const std::string file = "[A]\r\nk=old\r\nx=1\r\n; note\r\n[B]\r\ny=2\r\n; last words\r\n";
    const std::vector<platform::IniWrite> writes = {{"a", "K", "new"}, {"B", "z", "3"}};
    EXPECT_EQ(CopyFault(file, platform::ApplyWrites(file, writes), writes), "");
    // A service that drops blank lines and blanks around "=" keeps the file.
    EXPECT_EQ(CopyFault(file, "[A]\r\nK = new\r\nx=1\r\n; note\r\n\r\n[B]\r\ny=2\r\n; last words\r\nz=3\r\n", writes), "");
    // Each fault, found by the one check that sees it.
    const char* faults[] = {
        "[A]\r\nk=new\r\nx=1\r\n; note\r\n[B]\r\ny=2\r\nz=3\r\n; last wo",    // cut inside the last comment
        "[A]\r\nk=new\r\n; note\r\n[B]\r\ny=2\r\nz=3\r\n; last words\r\n",      // an unwritten line dropped
        "[A]\r\nk=new\r\nx=1\r\n; note\r\n[C]\r\ny=2\r\nz=3\r\n; last words\r\n",  // a section renamed
        "[A]\r\nk=old\r\nx=1\r\n; note\r\n[B]\r\ny=2\r\nz=3\r\n; last words\r\n",  // a write never made
        "[A]\r\nk=new\r\nx=1\r\n; note\r\n[B]\r\ny=2\r\n; last words\r\nz=",        // the last value cut
        "[A]\r\nk=new\r\nx=1\r\n; note\r\n[B]\r\ny=2\r\n; last words\r\nz=3",       // its line end cut
    };
    for (const char* copy : faults) EXPECT_NE(CopyFault(file, copy, writes), "") << copy;
    // A key's later line is not the one written: a copy without it lost a line.
    EXPECT_NE(CopyFault("[A]\r\nk=1\r\nK=2\r\n", "[A]\r\nk=new\r\n", {{"A", "k", "new"}}), "");
}
