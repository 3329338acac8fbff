#pragma once

#include <string>
#include <string_view>

namespace tovrin {

// The bytes of FILE, or of standard input when `path` is empty, up to the first zero byte:
// the text library works on zero-terminated buffers, so a text ends there. Throws UsageError
// when the file cannot be read.
std::string ReadTextInput(const std::string& path);

// Writes raw bytes to standard output.
void WriteBytes(std::string_view bytes);

// Writes one line of text (a line feed is added) to standard output.
void WriteLine(std::string_view line);

}  // namespace tovrin
