#include "player/SpeechFolders.h"

#include "engine/AnyCaseName.h"
#include "platform/Profile.h"
#include "text/DictionaryLines.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

namespace tovrin {
namespace {

const char kWavePathIni[] = "wavepath.ini";

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// The folder part of a path, with its "/"; "./" for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UpperLatin(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool IsDictionaryFile(const std::string& path) {
    const std::string name = FileNameOf(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string extension = UpperLatin(name.substr(dot));
    return extension == ".DIC" || extension == ".RCH";
}

// The sound folder chosen by the dictionary's name: "S1..." lies beside it in SLOVAR1 and so on.
std::string BuiltInSpeechFolder(const std::string& dictionaryFile) {
    static const std::array<std::pair<const char*, const char*>, 4> kFolders{{
        {"S1", "SLOVAR1"},
        {"S2", "SLOVAR2"},
        {"S3", "SLOVAR3"},
        {"R1", "RECH"},
    }};
    const std::string prefix = UpperLatin(FileNameOf(dictionaryFile).substr(0, 2));
    for (const auto& [start, folder] : kFolders) {
        if (prefix != start) continue;
        const std::string found = FindNameAnyCase(FolderOf(dictionaryFile), folder);
        return IsFolder(found) ? WithSlash(found) : std::string();
    }
    return {};
}

std::string WavePathBeside(const std::string& folder, const std::string& dictionaryFile) {
    const std::string ini = WithSlash(folder) + kWavePathIni;
    return IsFile(ini) ? ReadWavePath(ini, dictionaryFile) : std::string();
}

// A sound file name that names a file of the speech folder itself: no folder separator of
// either system, and neither "." nor "..". Any other could reach files outside the folder.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

}  // namespace

std::string ReadWavePath(const std::string& iniFile, const std::string& dictionaryFile) {
    const ProfileFile ini(iniFile);
    const std::string section = FileNameOf(dictionaryFile);
    if (ini.KeyNames(section).empty()) return {};
    std::string value = ini.ReadString(section, "PATH");
    if (value.empty()) return {};
    // Paths written for the original system use "\" between folders.
    std::replace(value.begin(), value.end(), '\\', '/');
    if (value.front() != '/') value = FolderOf(dictionaryFile) + value;
    value = WithSlash(std::move(value));
    return IsFolder(value) ? value : std::string();
}

std::string FindSpeechFolder(const std::string& dictionaryName, const std::string& programFolder) {
    if (!IsDictionaryFile(dictionaryName)) return {};
    // The worker opens the sound files from wherever the program runs: the folder is absolute.
    std::error_code error;
    std::string dictionaryFile = std::filesystem::absolute(dictionaryName, error).string();
    if (error) dictionaryFile = dictionaryName;
    std::string folder;
    if (!programFolder.empty()) folder = WavePathBeside(programFolder, dictionaryFile);
    if (folder.empty()) folder = WavePathBeside(FolderOf(dictionaryFile), dictionaryFile);
    if (folder.empty()) folder = BuiltInSpeechFolder(dictionaryFile);
    return IsFolder(folder) ? folder : std::string();
}

std::optional<std::string> MakeDictionaryRequest(const std::string& portion,
                                                 const std::string& dictScript,
                                                 const std::string& speechPath) {
    DictionaryLine line;
    if (!ParseDictionaryLine(UpperLatin(portion), line)) return std::nullopt;
    const std::array<std::string, 8> lines{
        "{TALKSERVCMD}", "{IntelDictionary}", dictScript, line.First, line.Second,
        // A name that would leave the folder names no file.
        IsPlainFileName(line.Third) ? speechPath + line.Third : std::string(),
        std::to_string(line.Number1), std::to_string(line.Number2)};
    std::string request;
    for (const std::string& text : lines)
        request += text + "\r\n";
    return request;
}

bool HoldsDictionaryEntry(std::string_view text) {
    DictionaryLine line;
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of("\r\n"), text.size());
        if (ParseDictionaryLine(text.substr(0, end), line)) return true;
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return false;
}

}  // namespace tovrin
