#include "platform/IniText.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/Names.h"
#include "platform/Workarounds.h"

namespace platform {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// What the service trims from a line, a name and a value: blanks, and the
// controls from tab to CR, and ^Z (a DOS file's end).
bool Trimmed(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

bool LineEnd(char c) { return c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && Trimmed(s.front())) s.remove_prefix(1);
    while (!s.empty() && Trimmed(s.back())) s.remove_suffix(1);
    return s;
}

// A value as the service gives it: trimmed, one pair of quotes taken away.
std::string_view ReadValue(std::string_view raw) {
    raw = Trim(raw);
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
        raw = raw.substr(1, raw.size() - 2);
    }
    return raw;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// One line of the text: [begin, body) is its text, [body, end) its line
// end, every CR and LF up to the next line (blank lines are one line end).
struct Line {
    size_t begin, body, end;
};

std::vector<Line> Lines(const std::string& text, const IniReading& reading) {
    std::vector<Line> lines;
    size_t at = ReadAsUtf8(text, reading) ? kUtf8Mark.size() : 0;
    while (at < text.size()) {
        size_t body = at;
        while (body < text.size() && !LineEnd(text[body])) ++body;
        size_t end = body;
        while (end < text.size() && LineEnd(text[end])) ++end;
        lines.push_back({at, body, end});
        at = end;
    }
    return lines;
}

enum class Kind { Blank, Comment, Header, Key };

// What the service makes of a line: its kind and, for a section, its name;
// for a key, its name and where its "=" is (npos: a key with no value).
struct Parsed {
    Kind kind;
    std::string_view name;
    size_t eq = std::string_view::npos;
};

Parsed Parse(std::string_view body) {
    const std::string_view t = Trim(body);
    if (t.empty()) return {Kind::Blank, {}};
    if (t.front() == ';') return {Kind::Comment, {}};
    // A section's name runs to the line's last "]"; a line with none is a key.
    if (const size_t close = t.rfind(']'); t.front() == '[' && close != std::string_view::npos) {
        return {Kind::Header, Trim(t.substr(1, close - 1))};
    }
    const size_t eq = body.find('=');
    return {Kind::Key, Trim(body.substr(0, eq)), eq};
}

std::string AsciiFolded(std::string_view s) {
    std::string folded(s);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

std::string Folded(std::string_view s, const IniReading& reading) {
    return reading.asciiFold ? AsciiFolded(s) : FoldedAnsiName(std::string(s));
}

}  // namespace

IniReading ServiceReading() {
    IniReading reading;
    reading.utf8Mark = Needed().profileServiceReadsUtf8Mark;
    reading.asciiFold = Needed().profileServiceFoldsOnlyAscii;
    return reading;
}

std::string MatchedName(const std::string& name, const IniReading& reading) {
    return reading.asciiFold ? AsciiFolded(name) : FoldedName(name);
}

bool ReadAsUtf8(const std::string& text, const IniReading& reading) {
    return reading.utf8Mark && text.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0;
}

std::string UnstorableValue(const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos) return "holds a line break";
    // The service trims these from a value's ends; only blanks and tabs
    // are kept there, by the quotes StoredValue puts round them.
    auto control = [](char c) { return Trimmed(c) && !Blank(c); };
    if (!value.empty() && (control(value.front()) || control(value.back()))) {
        return "begins or ends with a control character (form feed, vertical tab or end of file)";
    }
    return {};
}

std::string StoredValue(const std::string& value) {
    if (value.empty()) return value;
    const bool blankEnd = Blank(value.front()) || Blank(value.back());
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return blankEnd || quoted ? '"' + value + '"' : value;
}

