#include "engine/FileStore.h"

#include "platform/AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace tovrin {

std::optional<FileContent> DiskFileStore::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        struct stat info;
        if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return FileContent{};
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return FileContent{true, content.str()};
}

bool DiskFileStore::Replace(const std::string& path, const std::string& content) {
    return WriteFileAtomically(path, content);
}

bool DiskFileStore::Remove(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

DiskFileStore& DiskFileStore::Instance() {
    static DiskFileStore store;
    return store;
}

}  // namespace tovrin
