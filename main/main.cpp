// The program tovrin: the main window with the real player windows wired in.

#include "main/Program.h"
#include "player/TalkView.h"

#include <QPointer>

#include <algorithm>

namespace tovrin {
namespace {

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
    TFrmView* View() const { return view_; }

  private:
    QPointer<TFrmView> view_;
    SpeechHolder* holder_;  // kept for comparison once the window is gone
};

// Player windows delete themselves when closed; the factory forgets each one as it goes.
class ViewFactory final : public PlayerFactory {
  public:
    ViewFactory(PlayerHost& host, MessageBoxes& boxes) : host_(host), boxes_(boxes) {}
    ~ViewFactory() override { CloseAll(); }

    PlayerWindow* CreatePlayer() override {
        auto* view = new TFrmView(host_, nullptr, &boxes_);
        view->CreateSetupDialog();
        auto& window = windows_.emplace_back(std::make_unique<ViewWindow>(view));
        ViewWindow* entry = window.get();
        QObject::connect(view, &QObject::destroyed, [this, entry] { Forget(entry); });
        view->show();
        return entry;
    }
    std::vector<PlayerWindow*> OpenPlayers() const override {
        std::vector<PlayerWindow*> open;
        for (const auto& window : windows_)
            open.push_back(window.get());
        return open;
    }
    void CloseAll() override {
        while (!windows_.empty()) {
            TFrmView* view = windows_.front()->View();
            if (view)
                delete view;  // its destroyed signal forgets the entry
            else
                windows_.erase(windows_.begin());
        }
    }
    void SetClosingHandler(ClosingHandler handler) override { closing_ = std::move(handler); }

  private:
    void Forget(ViewWindow* entry) {
        if (closing_) closing_(*entry);
        std::erase_if(windows_, [entry](const auto& window) { return window.get() == entry; });
    }

    PlayerHost& host_;
    MessageBoxes& boxes_;
    std::vector<std::unique_ptr<ViewWindow>> windows_;
    ClosingHandler closing_;
};

}  // namespace
}  // namespace tovrin

int main(int argc, char** argv) {
    return tovrin::RunProgram(argc, argv,
                              [](tovrin::PlayerHost& host, tovrin::MessageBoxes& boxes) {
                                  return std::make_unique<tovrin::ViewFactory>(host, boxes);
                              });
}
