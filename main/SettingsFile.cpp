#include "main/SettingsFile.h"

#include "engine/WholeNumber.h"
#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"
#include "platform/Profile.h"

#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

namespace tovrin {

namespace {

constexpr const char* kSection = "TFrmTalk";
constexpr const char* kPresetSection = "TFrmTalk.TestRes_Items";

constexpr const char* kStyleNames[] = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
constexpr const char* kPitchNames[] = {"fpDefault", "fpVariable", "fpFixed"};

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

const char* FormatBoolean(bool value) {
    return value ? "True" : "False";
}

std::optional<bool> ParseBoolean(const std::string& text) {
    if (strcasecmp(text.c_str(), "True") == 0) return true;
    if (strcasecmp(text.c_str(), "False") == 0) return false;
    return std::nullopt;
}

// The keys of one section in the order they are written.
class KeyList {
  public:
    void Add(const std::string& key, const std::string& value) { keys_.emplace_back(key, value); }
    void Text(const std::string& key, const std::string& value) { Add(key, StoredText(value)); }
    void Flag(const std::string& key, bool value) { Add(key, FormatBoolean(value)); }
    void Number(const std::string& key, int64_t value) { Add(key, std::to_string(value)); }
    void Index(const std::string& key, int32_t value, int32_t) { Number(key, value); }
    void TimeOfDay(const std::string& key, double days) { Add(key, FormatDateTime(days)); }
    void Font(const std::string& control, const FontRecord& font) {
        const std::string key = control + "_Font";
        Number(key + "Charset", font.Charset);
        Number(key + "Color", font.Color);
        Number(key + "Height", font.Height);
        Text(key + "Name", font.Name);
        Add(key + "Pitch", font.Pitch);
        Number(key + "Size", font.Size);
        Add(key + "Style", FormatFontStyle(font.Style));
    }
    const std::vector<std::pair<std::string, std::string>>& Keys() const { return keys_; }

