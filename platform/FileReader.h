#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovrin {

// The one way the programs read a file: only a regular file is read (a FIFO, a device or a
// folder is refused before a byte is read, and the open never waits for a writer), and never
// more than the caller's limit, so that a settings file linked to /dev/zero or a huge file
// cannot hang a program or fill its memory.
enum class FileReadStatus { Read, Missing, NotRegular, TooLarge, CannotOpen, CannotRead };

struct FileRead {
    FileReadStatus Status = FileReadStatus::CannotOpen;
    std::string Bytes;  // the whole file when Status is Read
    int Error = 0;      // errno of a failed open or read
};

// Limits chosen per use.
inline constexpr size_t kMaxSettingsFileBytes = size_t{16} << 20;  // settings, win.ini, ini
inline constexpr size_t kMaxSoundStretchBytes = size_t{64} << 20;  // one dictionary fragment

// Whether a symbolic link in the file's place is followed or refused (for private folders).
enum class FileLinks { Follow, Refuse };

// Reads the regular file at `path` whole; a file over `maxBytes` is refused as TooLarge.
FileRead ReadRegularFile(const std::string& path, size_t maxBytes,
                         FileLinks links = FileLinks::Follow);

// Why a read failed, for the user: "Это не обычный файл", "Он больше 16 МБ" or the system's
// error told by SystemErrorText.
std::string FileReadProblem(const FileRead& read, size_t maxBytes);

// The text of an errno value for the user: Russian for the errors files meet, else the
// system's own text.
std::string SystemErrorText(int error);

// A regular file opened for reading stretches of it.
struct OpenedFile {
    FileReadStatus Status = FileReadStatus::CannotOpen;
    UniqueFd Fd;
    uint64_t Size = 0;
    int Error = 0;
};
OpenedFile OpenRegularFile(const std::string& path, FileLinks links = FileLinks::Follow);

// `length` bytes from `offset`; false when the file holds fewer or the read fails.
bool ReadStretch(int fd, uint64_t offset, size_t length, uint8_t* into);

}  // namespace tovrin
