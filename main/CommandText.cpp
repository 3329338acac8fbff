#include "main/CommandText.h"

#include "engine/DictThread.h"

namespace tovrin {

std::vector<std::string> SplitCommandLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

std::optional<std::string> SpeakFileRequest(std::string_view macro) {
    const auto lines = SplitCommandLines(macro);
    if (lines.size() < 3 || lines[0] != kCommandMark || lines[1] != kSpeakFileCommand)
        return std::nullopt;
    return lines[2];
}

std::string SpeakFileMacro(const std::string& fileName) {
    return std::string(kCommandMark) + "\r\n" + kSpeakFileCommand + "\r\n" + fileName + "\r\n";
}

SpeakRoute RouteSpeakRequest(std::string_view text) {
    const std::string head = std::string(kCommandMark) + "\r\n";
    if (text.substr(0, head.size()) != head) return {};
    auto lines = SplitCommandLines(text);
    if (lines.size() < 2 || lines[1] != kDictionaryCommand) return {};
    // An entry may leave its last fields blank; splitting drops empty last lines, so they
    // are put back.
    if (lines.size() < kDictionaryRequestLines) lines.resize(kDictionaryRequestLines);
    return {true, std::move(lines)};
}

std::string DdeServiceName(std::string_view executablePath) {
    const size_t slash = executablePath.rfind('/');
    std::string_view name =
        slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    return std::string(name.substr(0, name.find('.')));
}

}  // namespace tovrin
