#include "synth/SpeechRenderer.h"

#include "synth/WaveDecoder.h"
#include "text/CodePages.h"

#include <algorithm>
#include <string_view>

namespace tovrin {

namespace {

// Texts are synthesised in stretches of about this many characters, cut at sentence ends.
constexpr size_t kStretchChars = 1000;
// Sound files are handed on in pieces of one second.
constexpr int kFilePieceSeconds = 1;

size_t StretchLength(std::string_view text) {
    if (text.size() <= kStretchChars) return text.size();
    const std::string_view window = text.substr(0, kStretchChars);
    const size_t sentenceEnd = window.find_last_of(".!?;");
    if (sentenceEnd != std::string_view::npos && sentenceEnd > kStretchChars / 2)
        return sentenceEnd + 1;
    const size_t blank = window.find_last_of(' ');
    if (blank != std::string_view::npos && blank > 0) return blank + 1;
    return kStretchChars;
}

std::string SoundFilePath(const std::string& folder, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.starts_with('/') || folder.empty()) return name;
    return folder + "/" + name;
}

}  // namespace

bool SpeechRenderer::Render(const SpeechRequest& request, const Sink& sink) {
    produced_ = 0;
    SynthVoice params = request.params;
    for (const ScriptStep& step : ParseSpeechScript(request.text, request.now)) {
        bool going = true;
        switch (step.kind) {
            case ScriptStep::Kind::Speak:
                going = SpeakStretch(step, request, params, sink);
                break;
            case ScriptStep::Kind::Pause: {
                const auto frames = static_cast<size_t>(step.value) * SampleRate() / 10;
                going = Emit({nullptr, frames, {{produced_, step.origin}}}, sink);
                break;
            }
            case ScriptStep::Kind::PlayFile:
                going = PlaySoundFile(step, request.soundFolder, sink);
                break;
            case ScriptStep::Kind::Voice:
                params.voice = step.value;
                break;
            case ScriptStep::Kind::Timbre:
                params.timbre = step.value;
                break;
            case ScriptStep::Kind::Tempo:
                params.tempo = step.value;
                break;
            case ScriptStep::Kind::Melody:
                params.melody = step.value;
                break;
        }
        if (!going) return false;
    }
    return true;
}

bool SpeechRenderer::SpeakStretch(const ScriptStep& step, const SpeechRequest& request,
                                  const SynthVoice& params, const Sink& sink) {
    std::string text = step.text;
    std::vector<uint32_t> origins = step.origins;
    if (request.dictionary) request.dictionary->Apply(text, origins);
    const EspeakSettings settings = ToEspeakSettings(params);
    bool cut = false;
    for (size_t start = 0; start < text.size() && !cut;) {
        const size_t length = StretchLength(std::string_view(text).substr(start));
        const std::string utf8 = Windows1251ToUtf8(std::string_view(text).substr(start, length));
        const uint64_t base = produced_;
        auto forward = [&](const int16_t* samples, size_t frames,
                           const std::vector<WordEvent>& words) {
            SpeechPiece piece{samples, frames, {}};
            for (const WordEvent& word : words) {
                const size_t at = start + std::min(word.charIndex, length - 1);
                piece.marks.push_back({base + word.frame, origins[at]});
            }
            cut = !Emit(std::move(piece), sink);
            return !cut;
        };
        synthesizer_.Synthesize(utf8, settings, forward);
        start += length;
    }
    return !cut;
}

bool SpeechRenderer::PlaySoundFile(const ScriptStep& step, const std::string& folder,
                                   const Sink& sink) {
    // A missing or unreadable file is passed over in silence, like any unknown command.
    const auto samples = LoadWaveFile(SoundFilePath(folder, step.text), SampleRate());
    if (!samples) return true;
    const size_t pieceFrames = static_cast<size_t>(SampleRate()) * kFilePieceSeconds;
    for (size_t at = 0; at < samples->size(); at += pieceFrames) {
        SpeechPiece piece{samples->data() + at, std::min(pieceFrames, samples->size() - at), {}};
        if (at == 0) piece.marks.push_back({produced_, step.origin});
        if (!Emit(std::move(piece), sink)) return false;
    }
    return true;
}

bool SpeechRenderer::Emit(SpeechPiece piece, const Sink& sink) {
    produced_ += piece.frames;
    return sink(piece);
}

}  // namespace tovrin
