#include "tools/SayExport.h"

#include "platform/WaveVolume.h"
#include "synth/EngineConfig.h"
#include "synth/EspeakSynthesizer.h"
#include "synth/SpeechRenderer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <vector>

namespace tovrin {

namespace {

constexpr auto kProgressInterval = std::chrono::seconds(1);

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// "1:02:03" or "2:03".
std::string FormatDuration(double seconds) {
    const auto whole = static_cast<long>(std::max(0.0, seconds) + 0.5);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

uint32_t DeviceVolume(int32_t volume) {
    const auto channel = static_cast<uint32_t>(std::clamp(volume, 0, 255)) * 256;
    return channel | (channel << 16);
}

SynthVoice VoiceOf(const ExportSettings& settings) {
    SynthVoice voice;
    voice.voice = settings.voice.value_or(voice.voice);
    voice.timbre = settings.timbre.value_or(voice.timbre);
    voice.tempo = settings.tempo.value_or(voice.tempo);
    voice.melody = settings.melody.value_or(voice.melody);
    return voice;
}

}  // namespace

struct SpeechExport::Rendering {
    explicit Rendering(const ExportSettings& settings)
        : renderer(synthesizer),
          writer(settings.path, settings.type, synthesizer.SampleRate()),
          voice(VoiceOf(settings)),
          volume(settings.volume) {
        // The configuration is only read: the user's win.ini stays as it is.
        const EngineConfig config = ReadEngineConfig(settings.engineFolder);
        dictionary = DictionaryCache().Get(config.dictionaryPaths);
        soundFolder = config.soundFolder;
    }

    EspeakSynthesizer synthesizer;
    SpeechRenderer renderer;
    AudioFileWriter writer;
    const SynthVoice voice;
    const std::optional<int32_t> volume;
    std::shared_ptr<const OwnDictionary> dictionary;
    std::string soundFolder;
    std::vector<int16_t> scaled;
    uint64_t framesWritten = 0;
};

SpeechExport::SpeechExport(const ExportSettings& settings, const std::atomic<bool>& interrupted)
    : path_(settings.path),
      interrupted_(interrupted),
      rendering_(std::make_unique<Rendering>(settings)),
      terminal_(isatty(STDERR_FILENO) == 1) {}

SpeechExport::~SpeechExport() {
    // An interrupted export leaves the progress line finished on a terminal.
    if (terminal_ && shownPercent_ >= 0 && !finished_) std::fputc('\n', stderr);
}

bool SpeechExport::Speak(const std::string& text, double from, double to) {
    Rendering& r = *rendering_;
    SpeechRequest request;
    request.text = text;
    request.params = r.voice;
    request.dictionary = r.dictionary;
    request.soundFolder = r.soundFolder;
    request.now = LocalNow();
    const double perByte = text.empty() ? 0 : (to - from) / static_cast<double>(text.size());
    // The samples come through eSpeak's C callback, which no exception may cross: a write
    // failure is kept and raised once the synthesis has returned.
    std::exception_ptr failure;
    const bool whole = r.renderer.Render(request, [&](const SpeechPiece& piece) {
        if (interrupted_) return false;
        try {
            Store(piece);
        } catch (...) {
            failure = std::current_exception();
            return false;
        }
        if (!piece.marks.empty()) ShowProgress(from + perByte * piece.marks.back().position, false);
        return true;
    });
    if (failure) std::rethrow_exception(failure);
    if (!whole || interrupted_) return false;
    ShowProgress(to, false);
    return true;
}

void SpeechExport::Store(const SpeechPiece& piece) {
    Rendering& r = *rendering_;
    if (!piece.samples) {
        r.writer.WriteSilence(piece.frames);
    } else if (r.volume) {
        r.scaled.assign(piece.samples, piece.samples + piece.frames);
        ApplyWaveVolume(r.scaled.data(), piece.frames, 1, DeviceVolume(*r.volume));
        r.writer.Write(r.scaled.data(), piece.frames);
    } else {
        r.writer.Write(piece.samples, piece.frames);
    }
    r.framesWritten += piece.frames;
}

void SpeechExport::Finish() {
    rendering_->writer.Commit();
    finished_ = true;
    ShowProgress(1.0, true);
    const double seconds =
        static_cast<double>(rendering_->framesWritten) / rendering_->synthesizer.SampleRate();
    std::fprintf(stderr, "tovrin-say: saved %s (%s of speech)\n", path_.c_str(),
                 FormatDuration(seconds).c_str());
}

// At most once a second, and only when the percentage has moved; on a terminal the line is
// redrawn in place.
void SpeechExport::ShowProgress(double done, bool last) {
    const auto now = std::chrono::steady_clock::now();
    const int percent = static_cast<int>(std::clamp(done, 0.0, 1.0) * 100);
    if (!last && (done <= 0 || percent == shownPercent_ || now - shown_ < kProgressInterval))
        return;
    shown_ = now;
    shownPercent_ = percent;
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double left = done > 0 ? elapsed * (1 - done) / done : 0;
    std::fprintf(stderr, "%s%d%% done, %s left%s", terminal_ ? "\r" : "", percent,
                 FormatDuration(last ? 0 : left).c_str(), terminal_ && !last ? "  " : "\n");
    std::fflush(stderr);
}

}  // namespace tovrin
