#include "tools/TextToolInput.h"

#include "tools/TextToolArgs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tovrin {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string ReadAll(std::FILE* file, const std::string& name) {
    std::string bytes;
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    if (std::ferror(file)) throw UsageError("cannot read " + name + ": " + std::strerror(errno));
    return bytes;
}

}  // namespace

std::string ReadTextInput(const std::string& path) {
    std::string bytes;
    if (path.empty()) {
        bytes = ReadAll(stdin, "standard input");
    } else {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
        if (!file) throw UsageError("cannot open " + path + ": " + std::strerror(errno));
        bytes = ReadAll(file.get(), path);
    }
    const std::size_t terminator = bytes.find('\0');
    if (terminator != std::string::npos) bytes.resize(terminator);
    return bytes;
}

void WriteBytes(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void WriteLine(std::string_view line) {
    WriteBytes(line);
    std::fputc('\n', stdout);
}

}  // namespace tovrin
