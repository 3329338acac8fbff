#include "main/StartFile.h"

#include "text/CodePages.h"

#include <filesystem>
#include <system_error>

namespace tovrin {

namespace {

// Only a regular file (or a link to one) can be read as a document: a folder, a pipe or a
// device given by name counts as no file at all.
bool IsExistingFile(const std::string& name) {
    std::error_code error;
    return !name.empty() && std::filesystem::is_regular_file(name, error);
}

}  // namespace

bool IsWrongName(const std::string& executablePath) {
    return std::filesystem::path(executablePath).filename() != kProgramName;
}

std::string WrongNameMessage() {
    return std::string("Программа была переименована!\r\nЕё правильное имя - ") + kProgramName +
           "\r\n";
}

std::string GetStartFile(const std::vector<std::string>& arguments) {
    if (arguments.empty() || !IsExistingFile(arguments.front())) return {};
    std::error_code error;
    const auto absolute = std::filesystem::absolute(arguments.front(), error);
    return error ? arguments.front() : absolute.string();
}

std::string ExistingFileFor(const std::string& requestedName) {
    if (IsExistingFile(requestedName)) return requestedName;
    const std::string decoded = Windows1251ToUtf8(requestedName);
    if (decoded != requestedName && IsExistingFile(decoded)) return decoded;
    return {};
}

}  // namespace tovrin
