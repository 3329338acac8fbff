#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "synth/OwnDictionary.h"

namespace tovrin {

// Where the engine finds its files: from the win.ini sections the controller writes
// ("Keldworth" WorkingDirectory, "ZalSynthes" Path), falling back to the program's folder.
struct EngineConfig {
    std::string soundFolder;
    // Pronunciation dictionaries to try, the first that exists is used.
    std::vector<std::string> dictionaryPaths;
};

// Reads win.ini afresh; a missing file or key is no error.
EngineConfig ReadEngineConfig(const std::string& engineFolder);

// Keeps the loaded dictionary and reads the file again only when it has changed.
class DictionaryCache {
  public:
    std::shared_ptr<const OwnDictionary> Get(const std::vector<std::string>& paths);

  private:
    std::string path_;
    std::filesystem::file_time_type modified_{};
    uintmax_t size_ = 0;
    std::shared_ptr<const OwnDictionary> dictionary_;
};

}  // namespace tovrin
