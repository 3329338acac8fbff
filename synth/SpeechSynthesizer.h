#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "synth/VoiceSettings.h"

namespace tovrin {

// Where a word starts in the sound: frame counted from the start of one Synthesize call,
// and the index of the word's first character in the text that call was given.
struct WordEvent {
    uint64_t frame = 0;
    size_t charIndex = 0;
};

// Turns text into mono 16-bit samples. One object is used by one thread at a time.
class SpeechSynthesizer {
  public:
    // Receives the samples as they are made, with the words that start among them; returns
    // false to cut the synthesis short.
    using Sink = std::function<bool(const int16_t* samples, size_t frames,
                                    const std::vector<WordEvent>& words)>;

    virtual ~SpeechSynthesizer() = default;
    virtual int SampleRate() const = 0;
    // `utf8` is plain text (no markup). False when the sink cut it short or synthesis failed.
    virtual bool Synthesize(const std::string& utf8, const EspeakSettings& settings,
                            const Sink& sink) = 0;
};

}  // namespace tovrin
