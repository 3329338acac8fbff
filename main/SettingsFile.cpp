#include "main/SettingsFile.h"

#include "engine/WholeNumber.h"
#include "platform/Profile.h"

#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace tovrin {

namespace {

constexpr const char* kSection = "TFrmTalk";
constexpr const char* kPresetSection = "TFrmTalk.TestRes_Items";

std::string Trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string FourNumbers(int a, int b, int c, int d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d", a, b, c, d);
    return buffer;
}

std::string ScreenSuffix(int width, int height) {
    return "(" + std::to_string(width) + "x" + std::to_string(height) + ")";
}

std::optional<bool> ParseBoolean(const std::string& text) {
    if (strcasecmp(text.c_str(), "True") == 0) return true;
    if (strcasecmp(text.c_str(), "False") == 0) return false;
    return std::nullopt;
}

// A copy of the settings file to change and then rename over it in one step.
std::optional<std::string> WorkingCopy(const std::string& path) {
    std::string pattern = path + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return std::nullopt;
    close(fd);
    std::error_code error;
    if (std::filesystem::exists(path, error))
        std::filesystem::copy_file(path, pattern, std::filesystem::copy_options::overwrite_existing,
                                   error);
    if (error && error != std::errc::no_such_file_or_directory) {
        std::filesystem::remove(pattern, error);
        return std::nullopt;
    }
    return pattern;
}

bool WriteAll(ProfileFile& file, const WindowPlacement& placement, const StoredControls& controls) {
    const std::string suffix = ScreenSuffix(placement.ScreenWidth, placement.ScreenHeight);
    const std::string minMax = FourNumbers(-1, -1, -1, -1);
    const std::string norm =
        FourNumbers(placement.Left, placement.Top, placement.Right, placement.Bottom);
    bool ok =
        file.WriteString(kSection, "FormVersion", "0") &&
        file.WriteString(kSection, "Flags", "0") &&
        file.WriteString(kSection, "ShowCmd", std::to_string(placement.ShowCmd)) &&
        file.WriteString(kSection, "PixelsPerInch", std::to_string(placement.PixelsPerInch)) &&
        file.WriteString(kSection, "MinMaxPos", minMax) &&
        file.WriteString(kSection, "MinMaxPos" + suffix, minMax) &&
        file.WriteString(kSection, "NormPos", norm) &&
        file.WriteString(kSection, "NormPos" + suffix, norm) &&
        file.WriteString(kSection, "Visible", placement.Visible ? "1" : "0");
    ok = ok && file.EraseSection(kPresetSection);
    if (ok && !controls.TestResItems.empty()) {
        ok =
            file.WriteString(kPresetSection, "Count", std::to_string(controls.TestResItems.size()));
        for (size_t i = 0; ok && i < controls.TestResItems.size(); ++i)
            ok = file.WriteString(kPresetSection, "Item" + std::to_string(i),
                                  StoredText(controls.TestResItems[i]));
    }
    return ok && file.WriteString(kSection, "BlockItem_Text", StoredText(controls.BlockItemText)) &&
           file.WriteString(kSection, "BtnRun_Down", controls.BtnRunDown ? "True" : "False") &&
           file.WriteString(kSection, "FormVisible_Checked",
                            controls.FormVisibleChecked ? "True" : "False");
}

std::optional<std::string> ReadKey(const ProfileFile& file, const std::string& section,
                                   const std::string& key) {
    // A sentinel no stored text can hold tells a missing key from an empty one.
    static const std::string missing("\n");
    std::string value = file.ReadString(section, key, missing);
    if (value == missing) return std::nullopt;
    return Trimmed(value);
}

// "left,top,right,bottom" from the key for this screen size, else from the plain key.
std::optional<WindowPosition> ReadPosition(const ProfileFile& file, const ScreenInfo& screen) {
    auto text = ReadKey(file, kSection, "NormPos" + ScreenSuffix(screen.Width, screen.Height));
    if (!text || text->empty()) text = ReadKey(file, kSection, "NormPos");
    if (!text || text->empty()) return std::nullopt;
    WindowPosition position;
    int right = 0, bottom = 0;
    if (std::sscanf(text->c_str(), "%d,%d,%d,%d", &position.Left, &position.Top, &right, &bottom) !=
        4)
        return std::nullopt;
    return position;
}

void ReadControls(const ProfileFile& file, StoredControls& controls) {
    if (auto count = ParseWholeNumber(ReadKey(file, kPresetSection, "Count").value_or(""));
        count && *count > 0) {
        controls.TestResItems.clear();
        for (int32_t i = 0; i < *count; ++i)
            controls.TestResItems.push_back(
                ReadKey(file, kPresetSection, "Item" + std::to_string(i)).value_or(""));
    }
    if (auto text = ReadKey(file, kSection, "BlockItem_Text")) controls.BlockItemText = *text;
    if (auto down = ParseBoolean(ReadKey(file, kSection, "BtnRun_Down").value_or("")))
        controls.BtnRunDown = *down;
    if (auto checked = ParseBoolean(ReadKey(file, kSection, "FormVisible_Checked").value_or("")))
        controls.FormVisibleChecked = *checked;
}

bool InOwnGroups(gid_t group) {
    if (group == getegid()) return true;
    std::vector<gid_t> groups(static_cast<size_t>(std::max(getgroups(0, nullptr), 0)));
    const int count = getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<size_t>(std::max(count, 0)));
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// Whether the permission bits that apply to this user allow writing into the folder.
bool ModeAllowsWriting(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return false;
    if (info.st_uid == geteuid()) return (info.st_mode & S_IWUSR) != 0;
    if (InOwnGroups(info.st_gid)) return (info.st_mode & S_IWGRP) != 0;
    return (info.st_mode & S_IWOTH) != 0;
}

// The superuser passes every access check, yet must not write where the permission bits
// forbid it (an installed program's folder marked read-only, another user's folder): it is
// held to them like any other user.
bool FolderWritable(const std::string& folder) {
    if (folder.empty() || access(folder.c_str(), W_OK) != 0) return false;
    return geteuid() != 0 || ModeAllowsWriting(folder);
}

}  // namespace

