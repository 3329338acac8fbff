#pragma once

#include "engine/FileStore.h"
#include "platform/Profile.h"

#include <optional>
#include <string>
#include <vector>

namespace tovrin {

// Keeps the user's own sections of win.ini safe while the engine's configuration stands in
// their place. Before the first configuration is written, the whole file as the user had it
// goes to a side file beside it ("win.ini.tovrin-saved"); while that side file exists, the
// configuration stands in win.ini. Putting the user's sections back is one edit of win.ini
// and only then is the side file removed, so a program killed at any step leaves either the
// user's file or the side file to put it back from. Callers run these one at a time for all
// controllers of the user (ControllerRegistry's lock).
class WinIniKeeper {
  public:
    WinIniKeeper(std::string winIni, std::vector<std::string> sections, FileStore& store);

    const std::string& SideFile() const { return sideFile_; }
    bool ConfigurationStands() const;
    // The content that holds the user's own sections: the side file's copy while the engine's
    // configuration stands, else win.ini itself; nullopt when it cannot be read.
    std::optional<std::string> UserContent() const;
    // Saves the user's file to the side file if it is not saved yet, then makes the changes
    // in win.ini as one edit. False, and win.ini as it was, when a step fails.
    bool WriteConfiguration(const std::vector<ProfileChange>& changes);
    // Puts the user's sections back, if the configuration stands; the side file is removed
    // after that succeeded and kept otherwise. True when the user's sections are in place.
    bool PutBackUserSections();

  private:
    struct Saved {
        bool Existed = false;
        std::string Bytes;
    };
    std::optional<Saved> ReadSaved() const;
    // Temporaries of win.ini and the side file left by a writer that was killed: every writer
    // holds the folder lock, so under it none is in use.
    void RemoveLeftovers() const;

    const std::string winIni_;
    const std::string sideFile_;
    const std::vector<std::string> sections_;
    FileStore& store_;
};

// `current` with the named sections as `original` had them: when the rest of the file is as
// it was (line ends and blank lines at section ends aside), `original` itself, byte for byte;
// otherwise the rest as it is now, with every occurrence of the named sections taken out and
// the original ones put back after the section that preceded them in `original`.
std::string PutBackSections(const std::string& current, const std::string& original,
                            const std::vector<std::string>& sections);

}  // namespace tovrin
