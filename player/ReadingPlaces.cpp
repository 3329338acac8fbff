#include "player/ReadingPlaces.h"

#include "platform/AtomicFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace tovrin {

namespace {

constexpr const char* kFormat = "tovrin-reading-places";
constexpr int kVersion = 1;
// Far more than kMaxDocuments entries ever need; a larger file is not ours.
constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

// Says once per damage, not at every look at the same damaged file: `said` holds what was
// said last.
void SayIgnored(const std::string& file, const char* why, size_t size, std::string& said) {
    std::string now = std::string(why) + "/" + std::to_string(size);
    if (now == said) return;
    said = std::move(now);
    std::fprintf(stderr, "tovrin: %s: %s; the reading places start afresh\n", file.c_str(), why);
}

// The stored document list and window state; an empty object when there is none or the
// file is not usable.
QJsonObject ReadStore(const std::string& file, std::string& said) {
    auto content = ReadFileContent(file);
    if (!content) {
        SayIgnored(file, "cannot be read", 0, said);
        return {};
    }
    if (!content->Exists) return {};
    if (content->Bytes.size() > kMaxFileBytes) {
        SayIgnored(file, "too large", content->Bytes.size(), said);
        return {};
    }
    QJsonParseError error{};
    auto document = QJsonDocument::fromJson(QByteArray::fromStdString(content->Bytes), &error);
    QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        root.value("format").toString() != kFormat || root.value("version").toInt() != kVersion) {
        SayIgnored(file, "not a reading-places file of this version", content->Bytes.size(), said);
        return {};
    }
    return root;
}

bool WriteStore(const std::string& folder, const std::string& file, QJsonObject root) {
    root["format"] = kFormat;
    root["version"] = kVersion;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // Writers of this file take no lock: only what a killed one left long ago is cleared.
    RemoveStaleTemporaries(file, std::chrono::minutes(10));
    auto bytes = QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    return WriteFileAtomically(file, bytes);
}

QString PathText(const std::string& path) {
    return QString::fromUtf8(path.data(), qsizetype(path.size()));
}

bool SameDocument(const QJsonObject& entry, const DocumentKey& key) {
    return entry.value("path").toString() == PathText(key.Path) &&
           entry.value("size").toInteger() == key.Size &&
           entry.value("modified").toInteger() == key.ModifiedNs;
}

// The documents without `key`'s entry, most recent first as stored.
QJsonArray DocumentsWithout(const QJsonObject& root, const DocumentKey& key) {
    QJsonArray others;
    for (const auto& value : root.value("documents").toArray())
        if (value.isObject() && !SameDocument(value.toObject(), key)) others.append(value);
    return others;
}

}  // namespace

std::optional<DocumentKey> KeyOfFile(const std::string& path) {
    std::error_code error;
    auto canonical = std::filesystem::canonical(path, error);
    struct stat info {};
    if (error || stat(canonical.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return DocumentKey{canonical.string(), int64_t(info.st_size),
                       int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

ReadingPlaces::ReadingPlaces(std::string folder) : folder_(std::move(folder)) {}

std::string ReadingPlaces::DefaultFolder() {
    const char* state = getenv("XDG_STATE_HOME");
    // Relative values are not valid and are ignored, as for the other XDG folders.
    if (state && state[0] == '/') return std::string(state) + "/tovrin";
    const char* home = getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state/tovrin";
    return {};
}

ReadingPlaces& ReadingPlaces::User() {
    static ReadingPlaces places(DefaultFolder());
    return places;
}

std::string ReadingPlaces::FileName() const {
    return folder_.empty() ? std::string() : folder_ + "/places.json";
}

std::optional<ReadingPlace> ReadingPlaces::Find(const DocumentKey& key) const {
    if (folder_.empty()) return std::nullopt;
    for (const auto& value : ReadStore(FileName(), said_).value("documents").toArray()) {
        auto entry = value.toObject();
        if (SameDocument(entry, key))
            return ReadingPlace{entry.value("caret").toInteger(), entry.value("top").toInteger()};
    }
    return std::nullopt;
}

bool ReadingPlaces::Remember(const DocumentKey& key, const ReadingPlace& place) {
    if (folder_.empty()) return false;
    auto root = ReadStore(FileName(), said_);
    QJsonArray documents{QJsonObject{{"path", PathText(key.Path)},
                                     {"size", qint64(key.Size)},
                                     {"modified", qint64(key.ModifiedNs)},
                                     {"caret", qint64(place.Caret)},
                                     {"top", qint64(place.Top)}}};
    for (const auto& other : DocumentsWithout(root, key)) {
        if (documents.size() >= kMaxDocuments) break;
        documents.append(other);
    }
    root["documents"] = documents;
    return WriteStore(folder_, FileName(), root);
}

bool ReadingPlaces::Forget(const DocumentKey& key) {
    if (folder_.empty()) return false;
    auto root = ReadStore(FileName(), said_);
    auto others = DocumentsWithout(root, key);
    if (others.size() == root.value("documents").toArray().size()) return true;
    root["documents"] = others;
    return WriteStore(folder_, FileName(), root);
}

std::optional<PlayerWindowState> ReadingPlaces::WindowState() const {
    if (folder_.empty()) return std::nullopt;
    auto window = ReadStore(FileName(), said_).value("window");
    if (!window.isObject()) return std::nullopt;
    auto object = window.toObject();
    PlayerWindowState state;
    state.WordWrap = object.value("wordWrap").toBool(state.WordWrap);
    state.Drag = object.value("drag").toBool(state.Drag);
    state.Highlight = object.value("highlight").toBool(state.Highlight);
    state.Left = object.value("left").toInt();
    state.Top = object.value("top").toInt();
    state.Width = std::max(0, object.value("width").toInt());
    state.Height = std::max(0, object.value("height").toInt());
    return state;
}

bool ReadingPlaces::RememberWindowState(const PlayerWindowState& state) {
    if (folder_.empty()) return false;
    auto root = ReadStore(FileName(), said_);
    root["window"] = QJsonObject{
        {"wordWrap", state.WordWrap}, {"drag", state.Drag}, {"highlight", state.Highlight},
        {"left", state.Left},         {"top", state.Top},   {"width", state.Width},
        {"height", state.Height}};
    return WriteStore(folder_, FileName(), root);
}

}  // namespace tovrin
