#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {

constexpr const char* kCommandMark = "{TALKSERVCMD}";
constexpr const char* kSpeakFileCommand = "{SpeakFile}";
constexpr const char* kDictionaryCommand = "{IntelDictionary}";
constexpr const char* kDdeTopic = "TovrinProcess";

// Splits a command text into lines at CR LF, a lone CR and a lone LF; a zero byte ends it.
std::vector<std::string> SplitCommandLines(std::string_view text);

// The file a "{SpeakFile}" macro names (its third line, unchanged), or nothing when the
// macro is any other command.
std::optional<std::string> SpeakFileRequest(std::string_view macro);

// The macro a second copy sends to hand a file to the running copy.
std::string SpeakFileMacro(const std::string& fileName);

// How a window's text request goes to the controller: a dictionary entry (the whole line
// list) or a text to speak as it stands.
struct SpeakRoute {
    bool Dictionary = false;
    std::vector<std::string> Lines;  // the dictionary request's lines, when Dictionary
};
SpeakRoute RouteSpeakRequest(std::string_view text);

// The service name of a program: its file name without folder, up to the first ".".
std::string DdeServiceName(std::string_view executablePath);

}  // namespace tovrin
