#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tovrin {

// A document as the reading places know it: its full canonical path together with its size
// and modification time, so that a file rewritten under the same name counts as new.
struct DocumentKey {
    std::string Path;
    int64_t Size = 0;
    int64_t ModifiedNs = 0;

    bool operator==(const DocumentKey&) const = default;
};

// The key of a regular file as it is on disk now; nullopt when it cannot be looked at.
std::optional<DocumentKey> KeyOfFile(const std::string& path);

// Where the reading of a document stopped: the caret and the first offset in view.
struct ReadingPlace {
    int64_t Caret = 0;
    int64_t Top = 0;

    bool operator==(const ReadingPlace&) const = default;
};

// The player window's own state that survives a restart.
struct PlayerWindowState {
    bool WordWrap = true;
    bool Drag = false;
    bool Highlight = true;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;  // Width 0: no place kept

    bool operator==(const PlayerWindowState&) const = default;
};

// The user's reading places, one per document, and the player window's state, kept in one
// small file of the user's state folder. Every change rereads the file and replaces it
// atomically, so several windows (and several runs) share it without losing each other's
// places. A damaged or foreign file is ignored with one line on standard error.
class ReadingPlaces {
  public:
    static constexpr int kMaxDocuments = 300;

    // `folder` holds the file; an empty folder keeps nothing.
    explicit ReadingPlaces(std::string folder);

    // $XDG_STATE_HOME/tovrin, or ~/.local/state/tovrin; empty when neither can be told.
    static std::string DefaultFolder();
    // The store in the default folder.
    static ReadingPlaces& User();

    std::string FileName() const;

    std::optional<ReadingPlace> Find(const DocumentKey& key) const;
    // Keeps `place` as the document's most recent one; the least recently used documents
    // beyond kMaxDocuments are dropped.
    bool Remember(const DocumentKey& key, const ReadingPlace& place);
    bool Forget(const DocumentKey& key);

    std::optional<PlayerWindowState> WindowState() const;
    bool RememberWindowState(const PlayerWindowState& state);

  private:
    std::string folder_;
    mutable std::string said_;  // the damage last reported on standard error
};

}  // namespace tovrin