std::optional<std::string> SettingsFilePath(const std::string& executablePath) {
    const std::string folder = std::filesystem::path(executablePath).parent_path().string();
    if (FolderWritable(folder)) return executablePath + ".ini";
    if (auto system = SystemFolder()) return *system + "/tovrin.ini";
    return std::nullopt;
}

std::string StoredText(const std::string& text) {
    const std::string trimmed = Trimmed(text);
    const bool quoted = trimmed.size() >= 2 &&
                        (trimmed.front() == '"' || trimmed.front() == '\'') &&
                        trimmed.back() == trimmed.front();
    return quoted ? "\"" + trimmed + "\"" : trimmed;
}

bool SaveSettingsFile(const std::string& path, const WindowPlacement& placement,
                      const StoredControls& controls) {
    const auto copy = WorkingCopy(path);
    if (!copy) return false;
    ProfileFile file(*copy);
    const bool written =
        WriteAll(file, placement, controls) && std::rename(copy->c_str(), path.c_str()) == 0;
    if (!written) std::remove(copy->c_str());
    return written;
}

std::optional<WindowPosition> LoadSettingsFile(const std::string& path, const ScreenInfo& screen,
                                               StoredControls& controls) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return std::nullopt;
    const ProfileFile file(path);
    const auto version = ParseWholeNumber(ReadKey(file, kSection, "FormVersion").value_or("0"));
    if (version.value_or(0) < 0) return std::nullopt;

    std::optional<WindowPosition> position = ReadPosition(file, screen);
    const auto density = ParseWholeNumber(ReadKey(file, kSection, "PixelsPerInch").value_or(""));
    if (density.value_or(screen.PixelsPerInch) != screen.PixelsPerInch) position.reset();
    ReadControls(file, controls);
    return position;
}

}  // namespace tovrin
