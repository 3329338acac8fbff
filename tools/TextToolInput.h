#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovrin {

// A text as the library reads it: the input up to its first zero byte.
struct TextInput {
    std::string Text;
    std::size_t BytesLeftOut = 0;  // from the zero byte on
};

// The bytes of FILE (a regular file only, so that a device or FIFO cannot make the read run
// for ever), or of standard input when `path` is empty, cut at the first zero byte: the text
// library works on zero-terminated buffers, so a text ends there. Either input is limited to
// the document size limit. Throws UsageError when the input cannot be read.
TextInput ReadTextInput(const std::string& path);

// The warning a tool gives when a zero byte cut its text short.
std::string ZeroByteWarning(std::size_t bytesLeftOut);

// Writes raw bytes to standard output.
void WriteBytes(std::string_view bytes);

// Writes one line of text (a line feed is added) to standard output.
void WriteLine(std::string_view line);

}  // namespace tovrin
