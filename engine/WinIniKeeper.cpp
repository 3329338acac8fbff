#include "engine/WinIniKeeper.h"

#include "platform/AtomicFile.h"
#include "platform/FolderLock.h"

#include <algorithm>
#include <unordered_map>

namespace tovrin {

namespace {

constexpr std::string_view kExisted = "present\n";
constexpr std::string_view kAbsent = "absent\n";

// One section of a file as its bytes: from its header line to the next header. The first
// block holds what stands before any header and has no name.
struct Block {
    std::optional<std::string> Name;
    std::string Bytes;
};

std::string WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return std::string(line);
}

std::vector<Block> SplitBlocks(const std::string& content) {
    std::vector<Block> blocks(1);
    size_t at = 0;
    while (at < content.size()) {
        const size_t newline = content.find('\n', at);
        const size_t end = newline == std::string::npos ? content.size() : newline + 1;
        const std::string_view line(content.data() + at, end - at);
        if (auto name = ProfileSectionName(WithoutLineEnd(line))) blocks.push_back({name, {}});
        blocks.back().Bytes += line;
        at = end;
    }
    return blocks;
}

bool IsNamed(const Block& block, const std::vector<std::string>& sections) {
    return block.Name && std::any_of(sections.begin(), sections.end(), [&](const auto& name) {
               return SameProfileName(*block.Name, name);
           });
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The blocks not named, compared as a profile reader sees them: line ends and the blank
// lines that end a section make no difference.
std::string OthersForComparison(const std::vector<Block>& blocks,
                                const std::vector<std::string>& sections) {
    std::string text;
    for (const auto& block : blocks) {
        if (IsNamed(block, sections)) continue;
        std::vector<std::string> lines;
        size_t at = 0;
        while (at < block.Bytes.size()) {
            const size_t newline = block.Bytes.find('\n', at);
            const size_t end = newline == std::string::npos ? block.Bytes.size() : newline + 1;
            lines.push_back(WithoutLineEnd(std::string_view(block.Bytes).substr(at, end - at)));
            at = end;
        }
        while (!lines.empty() && IsBlank(lines.back()))
            lines.pop_back();
        for (const auto& line : lines)
            text += line + "\n";
    }
    return text;
}

// Where a block stood: after the n-th block of that name (the first block has none).
struct Anchor {
    std::optional<std::string> Name;
    int Occurrence = 0;
};

// A block name in the form names compare in; the nameless first block has its own.
std::string NameKey(const std::optional<std::string>& name) {
    if (!name) return {};
    std::string key = "[";
    for (char c : *name)
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return key;
}

// Counts the blocks met so far by name, to tell apart sections of the same name.
class BlockCounter {
  public:
    Anchor Next(const Block& block) { return {block.Name, seen_[NameKey(block.Name)]++}; }

  private:
    std::unordered_map<std::string, int> seen_;
};

std::string AnchorKey(const Anchor& anchor) {
    return NameKey(anchor.Name) + "\n" + std::to_string(anchor.Occurrence);
}

std::string LineEndOf(const std::string& content) {
    const size_t newline = content.find('\n');
    return newline != std::string::npos && newline > 0 && content[newline - 1] == '\r' ? "\r\n"
                                                                                       : "\n";
}

std::string Merge(const std::vector<Block>& current, const std::vector<Block>& original,
                  const std::vector<std::string>& sections, const std::string& lineEnd) {
    // The original named blocks, each with the block that preceded it; those that follow
    // the same block keep their order.
    struct SavedBlock {
        const Block* Saved = nullptr;
        bool Placed = false;
    };
    std::vector<SavedBlock> saved;
    std::unordered_map<std::string, std::vector<size_t>> savedAfter;  // by anchor
    BlockCounter originalCount;
    Anchor anchor;
    for (const auto& block : original) {
        if (IsNamed(block, sections)) {
            savedAfter[AnchorKey(anchor)].push_back(saved.size());
            saved.push_back({&block});
        } else {
            anchor = originalCount.Next(block);
        }
    }
    std::vector<const Block*> result;
    BlockCounter currentCount;
    for (const auto& block : current) {
        if (IsNamed(block, sections)) continue;
        const Anchor here = currentCount.Next(block);
        result.push_back(&block);
        const auto found = savedAfter.find(AnchorKey(here));
        if (found == savedAfter.end()) continue;
        for (size_t index : found->second) {
            result.push_back(saved[index].Saved);
            saved[index].Placed = true;
        }
        savedAfter.erase(found);
    }
    for (const auto& entry : saved) {
        if (!entry.Placed) result.push_back(entry.Saved);  // what preceded it is gone
    }
    std::string content;
    for (const Block* block : result) {
        if (block->Bytes.empty()) continue;
        if (!content.empty() && content.back() != '\n') content += lineEnd;
        content += block->Bytes;
    }
    return content;
}

}  // namespace

std::string PutBackSections(const std::string& current, const std::string& original,
                            const std::vector<std::string>& sections) {
    const auto now = SplitBlocks(current);
    const auto before = SplitBlocks(original);
    if (OthersForComparison(now, sections) == OthersForComparison(before, sections))
        return original;
    return Merge(now, before, sections, LineEndOf(original.empty() ? current : original));
}

WinIniKeeper::WinIniKeeper(std::string winIni, std::vector<std::string> sections, FileStore& store)
    : winIni_(std::move(winIni)),
      sideFile_(winIni_ + ".tovrin-saved"),
      sections_(std::move(sections)),
      store_(store) {}

std::optional<WinIniKeeper::Saved> WinIniKeeper::ReadSaved() const {
    const auto side = store_.Read(sideFile_);
    if (!side || !side->Exists) return std::nullopt;
    const std::string& bytes = side->Bytes;
    if (bytes.rfind(kExisted, 0) == 0) return Saved{true, bytes.substr(kExisted.size())};
    if (bytes.rfind(kAbsent, 0) == 0) return Saved{false, {}};
    return std::nullopt;  // not a side file of ours: left alone
}

bool WinIniKeeper::ConfigurationStands() const {
    return ReadSaved().has_value();
}

std::optional<std::string> WinIniKeeper::UserContent() const {
    if (const auto saved = ReadSaved()) return saved->Bytes;
    const auto file = store_.Read(winIni_);
    if (!file) return std::nullopt;
    return file->Bytes;
}

void WinIniKeeper::RemoveLeftovers() const {
    RemoveStaleTemporaries(winIni_);
    RemoveStaleTemporaries(sideFile_);
}

bool WinIniKeeper::WriteConfiguration(const std::vector<ProfileChange>& changes) {
    FolderLock lock(FolderLock::FolderOf(winIni_));
    RemoveLeftovers();
    const auto file = store_.Read(winIni_);
    if (!file) return false;
    const auto configured = ApplyProfileChanges(file->Bytes, changes);
    if (!configured) return false;
    // A side file that exists but cannot be read may hold the user's sections: never replaced.
    if (!store_.Read(sideFile_)) return false;
    const bool savedNow = !ConfigurationStands();
    if (savedNow) {
        const std::string side =
            file->Exists ? std::string(kExisted) + file->Bytes : std::string(kAbsent);
        if (!store_.Replace(sideFile_, side)) return false;
    }
    if (store_.Replace(winIni_, *configured)) return true;
    if (savedNow) store_.Remove(sideFile_);  // win.ini is still the user's own
    return false;
}

bool WinIniKeeper::PutBackUserSections() {
    FolderLock lock(FolderLock::FolderOf(winIni_));
    RemoveLeftovers();
    const auto saved = ReadSaved();
    if (!saved) return true;
    const auto file = store_.Read(winIni_);
    if (!file) return false;
    const std::string restored = PutBackSections(file->Bytes, saved->Bytes, sections_);
    bool done = false;
    if (!saved->Existed && restored.find_first_not_of(" \t\r\n") == std::string::npos) {
        done = store_.Remove(winIni_);  // there was no win.ini, and nothing else is in it
    } else {
        done = restored == file->Bytes || store_.Replace(winIni_, restored);
    }
    return done && store_.Remove(sideFile_);
}

}  // namespace tovrin
