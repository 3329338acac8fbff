#pragma once

#include "player/PlayerHost.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tovrin {

// Where the main window's settings live: "<executable path>.ini" when the executable's
// folder is writable (by its permission bits, for the superuser too), else tovrin.ini in the
// system folder; nothing when neither exists.
std::optional<std::string> SettingsFilePath(const std::string& executablePath);

// The main window's place on the screen as the settings file keeps it.
struct WindowPlacement {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int ScreenWidth = 0, ScreenHeight = 0;
    int PixelsPerInch = 96;
    int ShowCmd = 1;
    bool Visible = true;
};

// The stored controls of the main window, with their layout values. Texts are UTF-8.
struct StoredControls {
    // Events: times of day as fractions of a day.
    double LogOffTime = 2.0 / 24;
    int32_t RGLogOffIndex = 1;
    bool LogOffChecked = true;
    double LogOnTime = 7.0 / 24;
    int32_t RGLogOnIndex = 0;
    bool LogOnChecked = true;
    std::string StartUpProcess;
    std::string StartUpEdit = "Ро'та', по-дъё'м '! {wait 3}";
    // Voice.
    std::vector<std::string> TestResItems;  // voice presets
    std::string TestEdit = "Тест произношения";
    // Look of the player windows.
    PlayerAppearance Look;
    // Reading options.
    int32_t ReadingType = 0;
    bool AutoCalc = true;
    std::string AbzBeg;
    bool AbzBegP = false;
    std::string AbzBegPause;
    std::string AbzEnd;
    bool AbzEndP = true;
    std::string AbzEndPause = "5";
    std::string BlockMsg;
    std::string BlockItemText = "0";  // index of the block size
    std::string DictScript = "E1R1";
    bool DictRep = true;
    bool DictOver = true;
    // Switches.
    bool BtnRunDown = false;
    bool FormVisibleChecked = true;
};

// Writes a whole new file content in one step; false when it could not.
using SettingsWriter = std::function<bool(const std::string& path, const std::string& content)>;

// Writes the placement and the controls in one atomic replacement of the file; other keys
// and sections already in it are kept. False, and the old file intact, when the file cannot
// be written.
bool SaveSettingsFile(const std::string& path, const WindowPlacement& placement,
                      const StoredControls& controls, const SettingsWriter& writer = {});
// True when the file exists and the user took away the right to write it.
bool SettingsFileReadOnly(const std::string& path);

// Reads the file into `controls` (a missing key or a value of the wrong form leaves that
// control alone). Returns the stored left and top of the window when they apply to a screen
// of this size and density.
struct ScreenInfo {
    int Width = 0, Height = 0, PixelsPerInch = 96;
};
struct WindowPosition {
    int Left = 0, Top = 0;
};
std::optional<WindowPosition> LoadSettingsFile(const std::string& path, const ScreenInfo& screen,
                                               StoredControls& controls);

// The text form of a string property: line breaks become blanks, blanks around it are
// dropped, and a text that begins and ends with the same quote is wrapped in one more pair of
// double quotes.
std::string StoredText(const std::string& text);

// Value formats of the file, independent of the user's locale.
std::string FormatDateTime(double days);  // up to 15 significant digits, "." as the point
std::optional<double> ParseDateTime(const std::string& text);
std::string FormatFontStyle(int32_t style);  // "[fsBold,fsItalic]"
std::optional<int32_t> ParseFontStyle(const std::string& text);

// Lines of a stored list beyond this are not read: a damaged Count cannot make the program
// read or allocate without end.
constexpr int32_t kMaxStoredListLines = 256;

}  // namespace tovrin
