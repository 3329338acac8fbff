#include "engine/FileStore.h"

#include "platform/AtomicFile.h"

#include <unistd.h>

#include <cerrno>

namespace tovrin {

std::optional<FileContent> DiskFileStore::Read(const std::string& path) {
    return ReadFileContent(path);
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
