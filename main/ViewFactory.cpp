#include "main/ViewFactory.h"

#include "player/PlayerDocument.h"
#include "player/TalkView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace tovrin {

// A player window as the main window sees it.
class ViewWindow final : public PlayerWindow {
  public:
    explicit ViewWindow(TFrmView* view) : view_(view), holder_(view) {}

    bool LoadText(const std::string& fileName) override {
        return view_ && view_->LoadText(fileName);
    }
    void ClickPlay() override {
        if (view_) view_->ClickPlay();
    }
    void EditorFocus() override {
        if (view_) view_->EditorFocus();
    }
    bool IsShownNormally() const override {
        return view_ && view_->isVisible() && !view_->isMinimized();
    }
    SpeechHolder* Holder() override { return holder_; }
    bool ConfirmClose() override { return !view_ || view_->ConfirmDiscard(); }
    bool HasUnsavedChanges() const override { return view_ && view_->HasUnsavedChanges(); }
    PlayerReading Reading() const override {
        if (!view_) return {};
        const ReadingButtons buttons = view_->Session().Buttons();
        PlayerReading reading{buttons.Play, buttons.Play && buttons.Pause,
                              view_->Document().Size() > 0, view_->BookTitle(),
                              view_->BookAuthor()};
        if (reading.Title.empty())
            reading.Title =
                QFileInfo(QString::fromStdString(view_->DocName())).fileName().toStdString();
        return reading;
    }
    void PauseReading(bool down) override {
        if (view_) view_->PauseReading(down);
    }
    void StopReading() override {
        if (view_) view_->StopReading();
    }
    void ReadNextParagraph(bool forward) override {
        if (view_) view_->ReadNextParagraph(forward);
    }
    void Raise() override {
        if (!view_) return;
        if (view_->isMinimized()) view_->showNormal();
        view_->show();
        view_->raise();
        view_->activateWindow();
    }
    bool IsActive() const override { return view_ && view_->isActiveWindow(); }
    TFrmView* View() const { return view_; }
    QMetaObject::Connection forgetting;

  private:
    QPointer<TFrmView> view_;
    SpeechHolder* holder_;  // kept for comparison once the window is gone
};

ViewFactory::ViewFactory(PlayerHost& host, MessageBoxes& boxes) : host_(host), boxes_(boxes) {}

ViewFactory::~ViewFactory() {
    CloseAll();
    // The windows go before the main window they call back into.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

PlayerWindow* ViewFactory::CreatePlayer() {
    auto* view = new TFrmView(host_, nullptr, &boxes_);
    view->CreateSetupDialog();
    // The user's reading places and the last player window's state.
    view->KeepPlacesIn(&ReadingPlaces::User());
    auto& window = windows_.emplace_back(std::make_unique<ViewWindow>(view));
    ViewWindow* entry = window.get();
    entry->forgetting =
        QObject::connect(view, &QObject::destroyed, [this, entry] { Forget(entry); });
    view->show();
    return entry;
}

std::vector<PlayerWindow*> ViewFactory::OpenPlayers() const {
    std::vector<PlayerWindow*> open;
    for (const auto& window : windows_)
        open.push_back(window.get());
    return open;
}

void ViewFactory::CloseAll() {
    // Each window is forgotten now and deleted from the event loop: a handler of its own may
    // still be on the stack (a box it showed) and must return into a living window.
    std::vector<std::unique_ptr<ViewWindow>> closing;
    closing.swap(windows_);
    for (const auto& window : closing) {
        QObject::disconnect(window->forgetting);
        if (closing_) closing_(*window);
        if (TFrmView* view = window->View()) {
            view->hide();
            view->deleteLater();
        }
    }
}

void ViewFactory::Forget(const ViewWindow* entry) {
    const auto found = std::find_if(windows_.begin(), windows_.end(),
                                    [entry](const auto& window) { return window.get() == entry; });
    if (found == windows_.end()) return;
    // Out of the list first: the closing handler may look at the open windows.
    std::unique_ptr<ViewWindow> gone = std::move(*found);
    windows_.erase(found);
    if (closing_) closing_(*gone);
}

}  // namespace tovrin
