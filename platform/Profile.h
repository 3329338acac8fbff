#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tovrin {

// One change of a profile, for several made as one edit.
struct ProfileChange {
    // EraseSection takes every occurrence of the section, and the blank lines it leaves at
    // the file's end; its key and value are unused.
    enum class Kind { Write, DeleteKey, EraseSection };
    Kind kind = Kind::Write;
    std::string section;
    std::string key;
    std::string value;
};

// A profile's content parsed once for many look-ups, with the semantics of ProfileFile: the
// first occurrence of a section and of a key in it counts. Built in one pass; each look-up
// is a hash look-up, so reading every key of a large file costs time in proportion to it.
class ProfileReader {
  public:
    explicit ProfileReader(std::string_view content);
    // The value with one pair of matching quotes stripped; nullopt when the key is missing.
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    // The keys of the section, each once, in the file's order, with their values.
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;
    bool SectionExists(const std::string& section) const;

  private:
    struct Section {
        std::vector<std::pair<std::string, std::string>> entries;
        std::unordered_map<std::string, size_t> index;  // lower-case key → entry
    };
    const Section* Find(const std::string& section) const;

    std::unordered_map<std::string, Section> sections_;  // by lower-case name
};

// An INI file with the semantics programs expect of the Windows profile functions: section
// and key names compare without regard to letter case, one pair of matching quotes around a
// value is stripped on read, blanks around names and values are trimmed, the file's order is
// kept, CR LF and LF lines are read. Every change rewrites the file atomically (temporary file
// and rename), so a crash never leaves half a file, and other sections and keys are kept;
// changes from several threads or processes are made one after another.
// The file is read afresh by every call, so changes by other processes are seen.
class ProfileFile {
  public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue = "") const;
    // False, and the file unchanged, when it cannot be read or replaced, or when the text
    // would change the file's structure: a line break anywhere, "=" in the key, "]" in the
    // section name, an empty name.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);
    // The changes made in order as one replacement of the file: all of them or none.
    bool Apply(const std::vector<ProfileChange>& changes);
    bool EraseSection(const std::string& section);
    std::vector<std::string> KeyNames(const std::string& section) const;
    bool SectionExists(const std::string& section) const;
    // The file read once for many look-ups; nullopt when it cannot be read.
    std::optional<ProfileReader> Read() const;

  private:
    std::string path_;
};

// The same edits and reads on a file's content in memory. ApplyProfileChanges gives nullopt
// when a change is refused, and the content unchanged when no change alters it.
std::optional<std::string> ApplyProfileChanges(const std::string& content,
                                               const std::vector<ProfileChange>& changes);
// The keys of the section's first occurrence, each once, with the values ReadString gives.
std::vector<std::pair<std::string, std::string>> ProfileSectionEntries(const std::string& content,
                                                                       const std::string& section);
// The name of the section a line opens; nullopt for any other line.
std::optional<std::string> ProfileSectionName(const std::string& line);
// Section and key names compare without regard to letter case.
bool SameProfileName(std::string_view a, std::string_view b);

// The stand-in for the Windows folder: $XDG_CONFIG_HOME/tovrin (default ~/.config/tovrin),
// created when missing, without a trailing separator; nullopt when neither variable is set.
std::optional<std::string> SystemFolder();
// SystemFolder() + "/win.ini".
std::optional<std::string> WinIniPath();
constexpr const char* kNoSystemFolderMessage = "Can not define \\WINDOWS directory.";

}  // namespace tovrin
