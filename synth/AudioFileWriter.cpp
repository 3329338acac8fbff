#include "synth/AudioFileWriter.h"

#include "platform/AtomicFile.h"
#include "platform/FileReader.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace tovrin {

namespace {

struct TypeInfo {
    AudioFileType type;
    std::string_view extension;
    int format;
    int sampleRate;  // 0: the speech's own rate
};

constexpr std::array<TypeInfo, 5> kTypes = {{
    {AudioFileType::Wav, ".wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
    {AudioFileType::Flac, ".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0},
    {AudioFileType::OggVorbis, ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0},
    {AudioFileType::Opus, ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
    {AudioFileType::Mp3, ".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0},
}};

const TypeInfo& InfoOf(AudioFileType type) {
    return *std::find_if(kTypes.begin(), kTypes.end(),
                         [type](const TypeInfo& info) { return info.type == type; });
}

std::string ErrnoText() {
    return SystemErrorText(errno);
}

// A hidden file in the target's folder, so that the final rename never crosses file systems.
// Made with the mode a newly created file gets.
int CreateTemporary(const std::string& path, std::string& temporaryPath) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    temporaryPath = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporaryPath.data());
    if (fd < 0) return -1;
    fchmod(fd, NewFileMode());
    return fd;
}

// A WAV file counts its data in 32 bits. The plain form is kept for every program to read, and
// a speech that would overflow it is refused rather than written with a broken header.
constexpr uint64_t kWavMaxDataBytes = 0xFFFFFFFFu - 4096;

// An ID3v2.4 tag of UTF-8 text frames (title, album, artist, track); empty without tags.
std::string Id3Tag(const AudioTags& tags) {
    const auto syncsafe = [](size_t size) {
        std::string bytes(4, '\0');
        for (int i = 3; i >= 0; --i, size >>= 7)
            bytes[static_cast<size_t>(i)] = static_cast<char>(size & 0x7F);
        return bytes;
    };
    std::string frames;
    const std::pair<const char*, const std::string*> texts[] = {{"TIT2", &tags.Title},
                                                                {"TALB", &tags.Album},
                                                                {"TPE1", &tags.Artist},
                                                                {"TRCK", &tags.TrackNumber}};
    for (const auto& [id, text] : texts) {
        if (text->empty()) continue;
        frames +=
            std::string(id) + syncsafe(text->size() + 1) + std::string(2, '\0') + '\x03' + *text;
    }
    if (frames.empty()) return {};
    return std::string("ID3\x04\x00\x00", 6) + syncsafe(frames.size()) + frames;
}

}  // namespace

std::optional<AudioFileType> AudioFileTypeFor(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const TypeInfo& info : kTypes) {
        if (extension == info.extension) return info.type;
    }
    return std::nullopt;
}

// The file under libsndfile, written through our own calls: some of its encoders pass over a
// failed write (a full disk), so every write is checked here.
struct AudioFileWriter::SoundFile {
    int fd = -1;
    SNDFILE* handle = nullptr;
    int writeError = 0;  // errno of the first write that failed
    // Bytes of our own before libsndfile's part of the file (an MP3's tag); libsndfile sees
    // its part as the whole file.
    sf_count_t base = 0;

