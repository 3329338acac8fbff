// The reading loop on its own: a session over a recording view (no widgets) and the fake main
// window, its 100 ms tick run by hand.

#include "player/ReadingSession.h"

#include "tests/player/FakePlayerHost.h"
#include "text/CodePages.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovrin {
namespace {

std::string W(const char* utf8) {
    return Utf8ToWindows1251(utf8);
}

// A window as the session sees it: a text, a caret, and what it was told to show. It is also
// the identity the engine is taken for, and forwards the tick to its session.
class RecordingView : public ReadingView, public SpeechHolder {
  public:
    bool IsPlayerWindow() const override { return true; }
    void PlayerPoll(const EngineState& state) override {
        if (session != nullptr) session->Poll(state);
    }

    std::string_view Text() const override { return text; }
    int32_t Caret() const override { return caret; }
    void SetCaret(int32_t offset) override { caret = offset; }
    void ScrollToCaret() override { ++scrolls; }
    void ShowStatus(const std::string& status) override { statuses.push_back(status); }
    void ShowBusy(bool on) override { busy.push_back(on); }
    void ShowButtons(const ReadingButtons& shown) override { buttons = shown; }
    void EditorRandom() override {
        ++shuffles;
        if (shuffle) shuffle();
    }
    void ShowError(const std::string& error) override { errors.push_back(error); }

    std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }

    ReadingSession* session = nullptr;
    std::string text;
    int32_t caret = 0;
    int scrolls = 0;
    int shuffles = 0;
    std::function<void()> shuffle;
    std::vector<std::string> statuses;
    std::vector<bool> busy;
    std::vector<std::string> errors;
    ReadingButtons buttons;
};

// A portion begins with the word, after the paragraph's indent.
bool StartsWith(const std::string& portion, const std::string& word) {
    const size_t start = portion.find_first_not_of(' ');
    return start != std::string::npos && portion.compare(start, word.size(), word) == 0;
}

const std::string kThreeParagraphs =
    W("    Первый абзац.\r\n    Второй абзац,\r\nего продолжение.\r\n    Третий абзац.\r\n");

class ReadingSessionTest : public testing::Test {
  protected:
    void SetUp() override {
        view_.text = kThreeParagraphs;
        session_ = std::make_unique<ReadingSession>(host_, view_);
        session_->SetView(&view_);
        view_.session = session_.get();
    }

    // The engine speaks the portion it has, then finishes it.
    void SpeakAndFinish() {
        host_.Tick();
        host_.busy = false;
        host_.Tick();
    }

    test::FakePlayerHost host_;
    RecordingView view_;
    std::unique_ptr<ReadingSession> session_;
};

TEST_F(ReadingSessionTest, PortionsGoOutInOrderAndTheEndReleasesTheEngine) {
    session_->Play(true);
    EXPECT_TRUE(view_.buttons.Play);
    EXPECT_EQ(host_.holder, &view_);
    ASSERT_EQ(host_.spoken.size(), 1u);
    EXPECT_EQ(view_.Status(), "Обработка текста");
    EXPECT_EQ(view_.busy, std::vector<bool>{true}) << "the hourglass until the engine is heard";
    host_.Tick();
    EXPECT_EQ(view_.Status(), "Чтение текста ");
    EXPECT_EQ(view_.busy, (std::vector<bool>{true, false}));

    for (int i = 0; i < 10 && session_->Reading(); ++i)
        SpeakAndFinish();
    EXPECT_FALSE(session_->Reading());
    EXPECT_FALSE(view_.buttons.Play);
    EXPECT_EQ(view_.Status(), "Текст прочитан");
    EXPECT_EQ(host_.holder, nullptr);
    ASSERT_EQ(host_.spoken.size(), 3u);
    EXPECT_TRUE(StartsWith(host_.spoken[0], W("Первый")));
    EXPECT_TRUE(StartsWith(host_.spoken[1], W("Второй")));
    EXPECT_NE(host_.spoken[1].find(W("продолжение")), std::string::npos);
    EXPECT_TRUE(StartsWith(host_.spoken[2], W("Третий")));
    EXPECT_FALSE(session_->PreparedText().has_value());

    // From the caret, not from the top.
    host_.spoken.clear();
    view_.caret = static_cast<int32_t>(kThreeParagraphs.find(W("    Третий")));
    session_->Play(true);
    ASSERT_EQ(host_.spoken.size(), 1u);
    EXPECT_TRUE(StartsWith(host_.spoken[0], W("Третий")));
}

