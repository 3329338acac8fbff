#include "synth/OwnDictionary.h"

#include "synth/SmallFile.h"
#include "platform/Win1251Case.h"

#include <algorithm>

namespace tovrin {

namespace {

std::string Lowered(std::string_view word) {
    std::string lowered(word);
    for (char& c : lowered)
        c = ToLowerWin1251(c);
    return lowered;
}

bool IsSingleWord(std::string_view word) {
    for (char c : word) {
        if (!IsWordCharWin1251(c)) return false;
    }
    return !word.empty();
}

// Larger files are not pronunciation lists; reading them would only cost memory.
constexpr std::uintmax_t kMaxFileSize = 16 << 20;

// How much longer replacements may make one text: as long again, or 64 KiB for a short one.
// A long replacement for a word met often would otherwise multiply the text without bound.
size_t GrowthAllowed(size_t textSize) {
    return std::max<size_t>(textSize, size_t{1} << 16);
}

}  // namespace

OwnDictionary OwnDictionary::LoadFile(const std::string& path) {
    const auto content = ReadSmallFile(path, kMaxFileSize);
    return content ? Parse(*content) : OwnDictionary{};
}

OwnDictionary OwnDictionary::Parse(std::string_view content) {
    OwnDictionary dictionary;
    while (!content.empty()) {
        const size_t end = content.find_first_of("\r\n");
        dictionary.AddLine(content.substr(0, end));
        if (end == std::string_view::npos) break;
        content.remove_prefix(end + 1);
    }
    return dictionary;
}

void OwnDictionary::AddLine(std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    // Only a single word can be met as a whole word; other keys could never match.
    const std::string_view key = TrimBlanksWin1251(line.substr(0, equals));
    if (!IsSingleWord(key)) return;
    replacements_[Lowered(key)] = std::string(TrimBlanksWin1251(line.substr(equals + 1)));
}

void OwnDictionary::Apply(std::string& text, std::vector<uint32_t>& origins) const {
    if (replacements_.empty()) return;
    std::string out;
    std::vector<uint32_t> outOrigins;
    out.reserve(text.size());
    outOrigins.reserve(origins.size());
    const size_t maxSize = text.size() + GrowthAllowed(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (!IsWordCharWin1251(text[i])) {
            out += text[i];
            outOrigins.push_back(origins[i]);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && IsWordCharWin1251(text[end]))
            ++end;
        const std::string_view word(text.data() + i, end - i);
        const auto found = replacements_.find(Lowered(word));
        // A replacement that would take the text past its allowed growth leaves the word as
        // written.
        const bool fits = found != replacements_.end() &&
                          out.size() + found->second.size() + (text.size() - end) <= maxSize;
        if (!fits) {
            out += word;
            outOrigins.insert(outOrigins.end(), origins.begin() + i, origins.begin() + end);
        } else {
            out += found->second;
            outOrigins.insert(outOrigins.end(), found->second.size(), origins[i]);
        }
        i = end;
    }
    text = std::move(out);
    origins = std::move(outOrigins);
}

}  // namespace tovrin
