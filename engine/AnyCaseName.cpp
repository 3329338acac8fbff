#include "engine/AnyCaseName.h"

#include "text/CodePages.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace tovrin {
namespace {

// Upper case in Windows-1251: Latin a-z, Russian а-я and ё.
std::string UpperWindows1251(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || byte >= 0xE0)
            c = static_cast<char>(byte - 0x20);
        else if (byte == 0xB8)
            c = static_cast<char>(0xA8);
    }
    return text;
}

std::string Joined(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool SameAnyCase(const std::string& onDisk, const std::string& wantedUpper) {
    if (UpperWindows1251(onDisk) == wantedUpper) return true;
    return IsValidUtf8(onDisk) && UpperWindows1251(Utf8ToWindows1251(onDisk)) == wantedUpper;
}

}  // namespace

std::string FindNameAnyCase(const std::string& folder, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    std::error_code error;
    const std::string exact = Joined(folder, name);
    if (std::filesystem::exists(exact, error)) return exact;

    std::vector<std::string> matches;
    const std::string wanted = UpperWindows1251(name);
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end;
         !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (SameAnyCase(entry, wanted)) matches.push_back(entry);
    }
    if (matches.empty()) return {};
    return Joined(folder, *std::min_element(matches.begin(), matches.end()));
}

std::string FindPathAnyCase(const std::string& path) {
    std::error_code error;
    if (path.empty()) return {};
    if (std::filesystem::exists(path, error)) return path;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return FindNameAnyCase({}, path);
    return FindNameAnyCase(path.substr(0, slash + 1), path.substr(slash + 1));
}

}  // namespace tovrin
