#pragma once

#include "synth/SpeechSynthesizer.h"

namespace tovrin {

// Starts eSpeak NG for this process while keeping the sound server out of its reach: eSpeak
// NG (1.51) opens an audio device of its own as it starts, whatever the output mode, and a
// sound server that is stopped, not gone, would hold it there until the server's time-out
// (half a minute). This changes the environment for that moment, so only a program's main()
// calls it, before any other thread exists. Without it, eSpeak starts when the first
// synthesizer is made, in whatever thread, and the environment is left alone.
void StartEspeakBeforeThreads();

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
