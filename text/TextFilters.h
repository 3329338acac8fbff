#pragma once

#include <cstddef>

#include "text/PlayerOptions.h"

namespace tovrin {

// The cleaning chain run over every portion before it goes to the engine, each step switched
// by a flag of `options`: recoding from options.CodePage to Windows-1251, RussifyPH, stress
// quotes, engine commands, letter-spacing, hyphenation. Works in place on a zero-terminated
// buffer; returns the new length (never longer than before).
std::size_t CleanText(const PlayerOptions& options, char* text);

// Latin "p" and "H" standing among Cyrillic letters become Cyrillic "р" and "Н".
void RussifyPH(char* text);

// Every single quote (a stress mark) becomes a double quote.
void ReplaceStressMarks(char* text);

// Every "<" and ">" becomes a blank, then StripCommands runs.
void RemoveEngineCommands(char* text);

// Removes lines of only white space and joins words hyphenated across line ends, with one
// blank at the join when `withBlank`. Returns the new length (never longer than before).
std::size_t JoinHyphenated(char* text, bool withBlank);

// Turns the text into one line: tabs, form feeds and carriage returns become blanks, line
// feeds go, runs of blanks become one blank. Returns the new length.
std::size_t PackWhiteSpace(char* text);

// A run of single letters separated by non-letters ("с л о в о"), as offsets into the text.
struct SpacedRun {
    bool found = false;
    std::size_t start = 0;
    std::size_t length = 0;                // up to and including the last spaced letter
    std::size_t lengthWithSeparators = 0;  // plus the non-letters that follow it
};

// Finds the first spaced run with at least `minimum` spaced letters after its first one.
SpacedRun FindSpacedRun(const char* text, int minimum);

// Joins letter-spaced words in place; the text keeps its length (freed places become
// blanks). `joinHyphenated` runs JoinHyphenated with blank over each run first.
void JoinSpacedLetters(char* text, bool joinHyphenated);

}  // namespace tovrin
