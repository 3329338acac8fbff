#include "synth/EngineConfig.h"

#include "platform/EngineContract.h"
#include "platform/Profile.h"

#include <algorithm>
#include <system_error>

namespace tovrin {

namespace {

// The controller writes its paths the way it knows them; separators may still be backslashes.
std::string LocalPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

EngineConfig ReadEngineConfig(const std::string& engineFolder) {
    EngineConfig config;
    config.soundFolder = engineFolder;
    std::string dictionaryPath;
    if (const auto winIni = WinIniPath()) {
        const ProfileFile profile(*winIni);
        const std::string working =
            LocalPath(profile.ReadString(kHostSection, kHostKeyWorkingDirectory));
        if (IsFolder(working)) config.soundFolder = working;
        dictionaryPath = LocalPath(profile.ReadString(kEngineSection, kEngineKeyDictionary));
    }
    if (!dictionaryPath.empty()) config.dictionaryPaths.push_back(dictionaryPath);
    config.dictionaryPaths.push_back(engineFolder + "/owndict/owndict.dic");
    config.dictionaryPaths.push_back(engineFolder + "/owndict.dic");
    return config;
}

std::shared_ptr<const OwnDictionary> DictionaryCache::Get(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) continue;
        const auto modified = std::filesystem::last_write_time(path, error);
        const auto size = std::filesystem::file_size(path, error);
        if (error) continue;
        if (!dictionary_ || path != path_ || modified != modified_ || size != size_) {
            dictionary_ = std::make_shared<const OwnDictionary>(OwnDictionary::LoadFile(path));
            path_ = path;
            modified_ = modified;
            size_ = size;
        }
        return dictionary_;
    }
    dictionary_.reset();
    return nullptr;
}

}  // namespace tovrin
