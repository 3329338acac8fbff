#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

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

std::string_view TrimView(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::optional<std::string_view> HeaderName(std::string_view line) {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
    const size_t close = trimmed.find(']');
    return TrimView(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

std::optional<std::string> SectionHeader(std::string_view line) {
    const auto name = HeaderName(line);
    if (!name) return std::nullopt;
    return std::string(*name);
}

// The key of a key line; a line without "=" is all key. Only the first "=" separates, so
// values may hold "=". Comments, blank lines and headers have none.
std::optional<std::string_view> KeyOfLine(std::string_view line) {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') return std::nullopt;
    const size_t equals = trimmed.find('=');
    if (equals == std::string::npos) return trimmed;
    const std::string_view key = TrimView(trimmed.substr(0, equals));
    if (key.empty()) return std::nullopt;
    return key;
}

// A key line inside a section, split into its key and value.
std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    const auto key = KeyOfLine(line);
    if (!key) return std::nullopt;
    const std::string_view trimmed = TrimView(line);
    const size_t equals = trimmed.find('=');
    if (equals == std::string::npos) return KeyLine{std::string(*key), ""};
    return KeyLine{std::string(*key), Trim(trimmed.substr(equals + 1))};
}

// A name in the form names are compared in, for sets and maps of names.
std::string NameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = LowerAscii(c);
    return key;
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
        const auto header = HeaderName(text.lines[i]);
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
        const auto name = KeyOfLine(text.lines[i]);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

ProfileText SplitLines(std::string_view content) {
    ProfileText text;
    size_t at = 0;
    while (at < content.size()) {
        const size_t newline = std::min(content.find('\n', at), content.size());
        std::string_view line = content.substr(at, newline - at);
        const bool hadCr = !line.empty() && line.back() == '\r';
        if (hadCr) line.remove_suffix(1);
        if (at == 0) text.crlf = hadCr;
        text.lines.emplace_back(line);
        at = newline + 1;
    }
    return text;
}

std::string JoinLines(const ProfileText& text) {
    const std::string_view end = text.crlf ? "\r\n" : "\n";
    size_t size = 0;
    for (const auto& line : text.lines)
        size += line.size() + end.size();
    std::string content;
    content.reserve(size);
    for (const auto& line : text.lines) {
        content += line;
        content += end;
    }
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
        text.lines[*index] = std::string(*KeyOfLine(text.lines[*index])) + "=" + value;
    } else {
        auto at = InsertionPoint(text, *range);
        text.lines.insert(text.lines.begin() + long(at), Trim(key) + "=" + value);
    }
    return true;
}

// True when a line went. One pass, however many lines go.
bool DeleteInText(ProfileText& text, const std::string& section, const std::string& key) {
    const auto range = FirstSection(text, section);
    if (!range) return false;
    const auto first = text.lines.begin() + long(range->header + 1);
    const auto last = text.lines.begin() + long(range->end);
    const auto kept = std::remove_if(first, last, [&](const std::string& line) {
        const auto name = KeyOfLine(line);
        return name && SameName(*name, key);
    });
    if (kept == last) return false;
    text.lines.erase(kept, last);
    return true;
}

// Every occurrence of the section goes, in one pass. True when one went.
bool EraseInText(ProfileText& text, const std::string& section) {
    const auto sections = FindSections(text, section);
    if (sections.empty()) return false;
    std::vector<std::string> kept;
    kept.reserve(text.lines.size());
    size_t next = 0;
    for (size_t i = 0; i < text.lines.size(); ++i) {
        if (next < sections.size() && i >= sections[next].header) {
            if (i < sections[next].end) continue;
            ++next;
            if (next < sections.size() && i >= sections[next].header) continue;
        }
        kept.push_back(std::move(text.lines[i]));
    }
    text.lines = std::move(kept);
    // The blank line that separated a section erased from the end goes with it.
    while (!text.lines.empty() && Trim(text.lines.back()).empty())
        text.lines.pop_back();
    return true;
}

// Whether the text changed; nullopt when the change is refused.
std::optional<bool> ApplyChange(ProfileText& text, const ProfileChange& change) {
    if (change.kind == ProfileChange::Kind::DeleteKey)
        return DeleteInText(text, change.section, change.key);
    if (change.kind == ProfileChange::Kind::EraseSection) return EraseInText(text, change.section);
    if (!WriteInText(text, change.section, change.key, change.value)) return std::nullopt;
    return true;
}

// Calls `visit` with each line of `content` (without its CR LF or LF), in one pass with
// nothing copied, until it returns false.
template <typename Visit>
void ForEachLine(std::string_view content, Visit visit) {
    size_t at = 0;
    while (at < content.size()) {
        const size_t newline = std::min(content.find('\n', at), content.size());
        std::string_view line = content.substr(at, newline - at);
        at = newline + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!visit(line)) return;
    }
}