std::string ApplyWrites(const std::string& text, const std::vector<IniWrite>& writes, const IniReading& reading) {
    const std::vector<Line> lines = Lines(text, reading);
    auto body = [&](size_t i) { return std::string_view(text).substr(lines[i].begin, lines[i].body - lines[i].begin); };
    auto Folded = [&](std::string_view s) { return platform::Folded(s, reading); };
    std::string eol = "\r\n";
    for (const Line& l : lines) {
        if (l.end > l.body) {
            eol = text.compare(l.body, 2, "\r\n") == 0 ? "\r\n" : text.substr(l.body, 1);
            break;
        }
    }
    // The first section of each name: where it starts and ends.
    struct Section {
        size_t header, end;
        bool scanned = false;
        std::unordered_map<std::string, size_t> keys{};  // folded key: its first line
        size_t lastKey = 0;                               // the line new keys follow
        std::vector<std::pair<std::string, std::string>> added{};  // key as written, its line
    };
    std::unordered_map<std::string, Section> sections;
    {
        Section* open = nullptr;
        for (size_t i = 0; i < lines.size(); ++i) {
            const Parsed p = Parse(body(i));
            if (p.kind != Kind::Header) continue;
            if (open) open->end = i;
            auto [it, fresh] = sections.try_emplace(Folded(p.name), Section{i, lines.size()});
            open = fresh ? &it->second : nullptr;
        }
        if (open) open->end = lines.size();
    }
    std::vector<std::string> replaced(lines.size());
    std::vector<bool> isReplaced(lines.size());
    std::vector<std::pair<std::string, Section>> appended;  // new sections: their names as written
    std::unordered_map<std::string, size_t> appendedAt;

    for (const IniWrite& w : writes) {
        const std::string key = Folded(w.key);
        const std::string value = StoredValue(w.value);
        Section* s = nullptr;
        if (auto it = sections.find(Folded(w.section)); it != sections.end()) {
            s = &it->second;
            if (!s->scanned) {
                s->scanned = true;
                s->lastKey = s->header;
                for (size_t i = s->header + 1; i < s->end; ++i) {
                    const Parsed p = Parse(body(i));
                    if (p.kind != Kind::Key) continue;
                    s->keys.try_emplace(Folded(p.name), i);
                    s->lastKey = i;
                }
            }
        } else {
            auto [at, fresh] = appendedAt.try_emplace(Folded(w.section), appended.size());
            if (fresh) appended.emplace_back(w.section, Section{});
            s = &appended[at->second].second;
        }
        if (auto k = s->keys.find(key); k != s->keys.end()) {
            const size_t i = k->second;
            const std::string_view b = body(i);
            const Parsed p = Parse(b);
            std::string line;
            if (p.eq == std::string_view::npos) {
                line = std::string(b.substr(0, b.find_last_not_of(" \t") + 1)) + "=";
            } else {
                size_t v = p.eq + 1;
                while (v < b.size() && Blank(b[v])) ++v;
                line = std::string(b.substr(0, v));
            }
            replaced[i] = line + value;
            isReplaced[i] = true;
            continue;
        }
        // (The key keeps the spelling it was first written in.)
        bool found = false;
        for (auto& [name, line] : s->added) {
            if (Folded(name) == key) {
                line = name + "=" + value;
                found = true;
            }
        }
        if (!found) s->added.emplace_back(w.key, w.key + "=" + value);
    }

    std::unordered_map<size_t, const Section*> insertAfter;
    for (const auto& [name, s] : sections) {
        if (!s.added.empty()) insertAfter[s.lastKey] = &s;
    }
    std::string out;
    out.reserve(text.size() + 64 * writes.size());
    out.append(text, 0, lines.empty() ? text.size() : lines.front().begin);  // a mark of UTF-8
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        out.append(isReplaced[i] ? replaced[i] : text.substr(l.begin, l.body - l.begin));
        auto it = insertAfter.find(i);
        if (it == insertAfter.end()) {
            out.append(text, l.body, l.end - l.body);
            continue;
        }
        // New keys right after the line's own end, before the blank lines
        // that follow it.
        const size_t own = text.compare(l.body, 2, "\r\n") == 0 ? 2 : l.end > l.body ? 1 : 0;
        out.append(own ? text.substr(l.body, own) : eol);  // the file's last line had no end
        for (const auto& [key, line] : it->second->added) out.append(line).append(eol);
        out.append(text, l.body + own, l.end - l.body - own);
    }
    if (!appended.empty() && !out.empty() && !LineEnd(out.back()) && out != kUtf8Mark) out.append(eol);
    for (const auto& [name, s] : appended) {
        out.append("[").append(name).append("]").append(eol);
        for (const auto& [key, line] : s.added) out.append(line).append(eol);
    }
    return out;
}

