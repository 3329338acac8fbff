// A voice change while a text is being spoken is heard from its next clause: the samples a
// device receives carry the rate they were made at, so the test sees exactly where it changed.

#include "synth/SpeechPlayer.h"
#include "synth/SpeechRenderer.h"

#include "tests/platform/Eventually.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace tovrin {
namespace {

constexpr size_t kFrames = 100;  // per character

struct Call {
    std::string text;
    int rate = 0;
};

// Makes kFrames frames per character, every sample equal to the eSpeak rate asked for, and a
// word event at each word start.
class RateSynthesizer : public SpeechSynthesizer {
  public:
    int SampleRate() const override { return 22050; }
    bool Synthesize(const std::string& utf8, const EspeakSettings& settings,
                    const Sink& sink) override {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back({utf8, settings.rate});
        }
        const std::vector<int16_t> samples(kFrames, static_cast<int16_t>(settings.rate));
        for (size_t i = 0; i < utf8.size(); ++i) {
            std::vector<WordEvent> words;
            if (utf8[i] != ' ' && (i == 0 || utf8[i - 1] == ' ')) words.push_back({i * kFrames, i});
            if (!sink(samples.data(), samples.size(), words)) return false;
        }
        return true;
    }
    std::vector<Call> Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

  private:
    std::mutex mutex_;
    std::vector<Call> calls_;
};

// What a gated device has received and how far it has played; the test moves `played`.
struct Gate {
    std::mutex mutex;
    std::condition_variable moved;
    uint64_t played = 0;
    uint64_t lead = 0;
    std::vector<int16_t> samples;

    size_t Written() {
        std::lock_guard lock(mutex);
        return samples.size();
    }
    void PlayAll() {
        {
            std::lock_guard lock(mutex);
            played = UINT64_MAX;
        }
        moved.notify_all();
    }
};

// A device that takes no more than `lead` frames beyond what it has played, as a sound server
// does: the player's look-ahead stays in its own queue.
class GatedStream : public PcmStream {
  public:
    explicit GatedStream(Gate& gate) : gate_(gate) {}
    bool Write(const int16_t* samples, size_t frames) override {
        std::unique_lock lock(gate_.mutex);
        gate_.moved.wait(lock, [&] {
            return gate_.played == UINT64_MAX ||
                   gate_.samples.size() + frames <= gate_.played + gate_.lead;
        });
        gate_.samples.insert(gate_.samples.end(), samples, samples + frames);
        return true;
    }
    void Pause() override {}
    void Resume() override {}
    void Flush() override {}
    void Drain() override {}
    uint64_t FramesPlayed() const override {
        std::lock_guard lock(gate_.mutex);
        return std::min<uint64_t>(gate_.samples.size(), gate_.played);
    }

  private:
    Gate& gate_;
};

int FastRate() {
    return ToEspeakSettings(SynthVoice{0, 5, 9, 0}).rate;
}

class VoiceChangeTest : public testing::Test {
  protected:
    void Start(uint64_t played, uint64_t lead) {
        gate_.played = played;
        gate_.lead = lead;
        auto synthesizer = std::make_unique<RateSynthesizer>();
        synthesizer_ = synthesizer.get();
        SpeechPlayer::Listener listener;
        listener.progress = [this](uint64_t, uint32_t position) {
            std::lock_guard lock(mutex_);
            positions_.push_back(position);
        };
        listener.finished = [this](uint64_t) {
            std::lock_guard lock(mutex_);
            finished_ = true;
        };
        player_ = std::make_unique<SpeechPlayer>(
            std::move(synthesizer),
            [this](const PcmFormat&) { return std::make_unique<GatedStream>(gate_); },
            std::move(listener));
    }
    void Speak(const std::string& text) {
        SpeechRequest request;
        request.text = text;
        player_->Speak(std::move(request));
    }
    bool Finished() {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    bool Synthesised(const std::string& unit) {
        const std::vector<Call> calls = synthesizer_->Calls();
        return std::any_of(calls.begin(), calls.end(),
                           [&](const Call& call) { return call.text == unit; });
    }
    // The frame where the device's samples first carry `rate`, or the end.
    size_t FirstFrameAt(int rate) {
        const auto it = std::find(gate_.samples.begin(), gate_.samples.end(), rate);
        return static_cast<size_t>(it - gate_.samples.begin());
    }
    // Every sample from `from` on carries `rate`.
    bool AllFromAt(size_t from, int rate) {
        return std::all_of(gate_.samples.begin() + static_cast<std::ptrdiff_t>(from),
                           gate_.samples.end(), [&](int16_t s) { return s == rate; });
    }
    void ExpectProgressInOrderTo(uint32_t last) {
        std::lock_guard lock(mutex_);
        ASSERT_FALSE(positions_.empty());
        EXPECT_TRUE(std::is_sorted(positions_.begin(), positions_.end()));
        EXPECT_EQ(positions_.back(), last);
    }
    // Changes the voice to the fast one while `text` is spoken and lets the device play it
    // all: every frame of the text reaches the device once, the fast voice from `changed`
    // (a frame) on, and the progress runs in order to the text's last word `last`.
    void ChangeVoiceAndExpect(const std::string& text, size_t changed, const char* last) {
        player_->ChangeVoice(SynthVoice{0, 5, 9, 0});
        gate_.PlayAll();
        ASSERT_TRUE(test::Eventually([&] { return Finished(); }));
        ASSERT_EQ(gate_.samples.size(), text.size() * kFrames);
        EXPECT_EQ(FirstFrameAt(fast_), changed);
        EXPECT_TRUE(AllFromAt(changed, fast_));
        ExpectProgressInOrderTo(static_cast<uint32_t>(text.rfind(last)));
    }

    const int normal_ = ToEspeakSettings(SynthVoice{}).rate;
    const int fast_ = FastRate();
    Gate gate_;
    RateSynthesizer* synthesizer_ = nullptr;
    std::mutex mutex_;
    std::vector<uint32_t> positions_;
    bool finished_ = false;
    std::unique_ptr<SpeechPlayer> player_;
};

TEST_F(VoiceChangeTest, HeardFromTheNextClauseNotYetOnTheDevice) {
    ASSERT_NE(normal_, fast_);
    // Heard up to "two", the device holding three characters more; the rest synthesised ahead.
    Start(5 * kFrames, 3 * kFrames);
    const std::string text = "One two three. Four five, six seven. Eight nine.";
    Speak(text);
    ASSERT_TRUE(test::Eventually([&] { return Synthesised(text); }));
    ASSERT_TRUE(test::Eventually([&] { return gate_.Written() == 8 * kFrames; }));

    // The old sound from the next clause on was dropped, not played as well.
    ChangeVoiceAndExpect(text, text.find("Four") * kFrames, "nine");
    const std::vector<Call> calls = synthesizer_->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.back().text, "Four five, six seven. Eight nine.");
    EXPECT_EQ(calls.back().rate, fast_);
}