TEST_F(ReadingSessionTest, EditsWhileReadingTakeEffectAtTheNextPortion) {
    session_->Play(true);
    host_.Tick();
    // The second paragraph is rewritten while the first is spoken.
    const size_t second = view_.text.find(W("Второй"));
    view_.text.replace(second, 6, W("Новый"));
    host_.busy = false;
    host_.Tick();
    ASSERT_EQ(host_.spoken.size(), 2u);
    EXPECT_TRUE(StartsWith(host_.spoken[1], W("Новый абзац,")));

    // The text is cut short behind the reading: the reading ends, inside the text.
    view_.text.resize(5);
    host_.busy = false;
    host_.Tick();
    EXPECT_FALSE(session_->Reading());
    EXPECT_EQ(host_.holder, nullptr);
    EXPECT_LE(session_->TalkPos(), 5);
    EXPECT_EQ(session_->SpokenLineStart(), 0);
}

TEST_F(ReadingSessionTest, ALostEngineOrARefusalEndsTheReading) {
    // Another window takes the engine, the engine goes away, spy mode comes on.
    RecordingView other;
    for (int lost = 0; lost < 3; ++lost) {
        SCOPED_TRACE(lost);
        session_->Play(true);
        session_->Drag(true);
        if (lost == 0) host_.AcquireEngine(&other);
        if (lost == 1) host_.running = false;
        if (lost == 2) host_.spyMode = true;
        if (lost != 0) host_.Tick();
        EXPECT_FALSE(session_->Reading());
        EXPECT_FALSE(view_.buttons.Play);
        EXPECT_FALSE(view_.buttons.Drag);
        EXPECT_EQ(view_.Status(), "Текст прочитан");
        EXPECT_TRUE(view_.errors.empty());
        host_.holder = nullptr;
        host_.running = true;
        host_.spyMode = false;
    }

    host_.forcedResult = SpeakResult::TooLong;
    session_->Play(true);
    EXPECT_FALSE(session_->Reading());
    EXPECT_EQ(view_.Status(), "Ошибка! Попытка произнести слишком длинный блок текста");
    EXPECT_EQ(host_.holder, nullptr);
}

// A failing controller: the failure is reported and the reading ends with the engine freed.
class FailingHost : public test::FakePlayerHost {
  public:
    SpeakResult SpeakRequest(const std::string&, SpeechHolder*) override {
        throw std::runtime_error("канал закрыт");
    }
};

TEST(ReadingSessionFailureTest, AFailingStepIsReportedAndFreesTheEngine) {
    FailingHost host;
    RecordingView view;
    view.text = kThreeParagraphs;
    ReadingSession session(host, view);
    session.SetView(&view);
    session.Play(true);
    EXPECT_EQ(view.errors, std::vector<std::string>{"канал закрыт"});
    EXPECT_FALSE(session.Reading());
    EXPECT_FALSE(view.buttons.Play);
    EXPECT_EQ(host.holder, nullptr);
    EXPECT_EQ(view.busy.back(), false) << "no hourglass left behind";
}

TEST_F(ReadingSessionTest, APauseHoldsTheNextPortionBack) {
    session_->Pause(true);  // not reading: the button pops up again
    EXPECT_FALSE(view_.buttons.Pause);
    EXPECT_FALSE(host_.paused);

    session_->Play(true);
    host_.Tick();
    session_->Pause(true);
    EXPECT_TRUE(host_.paused);
    EXPECT_TRUE(view_.buttons.Pause);
    host_.busy = false;  // the portion is over, but the reading is paused
    host_.Tick();
    host_.Tick();
    EXPECT_EQ(host_.spoken.size(), 1u);
    EXPECT_TRUE(view_.buttons.Pause);

    host_.paused = false;  // resumed in the engine's own window
    host_.Tick();
    EXPECT_FALSE(view_.buttons.Pause);
    EXPECT_EQ(host_.spoken.size(), 2u);

    session_->Stop();
    EXPECT_FALSE(session_->Reading());
    EXPECT_EQ(view_.Status(), "Чтение текста остановлено");
    EXPECT_EQ(host_.holder, nullptr);
}

