#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace tovrin {

namespace {

struct ProfileText {
    std::vector<std::string> lines;  // without their line ends
    bool crlf = false;               // the file's own line end, kept when it is rewritten
};

struct KeyLine {
    std::string key;
    std::string value;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::optional<std::string> SectionHeader(const std::string& line) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
    size_t close = trimmed.find(']');
    return Trim(std::string_view(trimmed).substr(
        1, close == std::string::npos ? std::string::npos : close - 1));
}

// A key line inside a section; comments, blank lines and headers are none. A line without
// "=" is a key with an empty value. Only the first "=" separates, so values may hold "=".
std::optional<KeyLine> ParseKeyLine(const std::string& line) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') return std::nullopt;
    size_t equals = trimmed.find('=');
    if (equals == std::string::npos) return KeyLine{trimmed, ""};
    std::string key = Trim(std::string_view(trimmed).substr(0, equals));
    if (key.empty()) return std::nullopt;
    return KeyLine{key, Trim(std::string_view(trimmed).substr(equals + 1))};
}

std::string StripQuotes(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

struct SectionRange {
    size_t header = 0;  // index of the "[name]" line
    size_t end = 0;     // index of the next header, or the line count
};

std::vector<SectionRange> FindSections(const ProfileText& text, const std::string& name) {
    std::vector<SectionRange> found;
    for (size_t i = 0; i < text.lines.size(); ++i) {
        auto header = SectionHeader(text.lines[i]);
        if (!found.empty() && found.back().end == 0 && header) found.back().end = i;
        if (header && SameName(*header, name)) found.push_back({i, 0});
    }
    if (!found.empty() && found.back().end == 0) found.back().end = text.lines.size();
    return found;
}

std::optional<SectionRange> FirstSection(const ProfileText& text, const std::string& name) {
    auto sections = FindSections(text, name);
    if (sections.empty()) return std::nullopt;
    return sections.front();
}

std::optional<size_t> FindKey(const ProfileText& text, const SectionRange& section,
                              const std::string& key) {
    for (size_t i = section.header + 1; i < section.end; ++i) {
        auto line = ParseKeyLine(text.lines[i]);
        if (line && SameName(line->key, key)) return i;
    }
    return std::nullopt;
}

ProfileText SplitLines(const std::string& content) {
    ProfileText text;
    std::istringstream stream(content);
    std::string line;
    bool first = true;
    while (std::getline(stream, line)) {
        bool hadCr = !line.empty() && line.back() == '\r';
        if (hadCr) line.pop_back();
        if (first) text.crlf = hadCr;
        first = false;
        text.lines.push_back(line);
    }
    return text;
}

std::string JoinLines(const ProfileText& text) {
    std::string content;
    const char* end = text.crlf ? "\r\n" : "\n";
    for (const auto& line : text.lines)
        content += line + end;
    return content;
}

// The file's lines; a missing file reads as empty. nullopt when it cannot be read.
std::optional<ProfileText> Load(const std::string& path) {
    const auto content = ReadFileContent(path);
    if (!content) return std::nullopt;
    if (!content->Exists) return ProfileText{};
    return SplitLines(content->Bytes);
}

// Texts that would change the file's structure if written as they are.
bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

bool ValidSectionName(const std::string& section) {
    return !Trim(section).empty() && !HasLineBreak(section) &&
           section.find(']') == std::string::npos;
}

bool ValidKeyName(const std::string& key) {
    std::string trimmed = Trim(key);
    return !trimmed.empty() && !HasLineBreak(key) && key.find('=') == std::string::npos &&
           trimmed[0] != ';' && trimmed[0] != '[';
}

// The index after the last non-blank line of the section, where a new key belongs.
size_t InsertionPoint(const ProfileText& text, const SectionRange& section) {
    size_t at = section.end;
    while (at > section.header + 1 && Trim(text.lines[at - 1]).empty())
        --at;
    return at;
}

bool Store(const std::string& path, const ProfileText& text) {
    return WriteFileAtomically(path, JoinLines(text));
}

bool WriteInText(ProfileText& text, const std::string& section, const std::string& key,
                 const std::string& value) {
    if (!ValidSectionName(section) || !ValidKeyName(key) || HasLineBreak(value)) return false;
    auto range = FirstSection(text, section);
    if (!range) {
        if (!text.lines.empty() && !Trim(text.lines.back()).empty()) text.lines.push_back("");
        text.lines.push_back("[" + Trim(section) + "]");
        text.lines.push_back(Trim(key) + "=" + value);
        return true;
    }
    if (auto index = FindKey(text, *range, key)) {
        // The key keeps the spelling it has in the file.
        text.lines[*index] = ParseKeyLine(text.lines[*index])->key + "=" + value;
    } else {
        auto at = InsertionPoint(text, *range);
        text.lines.insert(text.lines.begin() + long(at), Trim(key) + "=" + value);
    }
    return true;
}

// True when a line went.
bool DeleteInText(ProfileText& text, const std::string& section, const std::string& key) {
    auto range = FirstSection(text, section);
    if (!range) return false;
    bool changed = false;
    while (auto index = FindKey(text, *range, key)) {
        text.lines.erase(text.lines.begin() + long(*index));
        --range->end;
        changed = true;
    }
    return changed;
}

// Whether the text changed; nullopt when the change is refused.
std::optional<bool> ApplyChange(ProfileText& text, const ProfileChange& change) {
    if (change.kind == ProfileChange::Kind::DeleteKey)
        return DeleteInText(text, change.section, change.key);
    if (!WriteInText(text, change.section, change.key, change.value)) return std::nullopt;
    return true;
}

}  // namespace

