#include "player/ReadingSession.h"

#include "player/SpeechFolders.h"
#include "text/Portion.h"
#include "text/TextFinder.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tovrin {
namespace {

const char kStatusProcessing[] = "Обработка текста";
const char kStatusRead[] = "Текст прочитан";
const char kStatusStopped[] = "Чтение текста остановлено";
const char kStatusSpeaking[] = "Чтение текста ";

// The start of a request that the main window hands to the dictionary worker.
const std::string kRequestHeader = "{TALKSERVCMD}";

// What the status bar says after "Ошибка! " for a refused portion (-1: nothing prepared).
const char* SpeakFailure(int result) {
    switch (result) {
        case -1:
            return "Внутренняя ошибка при подготовке текста";
        case 1:
            return "Внутренняя ошибка Win API";
        case 2:
            return "Синтезатор речи не запущен";
        case 3:
            return "Канал звука занят посторонней программой";
        case 4:
            return "Не установлен режим 'Плеер'";
        case 5:
            return "Канал звука занят другим плеером";
        case 6:
            return "Попытка произнести слишком длинный блок текста";
        default:
            return "Неизвестная ошибка";
    }
}

}  // namespace

ReadingSession::ReadingSession(PlayerHost& host, SpeechHolder& holder)
    : host_(host), holder_(holder) {
    DefaultPlayerOptions(options_);
}

