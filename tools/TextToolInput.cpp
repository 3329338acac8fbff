#include "tools/TextToolInput.h"

#include "text/DocumentFile.h"
#include "tools/TextToolArgs.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tovrin {

namespace {

// Keeps the bytes before the first zero byte and only counts the rest, so that an endless
// stream of zeros costs no memory before the size limit ends it.
TextInput ReadStandardInput() {
    TextInput input;
    std::size_t total = 0;
    bool cut = false;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0)
            throw UsageError(std::string("cannot read standard input: ") + std::strerror(errno));
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
        if (total > kMaxDocumentBytes)
            throw UsageError("standard input is larger than " +
                             std::to_string(kMaxDocumentBytes >> 20) + " MB");
        if (cut) continue;
        const std::string_view bytes(chunk, static_cast<std::size_t>(got));
        const std::size_t zero = bytes.find('\0');
        cut = zero != std::string_view::npos;
        input.Text.append(bytes.substr(0, zero));
    }
    input.BytesLeftOut = total - input.Text.size();
    return input;
}

TextInput ReadFile(const std::string& path) {
    TextInput input;
    try {
        input.Text = ReadDocumentBytes(path);
    } catch (const DocumentError& e) {
        throw UsageError(e.what());
    }
    const std::size_t zero = input.Text.find('\0');
    if (zero != std::string::npos) {
        input.BytesLeftOut = input.Text.size() - zero;
        input.Text.resize(zero);
    }
    return input;
}

}  // namespace

TextInput ReadTextInput(const std::string& path) {
    return path.empty() ? ReadStandardInput() : ReadFile(path);
}

std::string ZeroByteWarning(std::size_t bytesLeftOut) {
    return "warning: the text ends at a zero byte; " + std::to_string(bytesLeftOut) +
           " bytes from it on were left out";
}

void WriteBytes(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void WriteLine(std::string_view line) {
    WriteBytes(line);
    std::fputc('\n', stdout);
}

}  // namespace tovrin
