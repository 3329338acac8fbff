#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tovrin {

class SpeechHolder;

// A player window's reading as the desktop's media controls see it.
struct PlayerReading {
    bool Reading = false;
    bool Paused = false;
    bool HasText = false;  // there is something to read
    std::string Title;     // the book's title, else the document's file name (UTF-8)
    std::string Author;    // the book's author where known (UTF-8)
};

// What the main window needs of one player window. The program's entry point adapts the real
// player window to it; main window tests use a fake.
class PlayerWindow {
  public:
    PlayerWindow() : id_(NextId()) {}
    virtual ~PlayerWindow() = default;
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    // Never given to another window of this run: a window is looked up again by it after an
    // event loop, in which it may have closed.
    uint64_t Id() const { return id_; }
    // Loads a file into the window (the player's LoadText); false when it was not loaded.
    virtual bool LoadText(const std::string& fileName) = 0;
    // Puts the play button down and runs its handler: reading starts at the caret.
    virtual void ClickPlay() = 0;
    // Gives the window's editor the input focus.
    virtual void EditorFocus() = 0;
    // Shown on screen and not minimised.
    virtual bool IsShownNormally() const = 0;
    // Offers unsaved changes for saving before the program closes; false when the user
    // chose to keep the window open.
    virtual bool ConfirmClose() = 0;
    // Whether the document holds changes not yet saved (asks nothing).
    virtual bool HasUnsavedChanges() const = 0;
    // The window as the engine controller knows it (its holder identity).
    virtual SpeechHolder* Holder() = 0;
    // The reading buttons' state and what the window reads.
    virtual PlayerReading Reading() const = 0;
    // The pause button put down or up, and the stop button clicked, as by the user.
    virtual void PauseReading(bool down) = 0;
    virtual void StopReading() = 0;
    // Moves one paragraph down (or up) from the place being read, or the caret when nothing
    // is read, and reads on from there.
    virtual void ReadNextParagraph(bool forward) = 0;
    // Brings the window to the front and gives it the focus.
    virtual void Raise() = 0;
    // Whether the window is the active one.
    virtual bool IsActive() const = 0;

  private:
    static uint64_t NextId() {
        static uint64_t last = 0;
        return ++last;
    }
    uint64_t id_;
};

// Makes player windows for the main window. A new window is shown at once and lives until the
// user closes it or the main window goes; the pointer stays valid until then, but not across
// an event loop (a box), in which the window may close; a closed window leaves OpenPlayers at
// once.
class PlayerFactory {
  public:
    using ClosingHandler = std::function<void(PlayerWindow& window)>;

    virtual ~PlayerFactory() = default;
    virtual PlayerWindow* CreatePlayer() = 0;
    // The open player windows, in the order they were created.
    virtual std::vector<PlayerWindow*> OpenPlayers() const = 0;
    // Closes every player window (at shutdown, before the controller goes).
    virtual void CloseAll() = 0;
    // Called for a window that is being destroyed, so that the main window can take the
    // engine back from it; the window is only compared then, never used.
    virtual void SetClosingHandler(ClosingHandler handler) = 0;
};

}  // namespace tovrin