ReadingSession::~ReadingSession() {
    try {
        Close();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
}

template <typename Step>
void ReadingSession::Guarded(Step step) {
    try {
        step();
    } catch (const std::exception& error) {
        if (view_ != nullptr) view_->ShowError(error.what());
        try {
            ResetPlayer();
        } catch (const std::exception&) {
        }
    }
}

bool ReadingSession::IsHolder() {
    return host_.GetHolder() == &holder_;
}

void ReadingSession::Play(bool down) {
    Guarded([this, down] {
        // Without a window there is no text to read.
        reading_ = down && view_ != nullptr;
        if (reading_) {
            StartReading();
        } else if (IsHolder()) {
            StopSpeaking();
            ShowStatus(kStatusStopped);
        }
        ReleaseReadingButtons();
    });
    ShowButtons();
}

void ReadingSession::Pause(bool down) {
    Guarded([this, down] {
        paused_ = reading_ && down;
        if (reading_ && IsHolder()) host_.SetPaused(down);
    });
    ShowButtons();
}

void ReadingSession::Stop() {
    Guarded([this] {
        if (IsHolder()) {
            StopSpeaking();
            ShowStatus(kStatusStopped);
        }
        reading_ = false;
        ReleaseReadingButtons();
    });
    ShowButtons();
}

void ReadingSession::Drag(bool down) {
    dragText_ = reading_ && down;
    ShowButtons();
}

void ReadingSession::Reset() {
    Guarded([this] { ResetPlayer(); });
    ShowButtons();
}

void ReadingSession::Refresh() {
    Guarded([this] {
        if (IsHolder())
            paused_ = host_.IsPaused();
        else
            ReleaseReadingButtons();
    });
    ShowButtons();
}

void ReadingSession::Close() {
    view_ = nullptr;
    reading_ = false;
    ReleaseReadingButtons();
    preparedText_.reset();
    // The controller keeps a pointer to its holder and polls it; it must not outlive us.
    if (IsHolder()) host_.ReleaseEngine();
}

void ReadingSession::NewDocument(std::string docKind, std::string speechPath) {
    if (reading_) Play(false);
    preparedText_.reset();
    docKind_ = std::move(docKind);
    speechPath_ = std::move(speechPath);
    SetRange(0, 0);
    dragText_ = false;
    ShowButtons();
}

void ReadingSession::StartReading() {
    const int32_t caret = view_->Caret();
    SetRange(caret, caret);
    CutPortion(caret);
    // Taking the engine polls its holder once more, this session too when it holds it; that
    // poll must not cut a portion of the reading being replaced.
    acquiring_ = true;
    try {
        host_.AcquireEngine(&holder_);
    } catch (...) {
        acquiring_ = false;
        throw;
    }
    acquiring_ = false;
    ShowStatus(kStatusProcessing);
    SetBusy(false);
    SendBlock();
}

void ReadingSession::CutPortion(int32_t position) {
    const std::string_view bytes = view_->Text();
    const char* text = bytes.data();
    SetTextBounds(text, text + bytes.size());
    Portion portion = PreparePortion(options_, text + std::clamp(position, 0, TextSize()));
    preparedText_ = std::move(portion.Text);
    SetRange(portion.Start - text, portion.End - text);
}

void ReadingSession::SendBlock() {
    if (blockStart_ == blockEnd_) {
        talkPos_ = blockStart_;
        ShowStatus(kStatusRead);
        SetBusy(false);
        return;
    }
    if (!preparedText_) {
        // A stretch with nothing to speak (blank lines at the end of a block): go on with the
        // next portion at the next poll.
        talkPos_ = blockStart_;
        ShowStatus(kStatusProcessing);
        return;
    }
    std::string text = std::move(*preparedText_);
    preparedText_.reset();
    if (options_.ReadingType != kReadingByLines) SetBusy(true);
    text = SpeakableText(std::move(text));
    const int result = static_cast<int>(host_.SpeakRequest(text, &holder_));
    talkPos_ = blockStart_;
    if (result == 0) {
        ShowStatus(kStatusProcessing);
    } else {
        PlayerFinish();
        if (view_ != nullptr) view_->ShowStatus(std::string("Ошибка! ") + SpeakFailure(result));
    }
}

void ReadingSession::Poll(const EngineState& state) {
    if (acquiring_ && state.Holder == &holder_) return;
    Guarded([this, &state] { PollStep(state); });
    ShowButtons();
}

void ReadingSession::PollStep(const EngineState& state) {
    if (state.Holder != &holder_ || !state.Running || !state.PlayerMode || state.SpyMode ||
        view_ == nullptr) {
        ResetPlayer();
        return;
    }
    paused_ = state.Paused;
    if (!reading_ || paused_) return;
    if (state.Busy && dragText_) {
        const int32_t spoken = SpokenLineStart();
        if (view_->Caret() != spoken) {
            view_->SetCaret(spoken);
            view_->ScrollToCaret();
        }
    }
    if (state.Busy && busy_) {
        ShowStatus(kStatusSpeaking);
        SetBusy(false);
    }
    if (state.Busy) return;
    if (blockEnd_ >= TextSize()) {
        if (!RepeatDictionary()) {
            ResetPlayer();
            return;
        }
        blockStart_ = blockEnd_ = 0;
    }
    const int32_t from = blockEnd_;
    CutPortion(from);
    if (blockEnd_ <= from && blockEnd_ < TextSize()) {
        // A cut that does not move on would be cut again at every tick.
        ResetPlayer();
        return;
    }
    SendBlock();
}

int32_t ReadingSession::EstimatePosition() {
    const ProgressInfo progress = host_.GetProgress();
    const int64_t length = int64_t{blockEnd_} - blockStart_;
    const int64_t range = int64_t{progress.Max} - progress.Min;
    int64_t result = talkPos_;
    if (length <= 0) {
        result = blockStart_;
    } else if (range > 0) {
        // 64-bit: a long block times a far position overflows 32 bits.
        result = blockStart_ + length * progress.Pos / range;
        result = std::clamp<int64_t>(result, blockStart_, blockEnd_);
    }
    talkPos_ = static_cast<int32_t>(std::clamp<int64_t>(result, 0, TextSize()));
    return talkPos_;
}

int32_t ReadingSession::SpokenLineStart() {
    const int32_t estimate = EstimatePosition();
    if (view_ == nullptr) return estimate;
    const std::string_view bytes = view_->Text();
    const char* text = bytes.data();
    SetTextBounds(text, text + bytes.size());
    return static_cast<int32_t>(LineStart(text + estimate) - text);
}

void ReadingSession::StopSpeaking() {
    host_.SetPaused(false);
    host_.StopSpeech();
    PlayerFinish();
}

void ReadingSession::PlayerFinish() {
    EstimatePosition();
    preparedText_.reset();
    if (IsHolder()) host_.ReleaseEngine();
    reading_ = false;
    ShowStatus(kStatusRead);
    SetBusy(false);
}

void ReadingSession::ResetPlayer() {
    reading_ = false;
    ReleaseReadingButtons();
    PlayerFinish();
}

void ReadingSession::ReleaseReadingButtons() {
    paused_ = false;
    dragText_ = false;
}

void ReadingSession::SetRange(int64_t a, int64_t b) {
    const int64_t size = TextSize();
    a = std::clamp<int64_t>(a, 0, size);
    b = std::clamp<int64_t>(b, 0, size);
    if (b < a) std::swap(a, b);
    blockStart_ = static_cast<int32_t>(a);
    blockEnd_ = static_cast<int32_t>(b);
    talkPos_ = blockStart_;
}

void ReadingSession::SetBusy(bool on) {
    if (busy_ == on) return;
    busy_ = on;
    if (view_ != nullptr) view_->ShowBusy(on);
}

void ReadingSession::ShowStatus(const char* text) {
    if (view_ != nullptr) view_->ShowStatus(text);
}

void ReadingSession::ShowButtons() {
    if (view_ != nullptr) view_->ShowButtons(Buttons());
}

int32_t ReadingSession::TextSize() const {
    return view_ == nullptr ? 0 : static_cast<int32_t>(view_->Text().size());
}

std::string ReadingSession::SpeakableText(std::string portion) const {
    if (docKind_ == kDocKindDictionary) {
        if (auto request = MakeDictionaryRequest(portion, options_.DictScript, speechPath_))
            return std::move(*request);
    }
    // Only a dictionary entry goes out as a request; a text that merely starts like one is
    // spoken as text.
    if (portion.compare(0, kRequestHeader.size(), kRequestHeader) == 0) portion.insert(0, 1, ' ');
    return portion;
}

bool ReadingSession::RepeatDictionary() {
    if (docKind_ != kDocKindDictionary) return false;
    if (options_.DictOver) view_->EditorRandom();
    // Without a single entry the next pass would have nothing to play, and so on for ever.
    return options_.DictRep && HoldsDictionaryEntry(view_->Text());
}

}  // namespace tovrin
