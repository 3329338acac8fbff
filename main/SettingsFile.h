#pragma once

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

// The stored controls of the main window, with their layout values.
struct StoredControls {
    std::vector<std::string> TestResItems;  // voice presets
    std::string BlockItemText = "0";        // index of the block size
    bool BtnRunDown = false;
    bool FormVisibleChecked = true;
};

// Writes the placement and the controls in one atomic replacement of the file; other keys
// and sections already in it are kept. False when the file cannot be written.
bool SaveSettingsFile(const std::string& path, const WindowPlacement& placement,
                      const StoredControls& controls);

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

// The text form of a string property: blanks around it dropped, and a text that begins and
// ends with the same quote wrapped in one more pair of double quotes.
std::string StoredText(const std::string& text);

}  // namespace tovrin