TEST_F(ReadingSessionTest, TheCaretFollowsTheSpokenLineWhileDragging) {
    view_.caret = static_cast<int32_t>(kThreeParagraphs.find(W("    Второй")));
    session_->Play(true);
    session_->Drag(true);
    EXPECT_TRUE(session_->CaretBelongsToSpeech());
    // Three quarters into the two-line paragraph: its second line.
    host_.progress = {0, 100, 75};
    host_.Tick();
    EXPECT_EQ(view_.caret, static_cast<int32_t>(kThreeParagraphs.find(W("его"))));
    EXPECT_EQ(view_.scrolls, 1);
    host_.Tick();
    EXPECT_EQ(view_.scrolls, 1) << "no scroll while the line stays";
    // Starting again ends the drag mode.
    session_->Play(true);
    EXPECT_FALSE(view_.buttons.Drag);
}

TEST_F(ReadingSessionTest, AClosedWindowEndsTheReadingAndIsNeverTouchedAgain) {
    session_->Play(true);
    host_.Tick();
    const size_t statuses = view_.statuses.size();
    // The window goes; the session outlives it for a while.
    session_->SetView(nullptr);
    host_.busy = false;
    host_.Tick();
    EXPECT_FALSE(session_->Reading());
    EXPECT_EQ(host_.holder, nullptr);
    EXPECT_EQ(host_.spoken.size(), 1u);
    session_->Play(true);
    EXPECT_FALSE(session_->Reading()) << "nothing to read without a window";
    EXPECT_EQ(host_.holder, nullptr);
    session_->Pause(true);
    session_->Drag(true);
    session_->Stop();
    session_->Refresh();
    EXPECT_EQ(session_->SpokenLineStart(), 0);
    EXPECT_EQ(view_.statuses.size(), statuses);

    // Closing while reading frees the engine at once, and so does the session's end.
    session_->SetView(&view_);
    session_->Play(true);
    session_->Close();
    EXPECT_EQ(host_.holder, nullptr);
    host_.Tick();
    session_->SetView(&view_);
    session_->Play(true);
    ASSERT_EQ(host_.holder, &view_);
    session_.reset();
    view_.session = nullptr;
    EXPECT_EQ(host_.holder, nullptr);
}

TEST_F(ReadingSessionTest, ADictionaryGoesOutAsRequestsAndRepeatsShuffled) {
    PlayerOptions& options = session_->Options();
    options.ReadingType = kReadingByLines;
    options.DictScript = "E1R1";
    options.DictOver = true;
    options.DictRep = true;
    const std::string entries =
        W("cat - кошка - words.wav 0 2410\r\ndog - собака - words.wav 10 99");
    view_.text = W("Слова\r\n") + entries;
    // The shuffle drops the heading, as the editor's does.
    view_.shuffle = [this, entries] { view_.text = entries; };
    session_->NewDocument(kDocKindDictionary, "/sounds/");
    EXPECT_EQ(session_->DocKind(), "DIC");
    session_->Play(true);
    for (int i = 0; i < 4; ++i) {
        host_.busy = false;
        host_.Tick();
    }
    EXPECT_TRUE(session_->Reading());
    EXPECT_EQ(view_.shuffles, 1);
    ASSERT_EQ(host_.spoken.size(), 1u) << "the heading is spoken as text";
    ASSERT_GE(host_.dictionaryRequests.size(), 3u);
    EXPECT_EQ(host_.dictionaryRequests[0].rfind("{TALKSERVCMD}\r\n{IntelDictionary}\r\nE1R1", 0),
              0u);
    EXPECT_TRUE(view_.busy.empty()) << "no hourglass when reading by lines";

    // Without repeating, the shuffle comes and the reading ends.
    options.DictRep = false;
    for (int i = 0; i < 4 && session_->Reading(); ++i) {
        host_.busy = false;
        host_.Tick();
    }
    EXPECT_FALSE(session_->Reading());
    EXPECT_EQ(view_.shuffles, 2);

    // A new document stops the reading and starts the range from the top.
    session_->Play(true);
    session_->NewDocument(kDocKindText, "");
    EXPECT_FALSE(session_->Reading());
    EXPECT_EQ(host_.holder, nullptr);
    EXPECT_EQ(session_->BlockEnd(), 0);
    EXPECT_EQ(session_->DocKind(), "TXT");
}

}  // namespace
}  // namespace tovrin
