#pragma once

#include "platform/Desktop.h"
#include "platform/Process.h"

#include <cstdint>
#include <string>

namespace tovrin {

// Show commands for LaunchProcess; a started program decides its own visibility on Linux,
// so the value is accepted and not used.
constexpr int kShowHidden = 0;
constexpr int kShowNormal = 1;

// Starts the program named by the command line, in the program's own folder, as a new
// session. The program is the text before the first blank, or the text inside a pair of
// double quotes that opens the line (so a path with blanks can be given quoted); what
// follows are the arguments, separated by blanks. Raises ProcessError with "Create process
// error: " and the decimal errno when the file is missing or cannot be started. This
// process's current directory is never changed.
bool LaunchProcess(const std::string& commandLine, int showCommand, ProcessInfo& info);

// The window's caption (at most 254 bytes); empty when it has none or does not exist.
std::string GetWindowCaption(WindowHandle window);

// Through the installed power control; false and nothing happens when none is installed.
bool PowerOffComputer();
bool HibernateComputer();

// The left channel of the wave device's volume, or 666 when it cannot be read.
uint16_t GetWaveVolume();
constexpr uint16_t kWaveVolumeUnknown = 666;

}  // namespace tovrin
