#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "synth/Resampler.h"

namespace tovrin {

// The sound file types speech can be saved in.
enum class AudioFileType { Wav, Flac, OggVorbis, Opus, Mp3 };

// The type a file name's extension asks for (letter case ignored): ".wav", ".flac", ".ogg"
// (Vorbis), ".opus", ".mp3"; nullopt for any other name.
std::optional<AudioFileType> AudioFileTypeFor(const std::string& path);

// Tags a sound file carries where its type holds them (UTF-8; empty ones are left out).
struct AudioTags {
    std::string Title;
    std::string Album;
    std::string Artist;
    std::string TrackNumber;
};

// Writes mono 16-bit samples into a sound file through libsndfile, resampled where the type
// needs another rate (Opus takes 48 kHz). The sound goes into a hidden temporary file beside
// the target, which Commit renames into place: until then an existing file of that name is
// untouched, and a writer destroyed without Commit removes what it wrote.
class AudioFileWriter {
  public:
    // Throws std::runtime_error when the file cannot be created.
    AudioFileWriter(std::string path, AudioFileType type, int sampleRate,
                    const AudioTags& tags = {});
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Throw std::runtime_error when writing fails (a full disk, say).
    void Write(const int16_t* samples, size_t frames);
    void WriteSilence(size_t frames);
    void Commit();

  private:
    struct SoundFile;

    void SetTags(const AudioTags& tags);
    void WriteId3Tag(const AudioTags& tags);
    void WriteFloats(const std::vector<float>& samples);
    [[noreturn]] void Fail(const std::string& what);
    [[noreturn]] void FailWriting();

    std::string path_;
    std::string temporaryPath_;
    std::unique_ptr<SoundFile> file_;
    std::optional<Resampler> resampler_;
    std::vector<float> resampled_;
    uint64_t framesLeft_ = UINT64_MAX;  // what the file type can still hold
};

}  // namespace tovrin
