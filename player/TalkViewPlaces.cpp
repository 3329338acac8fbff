// The player window's memory: where the reading of each document stopped (the caret and the
// first line in view), the window's own state across restarts, and the highlight of what is
// being read.

#include "player/TalkView.h"

#include "dialogs/ScreenRoom.h"

#include "player/PlayerDocument.h"
#include "player/PlayerEditor.h"
#include "player/SpeechHighlight.h"
#include "text/TextFinder.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace tovrin {
namespace {

// The editor line (as its vertical scroll bar counts lines) that holds a cursor's position.
int LineNumberOf(const QTextCursor& cursor) {
    const QTextBlock block = cursor.block();
    int line = block.firstLineNumber();
    if (block.layout() != nullptr && block.layout()->lineCount() > 0)
        line += block.layout()->lineForTextPosition(cursor.positionInBlock()).lineNumber();
    return line;
}

}  // namespace

void TFrmView::PlayerPoll(const EngineState& state) {
    const bool wasReading = session_->Reading();
    session_->Poll(state);
    // The engine, still ours and idle, had nothing left to speak: the text was read to its end.
    const bool finished = wasReading && !session_->Reading() &&
                          state.Holder == static_cast<SpeechHolder*>(this) && state.Running &&
                          !state.Busy && session_->BlockEnd() >= document_->Size();
    Guarded([&] { FollowReading(wasReading, finished); });
}

void TFrmView::FollowReading(bool wasReading, bool finished) {
    if (session_->Reading()) {
        if (!wasReading) {
            stopped_.reset();
            // The drag mode a restored window had comes back with its first reading.
            if (dragPending_) session_->Drag(true);
            dragPending_ = false;
        }
        spoken_ = session_->EstimatePosition();
        highlight_->Show(BlockStart(), BlockEnd(), spoken_);
        return;
    }
    highlight_->Clear();
    if (!wasReading) return;
    // A text read to its end opens at its start next time.
    stopped_ =
        StoppedAt{Caret(), finished ? ReadingPlace{} : ReadingPlace{SpotOf(spoken_), TopOffset()}};
    RememberPlace();
}

int32_t TFrmView::SpotOf(int32_t spoken) const {
    // The start of the spoken line, but never before the portion: reading goes on from the
    // line the highlight showed.
    const char* text = document_->Data();
    SetTextBounds(text, document_->End());
    const int32_t at = std::clamp(spoken, 0, document_->Size());
    const auto lineStart = static_cast<int32_t>(LineStart(text + at) - text);
    return std::clamp(std::max(lineStart, BlockStart()), 0, document_->Size());
}

ReadingPlace TFrmView::CurrentPlace() const {
    if (session_->Reading()) return {SpotOf(spoken_), TopOffset()};
    // Where the last reading stopped, as long as the user has not moved the caret since.
    if (stopped_ && stopped_->CaretThen == Caret()) return stopped_->Place;
    return {Caret(), TopOffset()};
}

void TFrmView::RememberPlace() const {
    if (places_ == nullptr || !placeKey_) return;
    const ReadingPlace place = CurrentPlace();
    if (place == ReadingPlace{})
        places_->Forget(*placeKey_);
    else
        places_->Remember(*placeKey_, place);
}

void TFrmView::LeaveDocument() {
    RememberPlace();
    placeKey_.reset();
    stopped_.reset();
    pendingTop_.reset();
    spoken_ = 0;
    highlight_->Clear();
}

void TFrmView::RestorePlace(const std::string& fileName) {
    if (places_ == nullptr) return;
    placeKey_ = KeyOfFile(fileName);
    if (!placeKey_) return;
    const auto place = places_->Find(*placeKey_);
    if (!place) return;
    const auto inText = [this](int64_t offset) {
        return static_cast<int32_t>(std::clamp<int64_t>(offset, 0, document_->Size()));
    };
    SetCaret(inText(place->Caret));
    ScrollToTop(inText(place->Top));
}

int32_t TFrmView::TopOffset() const {
    if (pendingTop_) return *pendingTop_;
    const QTextCursor top = editor_->cursorForPosition(QPoint(0, 0));
    const QTextBlock block = top.block();
    int position = block.position();
    if (block.layout() != nullptr && block.layout()->lineCount() > 0)
        position += block.layout()->lineForTextPosition(top.positionInBlock()).textStart();
    return document_->OffsetOf(position);
}

void TFrmView::ScrollToTop(int32_t top) {
    // Before the window shows, its editor has no size to scroll in yet.
    if (!isVisible()) {
        pendingTop_ = top;
        return;
    }
    pendingTop_.reset();
    QTextCursor cursor(editor_->document());
    cursor.setPosition(document_->ViewPositionOf(top));
    editor_->verticalScrollBar()->setValue(LineNumberOf(cursor));
    // The caret stays in view: reading goes on from there.
    if (!editor_->viewport()->rect().contains(editor_->cursorRect())) ScrollToCaret();
}

void TFrmView::KeepPlacesIn(ReadingPlaces* places) {
    places_ = places;
    if (places_ == nullptr) return;
    if (const auto state = places_->WindowState()) ApplyWindowState(*state);
}

void TFrmView::ApplyWindowState(const PlayerWindowState& state) {
    editor_->setLineWrapMode(state.WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    pane_->UpdateFont();
    dragMode_ = dragPending_ = state.Drag;
    controls_.highlight->setChecked(state.Highlight);
    highlight_->SetEnabled(state.Highlight);
    if (state.Width <= 0 || state.Height <= 0) return;
    QRect kept(state.Left, state.Top, state.Width, state.Height);
    // A place on a screen that is gone is not used; the size still is. Either way the window
    // stays within the screen: one kept on a larger screen, or at a smaller scale, would
    // otherwise hide its status bar below the screen's edge.
    const QScreen* keptOn = QGuiApplication::screenAt(kept.center());
    if (keptOn == nullptr) keptOn = QGuiApplication::screenAt(kept.topLeft());
    const QRect room = ClientRoom(*this, keptOn != nullptr ? *keptOn : *screen());
    kept.setSize(kept.size().boundedTo(room.size()));
    if (keptOn == nullptr)
        resize(kept.size());
    else
        setGeometry(MovedInto(kept, room));
}

PlayerWindowState TFrmView::CurrentWindowState() const {
    const bool normal = !isMaximized() && !isMinimized() && !isFullScreen();
    const QRect place = normal ? geometry() : normalGeometry();
    PlayerWindowState state;
    state.WordWrap = editor_->lineWrapMode() != QPlainTextEdit::NoWrap;
    state.Drag = dragMode_;
    state.Highlight = highlight_->Enabled();
    state.Left = place.x();
    state.Top = place.y();
    state.Width = place.width();
    state.Height = place.height();
    return state;
}

void TFrmView::RememberOnClose() {
    if (places_ == nullptr) return;
    try {
        RememberPlace();
        places_->RememberWindowState(CurrentWindowState());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tovrin: %s\n", error.what());
    }
}

void TFrmView::HighlightClick() {
    highlight_->SetEnabled(controls_.highlight->isChecked());
    if (session_->Reading()) highlight_->Show(BlockStart(), BlockEnd(), spoken_);
}

}  // namespace tovrin