std::optional<std::string> ApplyProfileChanges(const std::string& content,
                                               const std::vector<ProfileChange>& changes) {
    ProfileText text = SplitLines(content);
    bool changed = false;
    for (const auto& change : changes) {
        const auto result = ApplyChange(text, change);
        if (!result) return std::nullopt;
        changed = changed || *result;
    }
    return changed ? JoinLines(text) : content;
}

std::vector<std::pair<std::string, std::string>> ProfileSectionEntries(const std::string& content,
                                                                       const std::string& section) {
    const ProfileText text = SplitLines(content);
    std::vector<std::pair<std::string, std::string>> entries;
    const auto range = FirstSection(text, section);
    if (!range) return entries;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        const auto line = ParseKeyLine(text.lines[i]);
        if (!line) continue;
        const bool seen = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            return SameName(entry.first, line->key);
        });
        if (!seen) entries.emplace_back(line->key, StripQuotes(line->value));
    }
    return entries;
}

std::optional<std::string> ProfileSectionName(const std::string& line) {
    return SectionHeader(line);
}

bool SameProfileName(std::string_view a, std::string_view b) {
    return SameName(a, b);
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    auto text = Load(path_);
    if (!text) return defaultValue;
    auto range = FirstSection(*text, section);
    if (!range) return defaultValue;
    auto index = FindKey(*text, *range, key);
    if (!index) return defaultValue;
    return StripQuotes(ParseKeyLine(text->lines[*index])->value);
}

bool ProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
    return Apply({{ProfileChange::Kind::Write, section, key, value}});
}

bool ProfileFile::DeleteKey(const std::string& section, const std::string& key) {
    return Apply({{ProfileChange::Kind::DeleteKey, section, key, ""}});
}

bool ProfileFile::Apply(const std::vector<ProfileChange>& changes) {
    FolderLock lock(FolderLock::FolderOf(path_));
    auto text = Load(path_);
    if (!text) return false;
    bool changed = false;
    for (const auto& change : changes) {
        const auto result = ApplyChange(*text, change);
        if (!result) return false;
        changed = changed || *result;
    }
    return !changed || Store(path_, *text);
}

bool ProfileFile::EraseSection(const std::string& section) {
    FolderLock lock(FolderLock::FolderOf(path_));
    auto text = Load(path_);
    if (!text) return false;
    auto sections = FindSections(*text, section);
    if (sections.empty()) return true;
    // Erased from the last so that earlier ranges stay valid.
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        text->lines.erase(text->lines.begin() + long(it->header),
                          text->lines.begin() + long(it->end));
    }
    // The blank line that separated a section erased from the end goes with it.
    while (!text->lines.empty() && Trim(text->lines.back()).empty())
        text->lines.pop_back();
    return Store(path_, *text);
}

std::vector<std::string> ProfileFile::KeyNames(const std::string& section) const {
    std::vector<std::string> names;
    auto text = Load(path_);
    if (!text) return names;
    auto range = FirstSection(*text, section);
    if (!range) return names;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        auto line = ParseKeyLine(text->lines[i]);
        if (!line) continue;
        bool seen = false;
        for (const auto& name : names)
            seen = seen || SameName(name, line->key);
        if (!seen) names.push_back(line->key);
    }
    return names;
}

bool ProfileFile::SectionExists(const std::string& section) const {
    auto text = Load(path_);
    return text && FirstSection(*text, section).has_value();
}

std::optional<std::string> SystemFolder() {
    std::string base;
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    // Relative values of XDG_CONFIG_HOME are not valid and are ignored.
    if (config && config[0] == '/') {
        base = config;
    } else if (home && home[0] != '\0') {
        base = std::string(home) + "/.config";
    } else {
        return std::nullopt;
    }
    std::string folder = base + "/tovrin";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) return std::nullopt;
    return folder;
}

std::optional<std::string> WinIniPath() {
    auto folder = SystemFolder();
    if (!folder) return std::nullopt;
    return *folder + "/win.ini";
}

}  // namespace tovrin
