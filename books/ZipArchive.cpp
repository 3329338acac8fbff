#include "books/ZipArchive.h"

#include "books/Book.h"

#include <zip.h>

#include <memory>

namespace tovrin {

namespace {

[[noreturn]] void Damaged() {
    throw BookError("архив поврежден");
}

[[noreturn]] void TooLarge(uint64_t limit) {
    throw BookError("архив распаковывается больше чем в " + std::to_string(limit >> 20) +
                    " МБ; такие файлы не открываются");
}

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

bool LooksLikeZip(const std::string& bytes) {
    return bytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
           bytes.starts_with(std::string_view("PK\x05\x06", 4));
}

ZipArchive::ZipArchive(const std::string& bytes, ZipLimits limits) : limits_(limits) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source != nullptr) archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (archive_ == nullptr) {
        if (source != nullptr) zip_source_free(source);
        Damaged();
    }
}

ZipArchive::~ZipArchive() {
    if (archive_ != nullptr) zip_discard(archive_);
}

bool ZipArchive::Has(const std::string& name) const {
    return zip_name_locate(archive_, name.c_str(), 0) >= 0;
}

std::vector<std::string> ZipArchive::Names() const {
    std::vector<std::string> names;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0);
        if (name != nullptr) names.emplace_back(name);
    }
    return names;
}

std::string ZipArchive::Read(const std::string& name) {
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
    if (index < 0) throw BookError("в архиве нет части \"" + name + "\"");
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0) Damaged();
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw BookError("файл зашифрован");
    const uint64_t declared = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
    const uint64_t packed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    if (declared > limits_.MaxEntryBytes || totalRead_ + declared > limits_.MaxTotalBytes)
        TooLarge(limits_.MaxTotalBytes);
    if (declared > limits_.RatioFloorBytes && declared / (packed + 1) > limits_.MaxRatio)
        throw BookError("запись архива сжата неправдоподобно сильно (архив-бомба?)");
    std::unique_ptr<zip_file_t, FileCloser> file(
        zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
    if (!file) Damaged();
    // The declared size is not trusted: reading stops one byte past it.
    std::string data(static_cast<size_t>(declared) + 1, '\0');
    size_t done = 0;
    while (done < data.size()) {
        const zip_int64_t got = zip_fread(file.get(), data.data() + done, data.size() - done);
        if (got < 0) Damaged();
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    if (done != declared) Damaged();
    data.resize(done);
    totalRead_ += done;
    return data;
}

}  // namespace tovrin
