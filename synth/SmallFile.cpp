#include "synth/SmallFile.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tovrin {

std::optional<std::string> ReadSmallFile(const std::string& path, std::uintmax_t limit) {
    // Checked on the open file, not by name first: a FIFO put in the file's place between a
    // check and the open would block the reader. O_NONBLOCK keeps the open itself from blocking.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (static_cast<std::uintmax_t>(info.st_size) > limit) return std::nullopt;
    std::string content(static_cast<size_t>(info.st_size), '\0');
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = read(fd.get(), content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    content.resize(done);
    return content;
}

}  // namespace tovrin
