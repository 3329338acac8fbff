// The player window's commands for the desktop's media controls: each goes through the same
// button handlers as the user's clicks, so the buttons, the status bar and the engine agree.

#include "player/TalkView.h"

namespace tovrin {

void TFrmView::PauseReading(bool down) {
    controls_.pause->setChecked(down);
    Guarded([this] { BtnPlayerClick(controls_.pause); });
}

void TFrmView::StopReading() {
    Guarded([this] { BtnPlayerClick(controls_.stop); });
}

void TFrmView::ReadNextParagraph(bool forward) {
    Guarded([this, forward] {
        // The move starts where the speech is, not where the caret was left.
        if (session_->Reading()) {
            const int32_t spoken = EstimatePosition();
            BtnPlayerClick(controls_.stop);
            SetCaret(spoken);
        }
        BtnMoveClick(forward ? controls_.step : controls_.back);
    });
    ClickPlay();
}

std::string TFrmView::BookTitle() const {
    return !bookFile_.empty() && bookFile_ == docName_ ? bookTitle_ : std::string();
}

std::string TFrmView::BookAuthor() const {
    return !bookFile_.empty() && bookFile_ == docName_ ? bookAuthor_ : std::string();
}

}  // namespace tovrin
