#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovrin {

// Longest brace group, both braces included, that is still examined as a possible command.
inline constexpr std::size_t kMaxCommandGroup = 501;

// True when the text at `text` is one of the engine's own commands. For a "{", `length` is the
// length of the brace group including both braces; for a "?", `length` is 5 and the five
// characters are compared with the time placeholders "??:??" and "??.??" one by one (a
// terminator among them gives false). Any other first character gives false.
bool IsEngineCommand(const char* text, std::size_t length);

// Blanks out every engine command in a zero-terminated Windows-1251 text and turns every
// other brace into a parenthesis. Only replaces characters: the length never changes.
void StripCommands(char* text);

// The engine's pause command for `tenths` tenths of a second, e.g. "{wait15}"; empty when
// the pause is not greater than zero.
std::string PauseCommand(int32_t tenths);

// Appends PauseCommand(tenths) to `out`.
void AppendPauseCommand(std::string& out, int32_t tenths);

}  // namespace tovrin