TEST_F(VoiceChangeTest, InALongClauseTheChangeBeginsAtTheNextWordNotYetOnTheDevice) {
    // A clause longer than the player synthesises ahead: its end is far off.
    std::string first;
    while (first.size() < 990)
        first += "word ";
    first += "end. ";
    const std::string text = first + "After the change.";
    Start(0, 3 * kFrames);
    Speak(text);
    // The device holds "wor", the player is writing "d"; the queue begins at the blank.
    ASSERT_TRUE(test::Eventually([&] { return gate_.Written() == 3 * kFrames; }));

    ChangeVoiceAndExpect(text, 5 * kFrames, "change");
    EXPECT_EQ(synthesizer_->Calls().at(1).text.substr(0, 10), "word word ");
}

TEST_F(VoiceChangeTest, WithNoBoundaryQueuedTheNextClauseSynthesisedTakesTheChange) {
    // One word longer than the player synthesises ahead: nothing queued to begin again at.
    const std::string first = std::string(990, 'a') + ". ";
    const std::string text = first + "After the change.";
    Start(0, 3 * kFrames);
    Speak(text);
    ASSERT_TRUE(test::Eventually([&] { return gate_.Written() == 3 * kFrames; }));

    // The next stretch the synthesizer starts, after the sentence end.
    ChangeVoiceAndExpect(text, text.find(" After") * kFrames, "change");
}

TEST_F(VoiceChangeTest, AChangeWhileIdleLeavesTheNextSpeechAlone) {
    Start(UINT64_MAX, 3 * kFrames);
    player_->ChangeVoice(SynthVoice{0, 5, 9, 0});
    const std::string text = "Only one clause here, and another";
    Speak(text);
    ASSERT_TRUE(test::Eventually([&] { return Finished(); }));
    EXPECT_EQ(gate_.samples.size(), text.size() * kFrames);
    EXPECT_EQ(FirstFrameAt(fast_), gate_.samples.size());
}

TEST(SpeechRenderer, TellsWhereClausesAndWordsBeginAndResumesAtAnyOfThem) {
    RateSynthesizer synthesizer;
    SpeechRenderer renderer(synthesizer);
    SpeechRequest request;
    // Decimal points and abbreviations before small letters do not end a clause; closing
    // quotes after the punctuation do.
    request.text = "Pi is 3.14 here, e.g. not there. \"Next!\" he said{wait5}Last one";
    std::vector<RenderPoint> words;
    uint64_t frames = 0;
    ASSERT_TRUE(renderer.Render(request, [&](const SpeechPiece& piece) {
        EXPECT_EQ(piece.frame, frames);
        words.insert(words.end(), piece.words.begin(), piece.words.end());
        frames += piece.frames;
        return true;
    }));
    // The words of the first step are the text up to the pause; the last step's follow it.
    const std::string last = "Last one";
    std::vector<std::string> clauses;
    for (const RenderPoint& word : words) {
        const std::string& step = word.step == 0 ? request.text : last;
        if (word.clause) clauses.push_back(step.substr(word.offset, 2));
    }
    ASSERT_EQ(words.size(), 12u);
    EXPECT_EQ(clauses, (std::vector<std::string>{"Pi", "e.", "\"N", "he", "La"}));

    // Begun again at "he" with another tempo: the same words from there on, frames counted on
    // from where that word stood.
    RenderPoint from = words[8];
    ASSERT_EQ(request.text.substr(from.offset, 7), "he said");
    from.params.tempo = 9;
    std::vector<SpeechMark> marks;
    uint64_t resumedFrames = 0;
    ASSERT_TRUE(renderer.Render(
        request,
        [&](const SpeechPiece& piece) {
            marks.insert(marks.end(), piece.marks.begin(), piece.marks.end());
            resumedFrames += piece.frames;
            return true;
        },
        from));
    EXPECT_EQ(from.frame + resumedFrames, frames);
    ASSERT_FALSE(marks.empty());
    EXPECT_EQ(marks.front().frame, from.frame);
    EXPECT_EQ(marks.front().position, request.text.find("he said"));
    const std::vector<Call> calls = synthesizer.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].text, "he said");
    EXPECT_EQ(calls[2].rate, FastRate());
    EXPECT_EQ(calls[3].text, "Last one");
}

}  // namespace
}  // namespace tovrin
