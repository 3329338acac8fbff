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

bool IsClauseMark(char c) {
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\x85';
}

// Quotes and brackets that close a clause (Windows-1251 ", ', ), », right quotes).
bool IsCloser(char c) {
    return c == '"' || c == '\'' || c == ')' || c == '\xBB' || c == '\x94' || c == '\x92';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsSmallLetter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || u >= 0xE0 || u == 0xB8;
}

// Whether the word at `index` begins a clause or sentence: the text starts there, or
// punctuation (with closing quotes or brackets) and blanks come before it. A full stop or
// ellipsis before a small letter ends an abbreviation, not a clause.
bool BeginsClause(std::string_view text, size_t index) {
    size_t i = index;
    while (i > 0 && IsBlank(text[i - 1]))
        --i;
    if (i == 0) return true;
    if (i == index) return false;
    while (i > 1 && IsCloser(text[i - 1]))
        --i;
    const char mark = text[i - 1];
    if (!IsClauseMark(mark)) return false;
    return !((mark == '.' || mark == '\x85') && IsSmallLetter(text[index]));
}

std::string SoundFilePath(const std::string& folder, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.starts_with('/') || folder.empty()) return name;
    return folder + "/" + name;
}

}  // namespace

bool SpeechRenderer::Render(const SpeechRequest& request, const Sink& sink,
                            const std::optional<RenderPoint>& from) {
    produced_ = from ? from->frame : 0;
    SynthVoice params = from ? from->params : request.params;
    const std::vector<ScriptStep> steps = ParseSpeechScript(request.text, request.now);
    for (size_t i = from ? from->step : 0; i < steps.size(); ++i) {
        const ScriptStep& step = steps[i];
        const size_t offset = from && i == from->step ? from->offset : 0;
        const RenderPoint here{i, offset, produced_, params, true};
        bool going = true;
        switch (step.kind) {
            case ScriptStep::Kind::Speak:
                going = SpeakStretch(step, here, request, sink);
                break;
            case ScriptStep::Kind::Pause: {
                const auto frames = static_cast<size_t>(step.value) * SampleRate() / 10;
                going = Emit({nullptr, frames, {{produced_, step.origin}}, here, {}, 0}, sink);
                break;
            }
            case ScriptStep::Kind::PlayFile:
                going = PlaySoundFile(step, here, request.soundFolder, sink);
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

bool SpeechRenderer::SpeakStretch(const ScriptStep& step, const RenderPoint& at,
                                  const SpeechRequest& request, const Sink& sink) {
    std::string text = step.text;
    std::vector<uint32_t> origins = step.origins;
    if (request.dictionary) request.dictionary->Apply(text, origins);
    const EspeakSettings settings = ToEspeakSettings(at.params);
    bool cut = false;
    for (size_t start = at.offset; start < text.size() && !cut;) {
        const size_t length = StretchLength(std::string_view(text).substr(start));
        const std::string utf8 = Windows1251ToUtf8(std::string_view(text).substr(start, length));
        const uint64_t base = produced_;
        std::optional<RenderPoint> boundary = RenderPoint{at.step, start, base, at.params, true};
        auto forward = [&](const int16_t* samples, size_t frames,
                           const std::vector<WordEvent>& words) {
            SpeechPiece piece{samples, frames, {}, std::move(boundary), {}, 0};
            boundary.reset();
            for (const WordEvent& word : words) {
                const size_t index = start + std::min(word.charIndex, length - 1);
                piece.marks.push_back({base + word.frame, origins[index]});
                piece.words.push_back(
                    {at.step, index, base + word.frame, at.params, BeginsClause(text, index)});
            }
            cut = !Emit(std::move(piece), sink);
            return !cut;
        };
        synthesizer_.Synthesize(utf8, settings, forward);
        start += length;
    }
    return !cut;
}

bool SpeechRenderer::PlaySoundFile(const ScriptStep& step, const RenderPoint& at,
                                   const std::string& folder, const Sink& sink) {
    // A missing or unreadable file is passed over in silence, like any unknown command.
    const auto samples = LoadWaveFile(SoundFilePath(folder, step.text), SampleRate());
    if (!samples) return true;
    const size_t pieceFrames = static_cast<size_t>(SampleRate()) * kFilePieceSeconds;
    for (size_t first = 0; first < samples->size(); first += pieceFrames) {
        SpeechPiece piece;
        piece.samples = samples->data() + first;
        piece.frames = std::min(pieceFrames, samples->size() - first);
        if (first == 0) {
            piece.marks.push_back({produced_, step.origin});
            piece.boundary = at;
        }
        if (!Emit(std::move(piece), sink)) return false;
    }
    return true;
}

bool SpeechRenderer::Emit(SpeechPiece piece, const Sink& sink) {
    piece.frame = produced_;
    produced_ += piece.frames;
    return sink(piece);
}

}  // namespace tovrin
