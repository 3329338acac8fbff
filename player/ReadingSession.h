#pragma once

#include "engine/EngineState.h"
#include "engine/SpeechHolder.h"
#include "player/PlayerHost.h"
#include "text/PlayerOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovrin {

// The kinds of document a player window holds: a text, or a dictionary read line by line.
inline constexpr char kDocKindText[] = "TXT";
inline constexpr char kDocKindDictionary[] = "DIC";
inline constexpr int32_t kReadingByLines = 2;

// The down states of the reading buttons (Stop is always shown up).
struct ReadingButtons {
    bool Play = false;
    bool Pause = false;
    bool Drag = false;
};

// What a reading session needs of the window that shows it. Texts are UTF-8.
class ReadingView {
  public:
    virtual ~ReadingView() = default;
    // The document's bytes, zero-terminated, every line break a CR LF.
    virtual std::string_view Text() const = 0;
    // The caret as a byte offset, and putting it there with an empty selection.
    virtual int32_t Caret() const = 0;
    virtual void SetCaret(int32_t offset) = 0;
    virtual void ScrollToCaret() = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    // The hourglass cursor on or off; called only when the state changes.
    virtual void ShowBusy(bool on) = 0;
    virtual void ShowButtons(const ReadingButtons& buttons) = 0;
    // Shuffles a dictionary's lines, at the end of a dictionary that asks for it.
    virtual void EditorRandom() = 0;
    // A failure of a step: reported, and the reading is reset after it.
    virtual void ShowError(const std::string& text) = 0;
};

// The reading loop of one player window: the document read portion by portion through the
// main window (the player host), the 100 ms poll, the estimate of the spoken position, and the
// state of the reading buttons. It holds no widget: the window forwards its commands here and
// shows what the session tells its view. Without a view (the window is gone) there is no text
// to go on with, and the next poll ends the reading.
class ReadingSession {
  public:
    // `holder` is the identity the engine is taken for (the window); it is compared only.
    ReadingSession(PlayerHost& host, SpeechHolder& holder);
    // Releases the engine when the session holds it.
    ~ReadingSession();
    ReadingSession(const ReadingSession&) = delete;
    ReadingSession& operator=(const ReadingSession&) = delete;

    void SetView(ReadingView* view) { view_ = view; }

    // The reading buttons' commands, given the state the click has left the button in. Each
    // shows the buttons again when done; a failure is reported and resets the reading.
    void Play(bool down);
    void Pause(bool down);
    void Stop();
    void Drag(bool down);
    // The poll step of the main window's tick while this session's window holds the engine.
    void Poll(const EngineState& state);
    // A failure outside the session's own steps: the reading ends as when the engine is lost.
    void Reset();
    // Brings the reading buttons in step with the engine (pause, and drag only while holding).
    void Refresh();
    // The window closes: the reading ends and the engine is released; the view is dropped.
    void Close();
    // A new document replaces the old one: the reading is stopped first, the range emptied.
    void NewDocument(std::string docKind, std::string speechPath);

    int32_t EstimatePosition();
    int32_t SpokenLineStart();
    // The hourglass: set while a sent portion is not yet heard, and by the window's locks.
    void SetBusy(bool on);

    PlayerOptions& Options() { return options_; }
    const PlayerOptions& Options() const { return options_; }
    const std::string& DocKind() const { return docKind_; }
    const std::string& SpeechPath() const { return speechPath_; }
    ReadingButtons Buttons() const { return {reading_, paused_, dragText_}; }
    bool Reading() const { return reading_; }
    // The caret follows the speech, so moves of the user's would only fight it.
    bool CaretBelongsToSpeech() const { return reading_ && dragText_; }
    bool IsHolder();
    bool Busy() const { return busy_; }
    int32_t BlockStart() const { return blockStart_; }
    int32_t BlockEnd() const { return blockEnd_; }
    int32_t TalkPos() const { return talkPos_; }
    const std::optional<std::string>& PreparedText() const { return preparedText_; }

  private:
    void StartReading();
    void CutPortion(int32_t position);
    void SendBlock();
    void PollStep(const EngineState& state);
    void StopSpeaking();
    void PlayerFinish();
    void ResetPlayer();
    void ReleaseReadingButtons();
    void SetRange(int64_t a, int64_t b);
    void ShowStatus(const char* text);
    void ShowButtons();
    int32_t TextSize() const;
    // The text that goes to the engine for a portion: a dictionary entry becomes a request.
    std::string SpeakableText(std::string portion) const;
    // At the end of the text: shuffles a dictionary and tells whether to read it again.
    bool RepeatDictionary();
    // Runs a step so that no exception leaves it: a failure is reported and resets the reading.
    template <typename Step>
    void Guarded(Step step);

    PlayerHost& host_;
    SpeechHolder& holder_;
    ReadingView* view_ = nullptr;
    PlayerOptions options_;
    std::string docKind_ = kDocKindText;
    std::string speechPath_;
    std::optional<std::string> preparedText_;
    int32_t blockStart_ = 0;
    int32_t blockEnd_ = 0;
    int32_t talkPos_ = 0;
    bool reading_ = false;
    bool paused_ = false;
    bool dragText_ = false;
    bool busy_ = false;
    bool acquiring_ = false;
};

}  // namespace tovrin
