#include "synth/SpeechExport.h"

#include "platform/WaveVolume.h"
#include "synth/EngineConfig.h"
#include "synth/EspeakSynthesizer.h"
#include "synth/SpeechRenderer.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <vector>

namespace tovrin {

namespace {

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
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
          writer(settings.path, settings.type, synthesizer.SampleRate(), settings.tags),
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

SpeechExport::SpeechExport(const ExportSettings& settings, const std::atomic<bool>& interrupted,
                           Progress progress)
    : interrupted_(interrupted),
      progress_(std::move(progress)),
      rendering_(std::make_unique<Rendering>(settings)) {}

SpeechExport::~SpeechExport() = default;

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
        if (!piece.marks.empty()) Report(from + perByte * piece.marks.back().position);
        return true;
    });
    if (failure) std::rethrow_exception(failure);
    if (!whole || interrupted_) return false;
    Report(to);
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
}

double SpeechExport::SecondsWritten() const {
    return static_cast<double>(rendering_->framesWritten) / rendering_->synthesizer.SampleRate();
}

void SpeechExport::Report(double done) const {
    if (progress_) progress_(done);
}

}  // namespace tovrin
