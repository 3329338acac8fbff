#pragma once

#include "synth/SpeechSynthesizer.h"

namespace tovrin {

// eSpeak NG in its synchronous retrieval mode. eSpeak keeps process-wide state and is not
// thread-safe: a process uses it from one thread at a time, whatever the number of objects.
class EspeakSynthesizer : public SpeechSynthesizer {
  public:
    // Throws std::runtime_error when eSpeak or its Russian voice cannot be loaded.
    EspeakSynthesizer();
    EspeakSynthesizer(const EspeakSynthesizer&) = delete;
    EspeakSynthesizer& operator=(const EspeakSynthesizer&) = delete;

    int SampleRate() const override { return sampleRate_; }
    bool Synthesize(const std::string& utf8, const EspeakSettings& settings,
                    const Sink& sink) override;

  private:
    bool ApplySettings(const EspeakSettings& settings);

    int sampleRate_ = 0;
};

}  // namespace tovrin
