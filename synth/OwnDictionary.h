#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tovrin {

// The user's pronunciation corrections: one "word=replacement" a line, Windows-1251. A word
// is replaced wherever it stands as a whole word, in any letter case.
class OwnDictionary {
  public:
    // A missing or unreadable file gives an empty dictionary.
    static OwnDictionary LoadFile(const std::string& path);
    static OwnDictionary Parse(std::string_view content);

    bool empty() const { return replacements_.empty(); }
    size_t size() const { return replacements_.size(); }

    // Replaces the words of `text`; `origins` (one entry per byte) follows the text, each
    // replacement standing at the origin of the word it replaces.
    void Apply(std::string& text, std::vector<uint32_t>& origins) const;

  private:
    void AddLine(std::string_view line);

    std::unordered_map<std::string, std::string> replacements_;  // key in small letters
};

}  // namespace tovrin
