#pragma once

#include "main/PlayerFactory.h"

#include <memory>
#include <vector>

namespace tovrin {

class MessageBoxes;
class PlayerHost;
class ViewWindow;

// The program's player windows (TFrmView) for the main window. A window that the user closes
// deletes itself later, from the event loop; the factory forgets it when it goes. CloseAll
// forgets every window at once and has each one deleted from the event loop as well, so that
// no window is ever deleted while one of its own handlers still runs.
class ViewFactory final : public PlayerFactory {
  public:
    ViewFactory(PlayerHost& host, MessageBoxes& boxes);
    ~ViewFactory() override;
    ViewFactory(const ViewFactory&) = delete;
    ViewFactory& operator=(const ViewFactory&) = delete;

    PlayerWindow* CreatePlayer() override;
    std::vector<PlayerWindow*> OpenPlayers() const override;
    void CloseAll() override;
    void SetClosingHandler(ClosingHandler handler) override { closing_ = std::move(handler); }

  private:
    void Forget(const ViewWindow* entry);

    PlayerHost& host_;
    MessageBoxes& boxes_;
    std::vector<std::unique_ptr<ViewWindow>> windows_;
    ClosingHandler closing_;
};

}  // namespace tovrin
