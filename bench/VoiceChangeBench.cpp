// How soon a tempo change is heard while the engine speaks a long paragraph: from the change
// to the moment the device plays the first sound made at the new tempo. The engine's player
// runs with eSpeak NG and a silent device that keeps real time, as the engine program does
// without a sound card. Prints "name value unit" lines.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/RussianWords.h"
#include "platform/WaveBackends.h"
#include "synth/EspeakSynthesizer.h"
#include "synth/SpeechPlayer.h"

namespace {

using namespace tovrin;
using Clock = std::chrono::steady_clock;
using tovrin::bench::WaitUntil;

constexpr int kChanges = 8;
// Four full-scale samples that eSpeak never makes: the first sound at the armed rate.
constexpr int16_t kMark[] = {32767, -32768, 32767, -32768};
constexpr size_t kMarkLength = sizeof kMark / sizeof kMark[0];

// Where the marked sound lies on the device, counted from the stream's start.
struct MarkState {
    std::atomic<int> armedRate{-1};
    std::atomic<int64_t> markFrame{-1};
};

// eSpeak, with the first samples made at the armed rate overwritten by the mark.
class MarkingSynthesizer : public SpeechSynthesizer {
  public:
    explicit MarkingSynthesizer(MarkState& state) : state_(state) {}
    int SampleRate() const override { return inner_.SampleRate(); }
    bool Synthesize(const std::string& utf8, const EspeakSettings& settings,
                    const Sink& sink) override {
        if (settings.rate != state_.armedRate) return inner_.Synthesize(utf8, settings, sink);
        return inner_.Synthesize(
            utf8, settings,
            [&](const int16_t* samples, size_t frames, const std::vector<WordEvent>& words) {
                if (frames < kMarkLength || state_.armedRate != settings.rate)
                    return sink(samples, frames, words);
                state_.armedRate = -1;
                std::vector<int16_t> marked(samples, samples + frames);
                std::copy(kMark, kMark + kMarkLength, marked.begin());
                return sink(marked.data(), frames, words);
            });
    }

  private:
    EspeakSynthesizer inner_;
    MarkState& state_;
};

// The silent real-time device, noting the frame where the mark arrives.
class MarkFindingStream : public PcmStream {
  public:
    MarkFindingStream(std::unique_ptr<PcmStream> inner, MarkState& state)
        : inner_(std::move(inner)), state_(state) {}
    bool Write(const int16_t* samples, size_t frames) override {
        const int16_t* found = std::search(samples, samples + frames, kMark, kMark + kMarkLength);
        if (found != samples + frames)
            state_.markFrame = static_cast<int64_t>(written_ + (found - samples));
        written_ += frames;
        return inner_->Write(samples, frames);
    }
    void Pause() override { inner_->Pause(); }
    void Resume() override { inner_->Resume(); }
    void Flush() override { inner_->Flush(); }
    void Drain() override { inner_->Drain(); }
    uint64_t FramesPlayed() const override { return inner_->FramesPlayed(); }

  private:
    std::unique_ptr<PcmStream> inner_;
    MarkState& state_;
    uint64_t written_ = 0;
};

std::string LongParagraph() {
    tovrin::bench::RussianWords words(18);
    std::string text;
    while (text.size() < 20000)
        text += words.Sentence() + " ";
    return text;
}

}  // namespace

int main() {
    MarkState state;
    std::mutex streamMutex;
    MarkFindingStream* stream = nullptr;
    SpeechPlayer player(std::make_unique<MarkingSynthesizer>(state),
                        [&](const PcmFormat& format) {
                            auto opened = std::make_unique<MarkFindingStream>(
                                OpenNullStream(format, CurrentWaveClock()), state);
                            std::lock_guard lock(streamMutex);
                            stream = opened.get();
                            return opened;
                        },
                        {});
    SpeechRequest request;
    request.text = LongParagraph();
    player.Speak(std::move(request));

    std::vector<double> heard;
    SynthVoice voice;
    for (int change = 0; change < kChanges; ++change) {
        // Changes fall at different places within the clauses being spoken.
        std::this_thread::sleep_for(std::chrono::milliseconds(700 + 170 * change));
        voice.tempo = voice.tempo == 7 ? 8 : 7;
        state.markFrame = -1;
        state.armedRate = ToEspeakSettings(voice).rate;
        const auto changed = Clock::now();
        player.ChangeVoice(voice);
        const bool came = WaitUntil([&] {
            std::lock_guard lock(streamMutex);
            const int64_t mark = state.markFrame;
            return stream && mark >= 0 && stream->FramesPlayed() >= static_cast<uint64_t>(mark);
        });
        if (!came) {
            std::fprintf(stderr, "voice_change_bench: the new tempo was never heard\n");
            return 1;
        }
        heard.push_back(std::chrono::duration<double, std::milli>(Clock::now() - changed).count());
    }
    player.Stop();
    std::sort(heard.begin(), heard.end());
    double sum = 0;
    for (double ms : heard)
        sum += ms;
    std::printf("parameter_change_heard_ms %.0f ms\n", sum / static_cast<double>(heard.size()));
    std::printf("parameter_change_heard_ms_max %.0f ms\n", heard.back());
    return 0;
}