std::string CopyFault(const std::string& source, const std::string& copy, const std::vector<IniWrite>& writes,
                      const IniReading& reading) {
    auto Folded = [&](std::string_view s) { return platform::Folded(s, reading); };
    auto Slot = [&](std::string_view section, std::string_view key) { return Folded(section) + '\0' + Folded(key); };
    auto whole = [](const std::string& s) { return s.empty() || LineEnd(s.back()); };
    if (!copy.empty() && !whole(copy) && whole(source)) return "the copy ends inside a line";
    // A file read as UTF-8 is still one when saved, and one read in the
    // code page still one in it.
    if (ReadAsUtf8(source, reading) != ReadAsUtf8(copy, reading)) return "the copy's mark of UTF-8 changed";
    // The value each written key must read back as: the last one written.
    std::unordered_map<std::string, std::string> meant;
    std::unordered_set<std::string> written;  // folded section names
    for (const IniWrite& w : writes) {
        meant[Slot(w.section, w.key)] = w.value;
        written.insert(Folded(w.section));
    }
    // A line as any service keeps it: blanks around it and around "=" aside,
    // and one pair of quotes around a value.
    auto normal = [](std::string_view b, const Parsed& p) {
        if (p.kind == Kind::Header) return std::string("[").append(p.name).append("]");
        if (p.kind == Kind::Key && p.eq != std::string_view::npos) {
            return std::string(p.name) + "=" + std::string(ReadValue(b.substr(p.eq + 1)));
        }
        return std::string(Trim(b));
    };
    // Walks the lines of the first section of each written name, as the
    // service reads them.
    struct Walk {
        std::unordered_set<std::string> seen;
        std::string section;  // folded; "" outside a written section's first block
        void Header(const std::string& folded, const std::unordered_set<std::string>& written) {
            section = seen.insert(folded).second && written.count(folded) ? folded : std::string();
        }
    };
    // The lines of the source that no write touched, in order.
    std::vector<std::string> kept;
    {
        Walk walk;
        std::unordered_set<std::string> touched;
        for (const Line& l : Lines(source, reading)) {
            const std::string_view b = std::string_view(source).substr(l.begin, l.body - l.begin);
            const Parsed p = Parse(b);
            if (p.kind == Kind::Blank) continue;
            if (p.kind == Kind::Header) walk.Header(Folded(p.name), written);
            if (p.kind == Kind::Key && !walk.section.empty()) {
                const std::string slot = walk.section + '\0' + Folded(p.name);
                if (meant.count(slot) && touched.insert(slot).second) continue;
            }
            kept.push_back(normal(b, p));
        }
    }
    // They must all be in the copy, in order; and each written key with its value.
    size_t next = 0;
    Walk walk;
    std::unordered_map<std::string, std::string> got;
    for (const Line& l : Lines(copy, reading)) {
        const std::string_view b = std::string_view(copy).substr(l.begin, l.body - l.begin);
        const Parsed p = Parse(b);
        if (p.kind == Kind::Blank) continue;
        if (p.kind == Kind::Header) walk.Header(Folded(p.name), written);
        if (p.kind == Kind::Key && !walk.section.empty()) {
            const std::string_view value = p.eq == std::string_view::npos ? std::string_view() : ReadValue(b.substr(p.eq + 1));
            got.try_emplace(walk.section + '\0' + Folded(p.name), value);
        }
        if (next < kept.size() && normal(b, p) == kept[next]) ++next;
    }
    if (next < kept.size()) return "a line the save did not write is missing: " + kept[next];
    for (const auto& [slot, value] : meant) {
        auto it = got.find(slot);
        if (it == got.end() || it->second != value) return "a written value is not in the copy: " + value;
    }
    return {};
}

}  // namespace platform
