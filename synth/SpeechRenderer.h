#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "synth/OwnDictionary.h"
#include "synth/SpeechScript.h"
#include "synth/SpeechSynthesizer.h"
#include "synth/VoiceSettings.h"

namespace tovrin {

// Everything one speech needs, taken as a copy when it starts.
struct SpeechRequest {
    std::string text;  // Windows-1251, with the engine's brace commands
    SynthVoice params;
    std::shared_ptr<const OwnDictionary> dictionary;  // may be null
    std::string soundFolder;                          // where relative sound file names live
    std::tm now{};                                    // what the time placeholders say
};

// Where something heard begins: the frame counted from the start of the speech, and the offset
// in the text it stands for.
struct SpeechMark {
    uint64_t frame = 0;
    uint32_t position = 0;
};

// A place where rendering may begin again: at `offset` of the (dictionary-corrected) words of
// script step `step`, with the parameters in force there and the frames produced before it.
// `clause`: the place begins a clause or sentence (or a step), not just a word.
struct RenderPoint {
    size_t step = 0;
    size_t offset = 0;
    uint64_t frame = 0;
    SynthVoice params;
    bool clause = false;
};

// One piece of a rendered speech: `frames` samples, or as many frames of silence when
// `samples` is null, with the marks that fall among them. The first piece of every stretch of
// words, pause and sound file tells where rendering may begin again at it; every piece also
// tells where it may begin again at the words that start among its samples (in order).
// `frame` is where the piece begins, counted from the start of the speech.
struct SpeechPiece {
    const int16_t* samples = nullptr;
    size_t frames = 0;
    std::vector<SpeechMark> marks;
    std::optional<RenderPoint> boundary;
    std::vector<RenderPoint> words;
    uint64_t frame = 0;
};

// Turns a speech request into sound as fast as the synthesizer goes: the text's brace commands
// act (pauses, voice and parameter changes, sound files), every other group is silent, and the
// pronunciation dictionary corrects the words first. Mono 16-bit at the synthesizer's rate.
// Every piece tells where a rendering cut short may begin again with other parameters.
class SpeechRenderer {
  public:
    // Receives the pieces in order; returns false to cut the rendering short.
    using Sink = std::function<bool(const SpeechPiece& piece)>;

    explicit SpeechRenderer(SpeechSynthesizer& synthesizer) : synthesizer_(synthesizer) {}

    int SampleRate() const { return synthesizer_.SampleRate(); }
    // False when the sink cut the speech short; a stretch eSpeak fails on is passed over.
    // `from`, a boundary of an earlier rendering of the same request, begins there.
    bool Render(const SpeechRequest& request, const Sink& sink,
                const std::optional<RenderPoint>& from = std::nullopt);

  private:
    bool SpeakStretch(const ScriptStep& step, const RenderPoint& at, const SpeechRequest& request,
                      const Sink& sink);
    bool PlaySoundFile(const ScriptStep& step, const RenderPoint& at, const std::string& folder,
                       const Sink& sink);
    bool Emit(SpeechPiece piece, const Sink& sink);

    SpeechSynthesizer& synthesizer_;
    uint64_t produced_ = 0;
};

}  // namespace tovrin