  private:
    std::vector<std::pair<std::string, std::string>> keys_;
};

KeyList PlacementKeys(const WindowPlacement& placement) {
    KeyList list;
    const std::string suffix = ScreenSuffix(placement.ScreenWidth, placement.ScreenHeight);
    const std::string minMax = FourNumbers(-1, -1, -1, -1);
    const std::string norm =
        FourNumbers(placement.Left, placement.Top, placement.Right, placement.Bottom);
    list.Add("FormVersion", "0");
    list.Add("Flags", "0");
    list.Number("ShowCmd", placement.ShowCmd);
    list.Number("PixelsPerInch", placement.PixelsPerInch);
    list.Add("MinMaxPos", minMax);
    list.Add("MinMaxPos" + suffix, minMax);
    list.Add("NormPos", norm);
    list.Add("NormPos" + suffix, norm);
    list.Add("Visible", placement.Visible ? "1" : "0");
    return list;
}

// The stored properties in the order of the stored list, TestRes.Items excepted. Writing and
// reading both walk this one list, so a key is always read under the name it was written.
template <typename Visitor, typename Controls>
void VisitProperties(Visitor&& v, Controls& c) {
    v.TimeOfDay("LogOff_Time", c.LogOffTime);
    v.Index("RGLogOff_ItemIndex", c.RGLogOffIndex, 3);
    v.Flag("LogOff_Checked", c.LogOffChecked);
    v.TimeOfDay("LogOn_Time", c.LogOnTime);
    v.Index("RGLogOn_ItemIndex", c.RGLogOnIndex, 3);
    v.Flag("LogOn_Checked", c.LogOnChecked);
    v.Text("StartUpProcess_Text", c.StartUpProcess);
    v.Text("StartUpEdit_Text", c.StartUpEdit);
    v.Text("TestEdit_Text", c.TestEdit);
    v.Number("PnlPlayerSetup_Color", c.Look.WindowColor);
    v.Font("PnlPlayerSetup", c.Look.WindowFont);
    v.Number("EditorSetup_Color", c.Look.EditorColor);
    // The text colour of the player's editor is kept from one run to the next as well.
    v.Number("EditorSetup_FontColor", c.Look.EditorFont.Color);
    v.Font("StyleWin", c.Look.StyleWin);
    v.Font("StyleDos", c.Look.StyleDos);
    v.Index("ReadingType_ItemIndex", c.ReadingType, 3);
    v.Flag("AutoCalc_Checked", c.AutoCalc);
    v.Text("AbzBeg_Text", c.AbzBeg);
    v.Flag("AbzBegP_Checked", c.AbzBegP);
    v.Text("AbzBegPause_Text", c.AbzBegPause);
    v.Text("AbzEnd_Text", c.AbzEnd);
    v.Flag("AbzEndP_Checked", c.AbzEndP);
    v.Text("AbzEndPause_Text", c.AbzEndPause);
    v.Text("BlockMsg_Text", c.BlockMsg);
    v.Text("BlockItem_Text", c.BlockItemText);
    v.Text("DictScript_Text", c.DictScript);
    v.Flag("DictRep_Checked", c.DictRep);
    v.Flag("DictOver_Checked", c.DictOver);
    v.Flag("BtnRun_Down", c.BtnRunDown);
    v.Flag("FormVisible_Checked", c.FormVisibleChecked);
}

KeyList PropertyKeys(const StoredControls& controls) {
    KeyList list;
    VisitProperties(list, controls);
    return list;
}

// Every change made to the file's content in memory, so that the file itself is replaced
// once, with everything, or not at all. nullopt when the file cannot be read.
std::optional<std::string> NewContent(const std::string& path, const WindowPlacement& placement,
                                      const StoredControls& controls) {
    const auto file = ReadFileContent(path);
    if (!file) return std::nullopt;
    std::vector<ProfileChange> changes;
    auto write = [&](const std::string& section, const std::string& key, const std::string& value) {
        changes.push_back({ProfileChange::Kind::Write, section, key, value});
    };
    const KeyList placementKeys = PlacementKeys(placement);
    for (const auto& [key, value] : placementKeys.Keys())
        write(kSection, key, value);
    const KeyList properties = PropertyKeys(controls);
    const auto& keys = properties.Keys();
    // TestRes.Items stands ninth in the stored list, after StartUpEdit.Text.
    size_t i = 0;
    for (; i < keys.size() && keys[i].first != "TestEdit_Text"; ++i)
        write(kSection, keys[i].first, keys[i].second);
    changes.push_back({ProfileChange::Kind::EraseSection, kPresetSection, "", ""});
    if (!controls.TestResItems.empty()) {
        write(kPresetSection, "Count", std::to_string(controls.TestResItems.size()));
        for (size_t line = 0; line < controls.TestResItems.size(); ++line)
            write(kPresetSection, "Item" + std::to_string(line),
                  StoredText(controls.TestResItems[line]));
    }
    for (; i < keys.size(); ++i)
        write(kSection, keys[i].first, keys[i].second);
    return ApplyProfileChanges(file->Bytes, changes);
}

std::optional<std::string> ReadKey(const ProfileReader& file, const std::string& section,
                                   const std::string& key) {
    const auto value = file.Value(section, key);
    if (!value) return std::nullopt;
    return Trimmed(*value);
}

// "left,top,right,bottom" from the key for this screen size, else from the plain key.
std::optional<WindowPosition> ReadPosition(const ProfileReader& file, const ScreenInfo& screen) {
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

// Reads the keys of the main section, each into its control when its value has the right
// form.
class KeyReader {
  public:
    explicit KeyReader(const ProfileReader& file) : file_(file) {}

    std::optional<std::string> Value(const std::string& key) const {
        return ReadKey(file_, kSection, key);
    }
    void Text(const std::string& key, std::string& target) const {
        if (auto value = Value(key)) target = *value;
    }
    void Flag(const std::string& key, bool& target) const {
        if (auto value = ParseBoolean(Value(key).value_or(""))) target = *value;
    }
    void Number(const std::string& key, int32_t& target) const {
        if (auto value = ParseWholeNumber(Value(key).value_or(""))) target = *value;
    }
    // An item index outside its group is a damaged value: skipped, never clamped.
    void Index(const std::string& key, int32_t& target, int32_t count) const {
        auto value = ParseWholeNumber(Value(key).value_or(""));
        if (value && *value >= -1 && *value < count) target = *value;
    }
    void TimeOfDay(const std::string& key, double& target) const {
        if (auto value = ParseDateTime(Value(key).value_or(""))) target = *value;
    }
    void Font(const std::string& control, FontRecord& font) const {
        const std::string key = control + "_Font";
        Number(key + "Charset", font.Charset);
        Number(key + "Color", font.Color);
        Number(key + "Height", font.Height);
        Text(key + "Name", font.Name);
        if (auto pitch = Value(key + "Pitch"))
            for (const char* name : kPitchNames)
                if (strcasecmp(pitch->c_str(), name) == 0) font.Pitch = name;
        Number(key + "Size", font.Size);
        if (auto style = ParseFontStyle(Value(key + "Style").value_or(""))) font.Style = *style;
    }

  private:
    const ProfileReader& file_;
};

void ReadPresets(const ProfileReader& file, StoredControls& controls) {
    const auto count = ParseWholeNumber(ReadKey(file, kPresetSection, "Count").value_or(""));
    if (!count || *count <= 0) return;
    controls.TestResItems.clear();
    for (int32_t i = 0; i < std::min(*count, kMaxStoredListLines); ++i)
        controls.TestResItems.push_back(
            ReadKey(file, kPresetSection, "Item" + std::to_string(i)).value_or(""));
}

void ReadControls(const ProfileReader& file, StoredControls& controls) {
    VisitProperties(KeyReader(file), controls);
    ReadPresets(file, controls);
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

std::string FormatDateTime(double days) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, days, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

std::optional<double> ParseDateTime(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string FormatFontStyle(int32_t style) {
    std::string text = "[";
    for (int bit = 0; bit < 4; ++bit) {
        if (!(style & (1 << bit))) continue;
        if (text.size() > 1) text += ",";
        text += kStyleNames[bit];
    }
    return text + "]";
}

std::optional<int32_t> ParseFontStyle(const std::string& text) {
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::nullopt;
    int32_t style = 0;
    std::istringstream members(text.substr(1, text.size() - 2));
    std::string member;
    while (std::getline(members, member, ',')) {
        member = Trimmed(member);
        if (member.empty()) continue;
        int bit = 0;
        while (bit < 4 && strcasecmp(member.c_str(), kStyleNames[bit]) != 0)
            ++bit;
        if (bit == 4) return std::nullopt;
        style |= 1 << bit;
    }
    return style;
}

std::optional<std::string> SettingsFilePath(const std::string& executablePath) {
    const std::string folder = std::filesystem::path(executablePath).parent_path().string();
    if (FolderWritable(folder)) return executablePath + ".ini";
    if (auto system = SystemFolder()) return *system + "/tovrin.ini";
    return std::nullopt;
}

std::string StoredText(const std::string& text) {
    std::string flat = text;
    for (char& c : flat)
        if (c == '\r' || c == '\n') c = ' ';
    const std::string trimmed = Trimmed(flat);
    const bool quoted = trimmed.size() >= 2 &&
                        (trimmed.front() == '"' || trimmed.front() == '\'') &&
                        trimmed.back() == trimmed.front();
    return quoted ? "\"" + trimmed + "\"" : trimmed;
}

bool SettingsFileReadOnly(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return false;
    // The write bits count even for a user the system would let write anyway.
    return access(path.c_str(), W_OK) != 0 || (status.st_mode & 0222) == 0;
}

bool SaveSettingsFile(const std::string& path, const WindowPlacement& placement,
                      const StoredControls& controls, const SettingsWriter& writer) {
    // Writers of files in the folder take its lock, under which leftovers are cleared.
    FolderLock lock(FolderLock::FolderOf(path));
    RemoveStaleTemporaries(path);
    const auto content = NewContent(path, placement, controls);
    if (!content) return false;
    return writer ? writer(path, *content) : WriteFileAtomically(path, *content);
}

std::optional<WindowPosition> LoadSettingsFile(const std::string& path, const ScreenInfo& screen,
                                               StoredControls& controls) {
    const FileRead content = ReadRegularFile(path, kMaxSettingsFileBytes);
    if (content.Status == FileReadStatus::Missing) return std::nullopt;
    if (content.Status != FileReadStatus::Read) {
        std::fprintf(stderr, "tovrin: the settings file %s is not read: %s\n", path.c_str(),
                     FileReadProblem(content, kMaxSettingsFileBytes).c_str());
        return std::nullopt;
    }
    const ProfileReader file(content.Bytes);
    const auto version = ParseWholeNumber(ReadKey(file, kSection, "FormVersion").value_or("0"));
    if (version.value_or(0) < 0) return std::nullopt;

    std::optional<WindowPosition> position = ReadPosition(file, screen);
    const auto density = ParseWholeNumber(ReadKey(file, kSection, "PixelsPerInch").value_or(""));
    if (density.value_or(screen.PixelsPerInch) != screen.PixelsPerInch) position.reset();
    ReadControls(file, controls);
    return position;
}

}  // namespace tovrin
