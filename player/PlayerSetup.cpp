#include "player/PlayerSetup.h"

#include "player/PlayerDocument.h"
#include "player/TalkView.h"

#include <QGroupBox>

namespace tovrin {

PlayerSetup::PlayerSetup(TFrmView& view)
    : view_(view), dialog_(std::make_unique<TFrmSetup>(static_cast<SetupOwner*>(this), &view)) {}

PlayerSetup::~PlayerSetup() = default;

QWidget* PlayerSetup::Widget() {
    return dialog_.get();
}

void PlayerSetup::WriteControls(const PlayerOptions& options) {
    dialog_->WriteControls(options);
}

void PlayerSetup::ReadControls(PlayerOptions& options) {
    options = dialog_->ReadControls();
}

void PlayerSetup::SetReady(bool ready) {
    dialog_->Ready = ready;
}

void PlayerSetup::ShowReadingType(int32_t readingType) {
    dialog_->ShowReadingType(readingType);
}

void PlayerSetup::EnableReadingType(bool enabled) {
    dialog_->ReadingTypeGroup()->setEnabled(enabled);
}

void PlayerSetup::SetupConfirmed() {
    view_.SetupConfirmed();
}

void PlayerSetup::SetupClosed() {
    view_.SetupClosed();
}

const char* PlayerSetup::SetupText() {
    return view_.Document().Data();
}

void PlayerSetup::SetupError(const std::string& text) {
    view_.SetupError(text);
}

}  // namespace tovrin
