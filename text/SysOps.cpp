#include "text/SysOps.h"

#include "platform/Power.h"
#include "platform/WaveDevice.h"
#include "text/TextError.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

namespace tovrin {

namespace {

struct CommandLine {
    std::string program;
    std::vector<std::string> args;
};

std::vector<std::string> SplitAtBlanks(std::string_view text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        size_t blank = text.find(' ', at);
        if (blank == text.npos) blank = text.size();
        if (blank > at) words.emplace_back(text.substr(at, blank - at));
        at = blank + 1;
    }
    return words;
}

CommandLine ParseCommandLine(const std::string& line) {
    CommandLine parsed;
    size_t rest = line.size();
    size_t closing = line.empty() || line[0] != '"' ? line.npos : line.find('"', 1);
    if (closing != line.npos) {
        parsed.program = line.substr(1, closing - 1);
        rest = closing + 1;
    } else {
        size_t blank = line.find(' ');
        parsed.program = line.substr(0, blank);
        rest = blank == line.npos ? line.size() : blank + 1;
    }
    parsed.args = SplitAtBlanks(std::string_view(line).substr(rest));
    return parsed;
}

// Why an existing path cannot be started as a program file: the error stat reports, or
// EACCES for something that is not a regular file.
int MissingProgramError(const std::string& program) {
    struct stat info;
    if (stat(program.c_str(), &info) != 0) return errno;
    return EACCES;
}

[[noreturn]] void RaiseProcessError(int error) {
    throw ProcessError("Create process error: " + std::to_string(error));
}

}  // namespace

bool LaunchProcess(const std::string& commandLine, int /*showCommand*/, ProcessInfo& info) {
    CommandLine parsed = ParseCommandLine(commandLine);
    if (parsed.program.empty() || !FileExists(parsed.program)) {
        RaiseProcessError(parsed.program.empty() ? ENOENT : MissingProgramError(parsed.program));
    }
    // The child enters the program's folder itself, so this process's current directory (shared
    // by all its threads) stays as it is.
    std::filesystem::path folder = std::filesystem::path(parsed.program).parent_path();
    std::string workingFolder = folder.empty() ? GetCurrentDir() : folder.string();
    int error = StartHiddenProcess(parsed.program, parsed.args, workingFolder, info);
    if (error != 0) RaiseProcessError(error);
    return true;
}

std::string GetWindowCaption(WindowHandle window) {
    return desktop::GetWindowText(window).value_or(std::string());
}

bool PowerOffComputer() {
    PowerControl* control = InstalledPowerControl();
    return control && control->PowerOff();
}

bool HibernateComputer() {
    PowerControl* control = InstalledPowerControl();
    return control && control->Hibernate();
}

uint16_t GetWaveVolume() {
    uint32_t volume = 0;
    if (!GetWaveOutVolume(volume)) return kWaveVolumeUnknown;
    return uint16_t(volume & 0xFFFF);
}

}  // namespace tovrin
