#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "synth/AudioFileWriter.h"

namespace tovrin {

struct SpeechPiece;

// What saving speech into a sound file needs to know besides the text.
struct ExportSettings {
    std::string path;
    AudioFileType type = AudioFileType::Wav;
    // The voice asked for; the engine's own value where none was named.
    std::optional<int32_t> voice, timbre, tempo, melody;
    std::optional<int32_t> volume;  // 0..255; none: the file at full level
    std::string engineFolder;       // where the engine finds sound files and owndict.dic
    AudioTags tags{};
};

// Speech saved into a sound file instead of played: the texts the reader would hand to the
// engine, one after another, rendered as the engine program renders them and written at
// synthesis speed. No engine program, wave device or win.ini write is involved. The file
// appears only when Finish succeeds.
class SpeechExport {
  public:
    // Receives the share of the whole work done (0..1) as the rendering moves on.
    using Progress = std::function<void(double done)>;

    // Throws std::runtime_error when eSpeak NG or the file cannot be set up.
    SpeechExport(const ExportSettings& settings, const std::atomic<bool>& interrupted,
                 Progress progress = {});
    ~SpeechExport();
    SpeechExport(const SpeechExport&) = delete;
    SpeechExport& operator=(const SpeechExport&) = delete;

    // Renders one text with the engine's brace commands; `from` and `to` are the shares of
    // the whole work done before and after it (0..1). False when interrupted.
    bool Speak(const std::string& text, double from, double to);
    // Completes the file under its name.
    void Finish();
    // The length of the speech written so far.
    double SecondsWritten() const;

  private:
    struct Rendering;
    void Store(const SpeechPiece& piece);
    void Report(double done) const;

    const std::atomic<bool>& interrupted_;
    const Progress progress_;
    std::unique_ptr<Rendering> rendering_;
};

}  // namespace tovrin