// Calls `visit` with each line of the first occurrence of the section, until it returns
// false; one pass over the content, nothing copied. False when there is no such section.
template <typename Visit>
bool ScanSection(std::string_view content, std::string_view section, Visit visit) {
    bool inside = false;
    bool ended = false;
    ForEachLine(content, [&](std::string_view line) {
        if (const auto header = HeaderName(line)) {
            ended = inside;
            inside = !ended && SameName(*header, section);
        } else if (inside && !visit(line)) {
            ended = true;
        }
        return !ended;
    });
    return inside || ended;
}

// The keys of the section's first occurrence, each once, with their values.
std::vector<std::pair<std::string, std::string>> SectionEntries(std::string_view content,
                                                                std::string_view section) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::unordered_set<std::string> seen;
    ScanSection(content, section, [&](std::string_view line) {
        if (auto key = ParseKeyLine(line))
            if (seen.insert(NameKey(key->key)).second)
                entries.emplace_back(std::move(key->key), StripQuotes(key->value));
        return true;
    });
    return entries;
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
    return SectionEntries(content, section);
}

ProfileReader::ProfileReader(std::string_view content) {
    Section* current = nullptr;  // the first occurrence of the section being read, if it is one
    ForEachLine(content, [&](std::string_view line) {
        if (const auto header = HeaderName(line)) {
            const auto [entry, added] = sections_.try_emplace(NameKey(*header));
            current = added ? &entry->second : nullptr;
        } else if (const auto key = current ? ParseKeyLine(line) : std::nullopt) {
            if (current->index.try_emplace(NameKey(key->key), current->entries.size()).second)
                current->entries.emplace_back(key->key, StripQuotes(key->value));
        }
        return true;
    });
}

const ProfileReader::Section* ProfileReader::Find(const std::string& section) const {
    const auto found = sections_.find(NameKey(section));
    return found == sections_.end() ? nullptr : &found->second;
}

std::optional<std::string> ProfileReader::Value(const std::string& section,
                                                const std::string& key) const {
    const Section* found = Find(section);
    if (!found) return std::nullopt;
    const auto entry = found->index.find(NameKey(key));
    if (entry == found->index.end()) return std::nullopt;
    return found->entries[entry->second].second;
}

std::vector<std::pair<std::string, std::string>> ProfileReader::Entries(
    const std::string& section) const {
    const Section* found = Find(section);
    return found ? found->entries : std::vector<std::pair<std::string, std::string>>{};
}

bool ProfileReader::SectionExists(const std::string& section) const {
    return Find(section) != nullptr;
}

std::optional<std::string> ProfileSectionName(const std::string& line) {
    return SectionHeader(line);
}

bool SameProfileName(std::string_view a, std::string_view b) {
    return SameName(a, b);
}

std::optional<ProfileReader> ProfileFile::Read() const {
    const auto content = ReadFileContent(path_);
    if (!content) return std::nullopt;
    return ProfileReader(content->Bytes);
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    const auto content = ReadFileContent(path_);
    if (!content) return defaultValue;
    std::optional<std::string> value;
    ScanSection(content->Bytes, section, [&](std::string_view line) {
        const auto name = KeyOfLine(line);
        if (name && SameName(*name, key)) value = StripQuotes(ParseKeyLine(line)->value);
        return !value;
    });
    return value.value_or(defaultValue);
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
    RemoveStaleTemporaries(path_);
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
    return Apply({{ProfileChange::Kind::EraseSection, section, "", ""}});
}

std::vector<std::string> ProfileFile::KeyNames(const std::string& section) const {
    std::vector<std::string> names;
    if (const auto content = ReadFileContent(path_))
        for (auto& entry : SectionEntries(content->Bytes, section))
            names.push_back(std::move(entry.first));
    return names;
}

bool ProfileFile::SectionExists(const std::string& section) const {
    const auto content = ReadFileContent(path_);
    return content && ScanSection(content->Bytes, section, [](std::string_view) { return false; });
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
