#pragma once

#include "platform/FileReader.h"

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace tovrin {

// Replaces the file's content all at once: the content goes to a temporary file in the same
// folder, which is flushed to disk and renamed over the file, so readers and a crash see
// either the old content or the new, never a mixture. An existing file keeps its mode; a
// symbolic link is followed; one that leads nowhere, or to anything but a regular file, is
// refused. False (and the file
// untouched) when any step fails.
bool WriteFileAtomically(const std::string& path, const std::string& content);

// Removes the temporary files WriteFileAtomically leaves beside `path` (named
// "<name>.tovrin-tmp.XXXXXX") when a process is killed between making one and renaming it.
// A caller that holds the lock every writer of the file takes removes them all; one without
// such a lock gives `untouchedFor`, and only temporaries left alone that long go (a writer
// renames its own within moments).
void RemoveStaleTemporaries(const std::string& path,
                            std::optional<std::chrono::seconds> untouchedFor = std::nullopt);

struct FileContent {
    bool Exists = false;
    std::string Bytes;
};

// Reads the whole file through ReadRegularFile; a missing file reads as not existing. nullopt
// when it exists but cannot be read, is no regular file or is over `maxBytes`, so that a
// writer never replaces a file it could not see.
std::optional<FileContent> ReadFileContent(const std::string& path,
                                           size_t maxBytes = kMaxSettingsFileBytes);

// The mode a file created now with mode 0666 would get under the process's file-creation
// mask, for files made through mkstemp (always 0600). The mask is read from
// /proc/self/status: umask() can only read it by changing it for every thread meanwhile.
mode_t NewFileMode();

}  // namespace tovrin
