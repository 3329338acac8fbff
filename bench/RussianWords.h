#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovrin::bench {

// Pseudo-Russian text for the benchmarks, made up from Cyrillic syllables by a seeded
// generator: the same seed always gives the same text. Everything is Windows-1251.
class RussianWords {
  public:
    explicit RussianWords(uint32_t seed);

    // One lower-case word of one to four syllables.
    std::string Word();
    // A sentence: capitalised, with an occasional comma or dash, ending in a full stop,
    // question mark or exclamation mark.
    std::string Sentence();

  private:
    uint32_t Next();
    uint32_t Below(uint32_t bound) { return Next() % bound; }

    uint32_t state_;
};

// A document of at least `bytes` bytes in the layout of a typed book: paragraphs whose first
// line is indented by five blanks, lines of at most 68 characters ending in CR LF, words
// hyphenated across line ends now and then, and every thirty paragraphs a heading set off by
// empty lines. It ends with a complete line.
std::string MakeRussianDocument(std::size_t bytes, uint32_t seed);

}  // namespace tovrin::bench
