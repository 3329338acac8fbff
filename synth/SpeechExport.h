#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "synth/AudioFileWriter.h"

namespace tovrin {

struct SpeechPiece;

// What tovrin-say --output needs to know besides the text.
struct ExportSettings {
    std::string path;
    AudioFileType type = AudioFileType::Wav;
    // The voice named on the command line; the engine's own value where none was named.
    std::optional<int32_t> voice, timbre, tempo, melody;
    std::optional<int32_t> volume;  // 0..255; none: the file at full level
    std::string engineFolder;       // where the engine finds sound files and owndict.dic
};

// Speech saved into a sound file instead of played: the texts the reader would hand to the
// engine, one after another, rendered as the engine program renders them and written at
// synthesis speed. No engine program, wave device or win.ini write is involved. Progress
// (percent and time left) goes to standard error. The file appears only when Finish succeeds.
class SpeechExport {
  public:
    // Throws std::runtime_error when eSpeak NG or the file cannot be set up.
    SpeechExport(const ExportSettings& settings, const std::atomic<bool>& interrupted);
    ~SpeechExport();
    SpeechExport(const SpeechExport&) = delete;
    SpeechExport& operator=(const SpeechExport&) = delete;

    // Renders one text with the engine's brace commands; `from` and `to` are the shares of
    // the whole work done before and after it (0..1). False when interrupted.
    bool Speak(const std::string& text, double from, double to);
    // Completes the file under its name.
    void Finish();

  private:
    struct Rendering;
    void Store(const SpeechPiece& piece);
    void ShowProgress(double done, bool last);

    const std::string path_;
    const std::atomic<bool>& interrupted_;
    std::unique_ptr<Rendering> rendering_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
    int shownPercent_ = -1;
    bool finished_ = false;
    const bool terminal_;
};

}  // namespace tovrin