    static sf_count_t Length(void* self) {
        struct stat status {};
        return fstat(Of(self).fd, &status) == 0 ? status.st_size - Of(self).base : -1;
    }
    static sf_count_t Seek(sf_count_t offset, int whence, void* self) {
        const sf_count_t at =
            lseek(Of(self).fd, whence == SEEK_SET ? offset + Of(self).base : offset, whence);
        return at < 0 ? at : at - Of(self).base;
    }
    static sf_count_t Read(void* data, sf_count_t count, void* self) {
        const ssize_t got = read(Of(self).fd, data, static_cast<size_t>(count));
        return got < 0 ? 0 : got;
    }
    static sf_count_t Tell(void* self) { return lseek(Of(self).fd, 0, SEEK_CUR) - Of(self).base; }
    static sf_count_t WriteAll(const void* data, sf_count_t count, void* self) {
        SoundFile& file = Of(self);
        const char* bytes = static_cast<const char*>(data);
        sf_count_t done = 0;
        while (done < count && file.writeError == 0) {
            const ssize_t put = write(file.fd, bytes + done, static_cast<size_t>(count - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0)
                file.writeError = put < 0 ? errno : EIO;
            else
                done += put;
        }
        return done;
    }
    static SoundFile& Of(void* self) { return *static_cast<SoundFile*>(self); }

    bool Open(SF_INFO& format) {
        static SF_VIRTUAL_IO io{Length, Seek, Read, WriteAll, Tell};
        handle = sf_open_virtual(&io, SFM_WRITE, &format, this);
        return handle != nullptr;
    }
    // Closes the sound file and the descriptor; false when either fails to finish.
    bool Close() {
        bool good = true;
        if (handle) good = sf_close(handle) == 0;
        handle = nullptr;
        if (fd >= 0) good = close(fd) == 0 && good;
        fd = -1;
        return good && writeError == 0;
    }
    ~SoundFile() { Close(); }
};

AudioFileWriter::AudioFileWriter(std::string path, AudioFileType type, int sampleRate,
                                 const AudioTags& tags)
    : path_(std::move(path)), file_(std::make_unique<SoundFile>()) {
    const TypeInfo& info = InfoOf(type);
    // Found now, not when the last rename fails after hours of work.
    std::error_code error;
    if (std::filesystem::is_directory(path_, error))
        throw std::runtime_error("Не удалось создать " + path_ + ": " + SystemErrorText(EISDIR));
    file_->fd = CreateTemporary(path_, temporaryPath_);
    if (file_->fd < 0) throw std::runtime_error("Не удалось создать " + path_ + ": " + ErrnoText());
    // libsndfile hands MP3 tags to the encoder as Latin-1, which garbles Cyrillic; an MP3's
    // tag is written here instead, in UTF-8, ahead of the sound.
    const bool ownTag = type == AudioFileType::Mp3;
    if (ownTag) WriteId3Tag(tags);
    SF_INFO format{};
    format.samplerate = info.sampleRate ? info.sampleRate : sampleRate;
    format.channels = 1;
    format.format = info.format;
    if (!file_->Open(format)) {
        const std::string problem = sf_strerror(nullptr);
        file_->Close();
        unlink(temporaryPath_.c_str());
        Fail(problem);
    }
    if (!ownTag) SetTags(tags);
    if (type == AudioFileType::Wav) framesLeft_ = kWavMaxDataBytes / sizeof(int16_t);
    if (format.samplerate != sampleRate) resampler_.emplace(sampleRate, format.samplerate);
}

// Strings go in before the first sample: some types write them into their header. A type
// that holds no tags refuses them, which costs nothing but the tags.
void AudioFileWriter::SetTags(const AudioTags& tags) {
    const std::pair<int, const std::string*> strings[] = {{SF_STR_TITLE, &tags.Title},
                                                          {SF_STR_ALBUM, &tags.Album},
                                                          {SF_STR_ARTIST, &tags.Artist},
                                                          {SF_STR_TRACKNUMBER, &tags.TrackNumber}};
    for (const auto& [kind, value] : strings)
        if (!value->empty()) sf_set_string(file_->handle, kind, value->c_str());
}

void AudioFileWriter::WriteId3Tag(const AudioTags& tags) {
    const std::string tag = Id3Tag(tags);
    if (tag.empty()) return;
    if (SoundFile::WriteAll(tag.data(), static_cast<sf_count_t>(tag.size()), file_.get()) !=
        static_cast<sf_count_t>(tag.size())) {
        file_->Close();
        unlink(temporaryPath_.c_str());
        FailWriting();
    }
    file_->base = static_cast<sf_count_t>(tag.size());
}

AudioFileWriter::~AudioFileWriter() {
    if (temporaryPath_.empty()) return;
    file_->Close();
    unlink(temporaryPath_.c_str());
}

void AudioFileWriter::Fail(const std::string& what) {
    throw std::runtime_error("Не удалось записать " + path_ + ": " + what);
}

void AudioFileWriter::FailWriting() {
    Fail(file_->writeError ? SystemErrorText(file_->writeError) : sf_strerror(file_->handle));
}

void AudioFileWriter::Write(const int16_t* samples, size_t frames) {
    if (resampler_) {
        resampled_.clear();
        resampler_->Process(samples, frames, resampled_);
        WriteFloats(resampled_);
        return;
    }
    if (frames > framesLeft_)
        Fail(
            "файл WAV вмещает не больше 27 часов речи; сохраните звук в .flac, .ogg, .opus или "
            ".mp3");
    framesLeft_ -= frames;
    const auto count = static_cast<sf_count_t>(frames);
    if (sf_writef_short(file_->handle, samples, count) != count || file_->writeError) FailWriting();
}

void AudioFileWriter::WriteSilence(size_t frames) {
    static const std::array<int16_t, 4096> kZeros{};
    for (size_t left = frames; left > 0;) {
        const size_t piece = std::min(left, kZeros.size());
        Write(kZeros.data(), piece);
        left -= piece;
    }
}

void AudioFileWriter::WriteFloats(const std::vector<float>& samples) {
    const auto count = static_cast<sf_count_t>(samples.size());
    if (count > 0 && sf_writef_float(file_->handle, samples.data(), count) != count) FailWriting();
    if (file_->writeError) FailWriting();
}

void AudioFileWriter::Commit() {
    if (resampler_) {
        resampled_.clear();
        resampler_->Finish(resampled_);
        WriteFloats(resampled_);
    }
    // sf_close finishes the encoder and the header; the data must reach the disk before the
    // rename makes the file visible under its name.
    const bool closed = sf_close(file_->handle) == 0;
    file_->handle = nullptr;
    if (file_->writeError) FailWriting();
    if (!closed) Fail("кодировщик не смог завершить файл");
    if (fsync(file_->fd) != 0 || !file_->Close()) Fail(ErrnoText());
    if (rename(temporaryPath_.c_str(), path_.c_str()) != 0) Fail(ErrnoText());
    temporaryPath_.clear();
}

}  // namespace tovrin
