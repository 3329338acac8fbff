#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "synth/SpeechSynthesizer.h"

namespace tovrin::test {

inline constexpr int kFramesPerChar = 100;

// Makes kFramesPerChar frames for every character and a word event at each word start, and
// remembers what it was asked to say (read the calls once the speech has ended).
class FakeSynthesizer : public SpeechSynthesizer {
  public:
    struct Call {
        std::string utf8;
        EspeakSettings settings;
    };
    explicit FakeSynthesizer(std::shared_ptr<std::vector<Call>> calls) : calls_(std::move(calls)) {}
    int SampleRate() const override { return 22050; }
    bool Synthesize(const std::string& utf8, const EspeakSettings& settings,
                    const Sink& sink) override {
        calls_->push_back({utf8, settings});
        // The word "explode" stands for a text the real synthesizer fails on.
        if (utf8.find("explode") != std::string::npos)
            throw std::runtime_error("cannot synthesize");
        size_t index = 0;
        bool previousBlank = true;
        const std::vector<int16_t> samples(kFramesPerChar, 1000);
        for (size_t i = 0; i < utf8.size(); ++i) {
            if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
            const bool blank = utf8[i] == ' ';
            std::vector<WordEvent> words;
            if (!blank && previousBlank) words.push_back({index * kFramesPerChar, index});
            previousBlank = blank;
            if (!sink(samples.data(), samples.size(), words)) return false;
            ++index;
        }
        return true;
    }

  private:
    std::shared_ptr<std::vector<Call>> calls_;
};

}  // namespace tovrin::test
