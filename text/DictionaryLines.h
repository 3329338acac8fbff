#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin {

// One parsed line of a dictionary: "first :: second :: third number1 number2 [rest]", where
// " - " and " ; " also count as "::". Texts are Windows-1251.
struct DictionaryLine {
    std::string First;
    std::string Second;  // cleaned of remarks, parentheses and Latin letters
    std::string Third;   // the sound file name for the player's dictionary mode
    int32_t Number1 = -1;
    int32_t Number2 = -1;
};

// Parses one dictionary line into `parsed` (which is reset first). False when a field is
// missing or a number does not convert. Never throws.
bool ParseDictionaryLine(std::string_view line, DictionaryLine& parsed);

// Replaces every occurrence of `find` in `text`, looking again from the start after each
// replacement. An empty `find` changes nothing.
std::string ReplaceAll(std::string text, std::string_view find, std::string_view replacement);

// The pseudo-random source of the shuffles. Left with its fixed default seed, every run
// shuffles alike.
using ShuffleRandom = std::mt19937;

// Puts the lines in random order.
void ShuffleLines(std::vector<std::string>& lines, ShuffleRandom& random);

// Shuffles a dictionary by groups of lines that share their third field: the groups in
// random order, the lines within each group shuffled. Lines that do not parse are dropped.
void ShuffleDictionary(std::vector<std::string>& lines, ShuffleRandom& random);

}  // namespace tovrin
