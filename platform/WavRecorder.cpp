#include "platform/WavRecorder.h"

#include "platform/WaveImage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tovrin {

namespace {

constexpr size_t kHeaderSize = 44;
constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

void FillHeader(uint8_t* header, uint32_t dataBytes) {
    std::memcpy(header, "RIFF", 4);
    WriteLe32(header + 4, dataBytes + 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    WriteLe32(header + 16, 16);
    WriteLe16(header + 20, 1);  // PCM
    WriteLe16(header + 22, 1);  // mono
    WriteLe32(header + 24, WavRecorder::kSampleRate);
    WriteLe32(header + 28, WavRecorder::kSampleRate * 2);
    WriteLe16(header + 32, 2);
    WriteLe16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    WriteLe32(header + 40, dataBytes);
}

// True when the header is one this recorder wrote (whatever its sizes say).
bool IsRecordingHeader(const uint8_t* header) {
    uint8_t expected[kHeaderSize];
    FillHeader(expected, ReadLe32(header + 40));
    return std::memcmp(header, expected, 4) == 0 && std::memcmp(header + 8, expected + 8, 32) == 0;
}

// Repeats a positioned read or write until all `size` bytes have moved.
template <typename Byte, typename Transfer>
bool TransferAt(Byte* bytes, size_t size, off_t at, Transfer transfer) {
    while (size > 0) {
        const ssize_t n = transfer(bytes, size, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= size_t(n);
        at += n;
    }
    return true;
}

bool WriteAt(int fd, const void* data, size_t size, off_t at) {
    return TransferAt(static_cast<const uint8_t*>(data), size, at,
                      [fd](const uint8_t* bytes, size_t count, off_t offset) {
                          return pwrite(fd, bytes, count, offset);
                      });
}

bool ReadAt(int fd, void* data, size_t size, off_t at) {
    return TransferAt(static_cast<uint8_t*>(data), size, at,
                      [fd](uint8_t* bytes, size_t count, off_t offset) {
                          return pread(fd, bytes, count, offset);
                      });
}

std::vector<uint8_t> EncodeSamples(const int16_t* samples, size_t count) {
    std::vector<uint8_t> bytes(count * 2);
    for (size_t i = 0; i < count; ++i)
        WriteLe16(bytes.data() + 2 * i, uint16_t(samples[i]));
    return bytes;
}

// Holds an exclusive flock for its lifetime.
class FileLock {
  public:
    explicit FileLock(int fd) : fd_(fd) {
        while ((locked_ = flock(fd_, LOCK_EX) == 0) == false && errno == EINTR) {
        }
    }
    ~FileLock() {
        if (locked_) flock(fd_, LOCK_UN);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return locked_; }

  private:
    int fd_;
    bool locked_ = false;
};

}  // namespace

WavRecorder::~WavRecorder() {
    close(fd_);
}

std::unique_ptr<WavRecorder> WavRecorder::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return std::make_unique<WavRecorder>(fd);
}

bool WavRecorder::Append(const int16_t* samples, size_t count, int64_t startNs,
                         int64_t durationNs) {
    failure_.clear();
    FileLock lock(fd_);
    if (lock.locked() && AppendLocked(samples, count, startNs, durationNs)) return true;
    if (failure_.empty()) failure_ = std::strerror(errno);
    return false;
}

bool WavRecorder::AppendLocked(const int16_t* samples, size_t count, int64_t startNs,
                               int64_t durationNs) {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return false;
    uint8_t header[kHeaderSize];
    uint64_t dataBytes = 0;
    int64_t endNs = startNs;  // an empty recording begins with these samples
    if (info.st_size > 0) {
        if (size_t(info.st_size) < kHeaderSize || !ReadAt(fd_, header, kHeaderSize, 0) ||
            !IsRecordingHeader(header)) {
            failure_ = "the file is not a recording of the wave device";
            return false;
        }
        dataBytes = std::min<uint64_t>(ReadLe32(header + 40), uint64_t(info.st_size) - kHeaderSize);
        dataBytes &= ~uint64_t(1);
        if (dataBytes > 0)
            endNs = int64_t(info.st_mtim.tv_sec) * kNsPerSecond + info.st_mtim.tv_nsec;
    }
    uint64_t silence = 0;
    if (startNs > endNs) {
        silence =
            uint64_t((__int128(startNs - endNs) * kSampleRate + kNsPerSecond / 2) / kNsPerSecond);
    }
    uint64_t newDataBytes = dataBytes + 2 * (silence + count);
    if (newDataBytes > kMaxDataBytes) {
        failure_ = "the recording has reached the largest size a WAVE file can hold";
        return false;
    }

    off_t at = off_t(kHeaderSize + dataBytes);
    std::vector<uint8_t> zeros(std::min<uint64_t>(silence * 2, 1 << 16), 0);
    for (uint64_t left = silence * 2; left > 0;) {
        size_t piece = size_t(std::min<uint64_t>(left, zeros.size()));
        if (!WriteAt(fd_, zeros.data(), piece, at)) return false;
        at += off_t(piece);
        left -= piece;
    }
    std::vector<uint8_t> bytes = EncodeSamples(samples, count);
    if (!WriteAt(fd_, bytes.data(), bytes.size(), at)) return false;
    // Only now do the sizes count the new samples.
    FillHeader(header, uint32_t(newDataBytes));
    if (!WriteAt(fd_, header, kHeaderSize, 0)) return false;
    if (info.st_size > off_t(kHeaderSize + newDataBytes) &&
        ftruncate(fd_, off_t(kHeaderSize + newDataBytes)) != 0) {
        return false;
    }
    int64_t newEndNs = std::max(endNs, startNs) + durationNs;
    timespec times[2] = {{0, UTIME_OMIT},
                         {time_t(newEndNs / kNsPerSecond), long(newEndNs % kNsPerSecond)}};
    return futimens(fd_, times) == 0;
}

}  // namespace tovrin
