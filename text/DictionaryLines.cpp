#include "text/DictionaryLines.h"

#include "text/CodePages.h"

#include <charconv>
#include <unordered_map>

namespace tovrin {
namespace {

constexpr std::string_view kSeparator = "::";
constexpr auto kFromRemark = W1251("(от");  // "from ...": an etymology remark

bool IsLatinLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Cuts `rest` at the first `delimiter`: the part before it goes to `field`, the delimiter is
// dropped. False when there is no delimiter.
bool CutField(std::string_view& rest, std::string_view delimiter, std::string_view& field) {
    const std::size_t at = rest.find(delimiter);
    if (at == rest.npos) return false;
    field = rest.substr(0, at);
    rest.remove_prefix(at + delimiter.size());
    return true;
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Drops a trailing remark in parentheses when it is an etymology or plain ASCII, then every
// parenthesis and Latin letter.
std::string CleanSecondField(std::string_view field) {
    if (field.ends_with(')')) {
        const std::size_t open = field.rfind('(');
        if (open != field.npos) {
            const std::string_view remark = field.substr(open);
            if (remark.starts_with(kFromRemark.view()) || IsAscii(remark))
                field = field.substr(0, open);
        }
    }
    std::string cleaned;
    for (char c : field)
        if (c != '(' && c != ')' && !IsLatinLetter(c)) cleaned += c;
    return cleaned;
}

// A decimal number with an optional sign; "+-5" and the like are no numbers.
bool ToInt32(std::string_view text, int32_t& value) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) return false;
    }
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseDictionaryLine(std::string_view line, DictionaryLine& parsed) {
    parsed = DictionaryLine{};
    const std::string normalised =
        ReplaceAll(ReplaceAll(std::string(line), " - ", kSeparator), " ; ", kSeparator);
    std::string_view rest = normalised;
    std::string_view first, second, third, number1, number2;
    if (!CutField(rest, kSeparator, first)) return false;
    parsed.First = first;
    if (!CutField(rest, kSeparator, second)) return false;
    parsed.Second = CleanSecondField(second);
    if (!CutField(rest, " ", third)) return false;
    parsed.Third = third;
    if (!CutField(rest, " ", number1)) return false;
    if (!CutField(rest, " ", number2)) number2 = rest;  // nothing follows the second number
    int32_t value1 = -1, value2 = -1;
    if (!ToInt32(number1, value1) || !ToInt32(number2, value2)) return false;
    parsed.Number1 = value1;
    parsed.Number2 = value2;
    return true;
}

std::string ReplaceAll(std::string text, std::string_view find, std::string_view replacement) {
    if (find.empty()) return text;
    // A replacement that holds the searched text would be found again forever; such a call
    // gets one left-to-right pass instead.
    const bool rescan = replacement.find(find) == replacement.npos;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(find, from)) != text.npos;) {
        text.replace(at, find.size(), replacement);
        // Looking again from the start finds nothing before the replaced place except a match
        // that ends inside the replacement, so the search resumes just before it.
        from =
            rescan ? (at >= find.size() - 1 ? at - (find.size() - 1) : 0) : at + replacement.size();
    }
    return text;
}

void ShuffleLines(std::vector<std::string>& lines, ShuffleRandom& random) {
    std::vector<std::string> remaining = std::move(lines);
    lines.clear();
    lines.reserve(remaining.size());
    while (!remaining.empty()) {
        std::uniform_int_distribution<std::size_t> pick(0, remaining.size() - 1);
        const std::size_t index = pick(random);
        lines.push_back(std::move(remaining[index]));
        remaining[index] = std::move(remaining.back());
        remaining.pop_back();
    }
}

void ShuffleDictionary(std::vector<std::string>& lines, ShuffleRandom& random) {
    // Groups of parsed lines by their third field, in the order the fields first appear.
    std::vector<std::vector<std::string>> groups;
    std::unordered_map<std::string, std::size_t> groupOf;
    DictionaryLine parsed;
    for (std::string& line : lines) {
        if (!ParseDictionaryLine(line, parsed)) continue;
        const auto [it, added] = groupOf.try_emplace(parsed.Third, groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(std::move(line));
    }
    lines.clear();
    while (!groups.empty()) {
        std::uniform_int_distribution<std::size_t> pick(0, groups.size() - 1);
        const std::size_t index = pick(random);
        ShuffleLines(groups[index], random);
        for (std::string& line : groups[index])
            lines.push_back(std::move(line));
        groups[index] = std::move(groups.back());
        groups.pop_back();
    }
}

}  // namespace tovrin
