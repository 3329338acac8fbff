#pragma once

#include <vector>

#include "tools/TextToolArgs.h"

namespace tovrin {

// Exit statuses of tovrin-text.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNotFound = 1;  // nothing found, or a line that did not parse
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStuck = 3;  // portion cutting stopped moving forward

// One subcommand of tovrin-text: its name, the synopsis shown with usage errors, the options
// it accepts and what it does. Run returns the exit status and throws UsageError.
struct TextCommand {
    const char* Name;
    const char* Synopsis;
    AcceptedOptions Accepts;
    int (*Run)(const CommandLine& line);
};

const std::vector<TextCommand>& TextCommands();

}  // namespace tovrin
