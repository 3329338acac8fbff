#pragma once

#include <string>
#include <vector>

namespace tovrin {

constexpr const char* kProgramName = "tovrin";

// True unless the executable's file name is exactly "tovrin".
bool IsWrongName(const std::string& executablePath);
// The two-line refusal shown to a renamed program (UTF-8).
std::string WrongNameMessage();

// The first command-line argument when a regular file of that name exists, made absolute so that a
// running copy in another folder finds it; otherwise empty. Further arguments are ignored.
std::string GetStartFile(const std::vector<std::string>& arguments);

// The existing file a requested name stands for: the name's bytes as they are, else the
// name read as Windows-1251 (as programs of that code page send it); empty when neither
// names an existing regular file (a folder, a pipe or a device is none).
std::string ExistingFileFor(const std::string& requestedName);

}  // namespace tovrin
