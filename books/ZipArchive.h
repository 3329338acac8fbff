#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct zip;
struct zip_source;

namespace tovrin {

// Bounds on what a container may unpack to, so that a small file cannot make the reader
// allocate without end (a "zip bomb").
struct ZipLimits {
    uint64_t MaxTotalBytes = uint64_t{1} << 30;  // everything read from one archive
    uint64_t MaxEntryBytes = uint64_t{1} << 30;
    // Unpacked to packed size, checked for entries that unpack to more than RatioFloorBytes.
    uint64_t MaxRatio = 200;
    uint64_t RatioFloorBytes = uint64_t{1} << 20;
};

// A zip archive held in memory, read through libzip. Entries are only ever read into memory:
// nothing is written anywhere from their names. Every failure throws BookError with a Russian
// reason.
class ZipArchive {
  public:
    // `bytes` must outlive the archive.
    explicit ZipArchive(const std::string& bytes, ZipLimits limits = {});
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& name) const;
    std::vector<std::string> Names() const;
    // The entry's unpacked bytes; refused when it is missing, encrypted, damaged or beyond the
    // limits.
    std::string Read(const std::string& name);

  private:
    zip* archive_ = nullptr;
    ZipLimits limits_;
    uint64_t totalRead_ = 0;
};

// Whether the bytes begin as a zip archive does.
bool LooksLikeZip(const std::string& bytes);

}  // namespace tovrin
