#include "platform/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tovrin {

namespace {

// The size is a hint only: a file may grow while it is read, and some report none. One byte
// past the limit is asked for, so that a file that grew over it is told apart.
FileRead ReadAll(int fd, size_t sizeHint, size_t maxBytes) {
    FileRead result;
    std::string& bytes = result.Bytes;
    bytes.resize(std::min(sizeHint, maxBytes + 1));
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() > maxBytes) return {FileReadStatus::TooLarge, {}, 0};
            bytes.resize(std::min(maxBytes + 1, bytes.size() + (size_t{1} << 16)));
        }
        const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {FileReadStatus::CannotRead, {}, errno};
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    result.Status = FileReadStatus::Read;
    return result;
}

}  // namespace

OpenedFile OpenRegularFile(const std::string& path, FileLinks links) {
    OpenedFile file;
    // O_NONBLOCK: opening a FIFO without a writer must not wait before the check below.
    const int noLinks = links == FileLinks::Refuse ? O_NOFOLLOW : 0;
    file.Fd.Reset(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | noLinks));
    struct stat info;
    if (!file.Fd.valid() || fstat(file.Fd.get(), &info) != 0) {
        file.Error = errno;
        file.Status = file.Error == ENOENT ? FileReadStatus::Missing : FileReadStatus::CannotOpen;
        file.Fd.Reset();
        return file;
    }
    if (!S_ISREG(info.st_mode)) {
        file.Status = FileReadStatus::NotRegular;
        file.Fd.Reset();
        return file;
    }
    // Reads of a regular file do not block anyway; the flag is cleared for plain semantics.
    fcntl(file.Fd.get(), F_SETFL, fcntl(file.Fd.get(), F_GETFL) & ~O_NONBLOCK);
    file.Status = FileReadStatus::Read;
    file.Size = static_cast<uint64_t>(info.st_size);
    return file;
}

FileRead ReadRegularFile(const std::string& path, size_t maxBytes, FileLinks links) {
    const OpenedFile file = OpenRegularFile(path, links);
    if (file.Status != FileReadStatus::Read) return {file.Status, {}, file.Error};
    if (file.Size > maxBytes) return {FileReadStatus::TooLarge, {}, 0};
    return ReadAll(file.Fd.get(), static_cast<size_t>(file.Size), maxBytes);
}

std::string SystemErrorText(int error) {
    // The errors a user meets with files, told in the windows' language; the rarer ones keep
    // the system's own text.
    switch (error) {
        case ENOENT:
            return "Нет такого файла или папки";
        case EACCES:
            return "Нет доступа";
        case EPERM:
            return "Действие не разрешено";
        case EISDIR:
            return "Это папка";
        case ENOTDIR:
            return "Часть пути не является папкой";
        case ENOSPC:
            return "На диске нет места";
        case EDQUOT:
            return "Превышена дисковая квота";
        case EROFS:
            return "Файловая система только для чтения";
        case EIO:
            return "Ошибка ввода-вывода";
        case ENAMETOOLONG:
            return "Слишком длинное имя файла";
        case ELOOP:
            return "Слишком много символических ссылок";
        case EMFILE:
        case ENFILE:
            return "Открыто слишком много файлов";
        case EEXIST:
            return "Файл уже существует";
        case ENOMEM:
            return "Не хватает памяти";
        case EFBIG:
            return "Файл слишком велик";
        case EBUSY:
            return "Устройство или ресурс занято";
        case ETXTBSY:
            return "Файл занят";
        case ENXIO:
        case ENODEV:
            return "Нет такого устройства";
        default:
            return std::strerror(error);
    }
}

std::string FileReadProblem(const FileRead& read, size_t maxBytes) {
    switch (read.Status) {
        case FileReadStatus::NotRegular:
            return "Это не обычный файл";
        case FileReadStatus::TooLarge:
            return "Он больше " + std::to_string(maxBytes >> 20) + " МБ";
        case FileReadStatus::Read:
            return {};
        default:
            return SystemErrorText(read.Error);
    }
}

bool ReadStretch(int fd, uint64_t offset, size_t length, uint8_t* into) {
    size_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(fd, into + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace tovrin
