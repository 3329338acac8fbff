#include "text/TextFilters.h"

#include "text/CodePages.h"
#include "text/EngineCommands.h"

#include <array>
#include <cstring>
#include <string>

namespace tovrin {
namespace {

constexpr int kMinimumSpacedLetters = 3;
constexpr unsigned char kCyrillicEr = 0xF0;  // р
constexpr unsigned char kCyrillicEn = 0xCD;  // Н

// Character classes looked up by byte: the filters test every byte of every portion.
enum CharClass : unsigned char { kLatin = 1, kCyrillic = 2, kWhite = 4 };
constexpr auto kCharClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) classes[c] = kLatin;
        if (c >= 0xC0 || c == 0xA8 || c == 0xB8) classes[c] = kCyrillic;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\f') classes[c] = kWhite;
    }
    return classes;
}();

bool IsLatinLetter(unsigned char c) {
    return kCharClasses[c] & kLatin;
}
bool IsCyrillicLetter(unsigned char c) {
    return kCharClasses[c] & kCyrillic;
}
bool IsLetter(unsigned char c) {
    return kCharClasses[c] & (kLatin | kCyrillic);
}
bool IsWhiteSpace(unsigned char c) {
    return kCharClasses[c] & kWhite;
}

unsigned char* Bytes(char* text) {
    return reinterpret_cast<unsigned char*>(text);
}
const unsigned char* Bytes(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

void ReplaceAllBytes(char* text, char from, char to) {
    for (char* p = text; (p = std::strchr(p, from)) != nullptr; ++p)
        *p = to;
}

bool IsPH(unsigned char c) {
    return c == 'p' || c == 'H';
}
unsigned char RussianPH(unsigned char c) {
    return c == 'p' ? kCyrillicEr : kCyrillicEn;
}

// Drops every line that holds only white space, with the line break before it; a blank
// line at the very start goes together with its own line break. Returns the new length.
std::size_t RemoveBlankLines(unsigned char* text) {
    std::size_t write = 0;
    std::size_t lineStart = 0;  // output position just after the last carriage return kept
    bool lineBlank = true;
    for (const unsigned char* read = text; *read != '\0'; ++read) {
        const unsigned char c = *read;
        if (c == '\r') {
            if (lineBlank) {
                write = lineStart;
                continue;
            }
            text[write++] = c;
            lineStart = write;
            lineBlank = true;
            continue;
        }
        text[write++] = c;
        if (!IsWhiteSpace(c)) lineBlank = false;
    }
    text[write] = '\0';
    return write;
}

// Where a hyphen at the end of a line stands while the walk looks for the word's rest.
enum class HyphenState {
    Idle,
    Hyphen,            // "-" right after a letter
    SpaceAfterHyphen,  // white space after that hyphen
    BreakAfterHyphen,  // a carriage return after the hyphen
    SpaceAfterBreak    // white space after that carriage return
};

std::size_t JoinBrokenWords(unsigned char* text, bool withBlank) {
    HyphenState state = HyphenState::Idle;
    std::size_t write = 0;
    std::size_t hyphenAt = 0;
    unsigned char previous = 0;
    for (const unsigned char* read = text; *read != '\0'; ++read) {
        if (state == HyphenState::Idle) {
            // Idle, nothing but a hyphen changes the text: copy up to the next one at once.
            const char* hyphen = std::strchr(reinterpret_cast<const char*>(read), '-');
            const std::size_t plain = hyphen ? static_cast<std::size_t>(Bytes(hyphen) - read)
                                             : std::strlen(reinterpret_cast<const char*>(read));
            if (plain > 0) {
                std::memmove(text + write, read, plain);
                write += plain;
                read += plain;
                previous = read[-1];
            }
            if (*read == '\0') break;
        }
        const unsigned char c = *read;
        if (c == '-') {
            state = IsLetter(previous) ? HyphenState::Hyphen : HyphenState::Idle;
            hyphenAt = write;
        } else if (IsWhiteSpace(c)) {
            if (state == HyphenState::Hyphen) state = HyphenState::SpaceAfterHyphen;
            if (state == HyphenState::BreakAfterHyphen) state = HyphenState::SpaceAfterBreak;
        } else if (c == '\r') {
            state = state == HyphenState::Idle ? HyphenState::Idle : HyphenState::BreakAfterHyphen;
        } else if (IsLetter(c)) {
            // A letter on the hyphen's own line ends its chance ("какой-то"); one on the
            // next line continues the broken word.
            if (state == HyphenState::BreakAfterHyphen || state == HyphenState::SpaceAfterBreak) {
                write = hyphenAt;
                if (withBlank) text[write++] = ' ';
            }
            state = HyphenState::Idle;
        } else {
            state = HyphenState::Idle;
        }
        text[write++] = c;
        previous = c;
    }
    text[write] = '\0';
    return write;
}

// Removes, in place, every character for which `drop(text, i)` holds; `drop` sees the text
// as it was before the call. Returns the new length.
template <typename Drop>
std::size_t RemoveWhere(std::string& text, Drop drop) {
    std::size_t write = 0;
    for (std::size_t read = 0; read < text.size(); ++read)
        if (!drop(text, read)) text[write++] = text[read];
    text.resize(write);
    return write;
}

bool NextIs(const std::string& text, std::size_t i, char c) {
    return i + 1 < text.size() && text[i + 1] == c;
}

void RemoveAll(std::string& text, char c) {
    RemoveWhere(text, [c](const std::string& t, std::size_t i) { return t[i] == c; });
}

// A single separator goes, a doubled one (a word gap) is kept once; if the letters are still
// spaced after that, every separator goes.
void RemoveSingleSeparators(std::string& text, char separator, int minimumLeft) {
    RemoveWhere(text, [separator](const std::string& t, std::size_t i) {
        return t[i] == separator && !NextIs(t, i, separator);
    });
    if (FindSpacedRun(text.c_str(), minimumLeft).found) RemoveAll(text, separator);
}

// Spelt-out letters with other separators ("с.л.о.в.о"): keep letters and whatever stands
// right before a letter; if still spaced, keep letters only.
void RemoveOtherSeparators(std::string& text) {
    RemoveWhere(text, [](const std::string& t, std::size_t i) {
        const bool beforeLetter =
            i + 1 < t.size() && IsLetter(static_cast<unsigned char>(t[i + 1]));
        return !IsLetter(static_cast<unsigned char>(t[i])) && !beforeLetter;
    });
    if (FindSpacedRun(text.c_str(), 1).found) {
        RemoveWhere(text, [](const std::string& t, std::size_t i) {
            return !IsLetter(static_cast<unsigned char>(t[i]));
        });
    }
}

// Joins the letters of one spaced run, choosing the separator that dominates it.
void CleanSpacedRun(std::string& run, bool joinHyphenated) {
    if (joinHyphenated) run.resize(JoinHyphenated(run.data(), true));
    std::size_t underscores = 0, hyphens = 0, blanks = 0;
    for (char c : run) {
        underscores += c == '_';
        hyphens += c == '-';
        blanks += c == ' ';
    }
    if (hyphens > underscores && hyphens > blanks) {
        RemoveAll(run, '-');
    } else if (underscores > hyphens && underscores > blanks) {
        RemoveSingleSeparators(run, '_', kMinimumSpacedLetters);
    } else if (blanks >= hyphens && blanks >= underscores) {
        if (hyphens > 0) {
            RemoveAll(run, '-');
        } else if (underscores > 0) {
            RemoveSingleSeparators(run, '_', kMinimumSpacedLetters);
        } else if (blanks > 0) {
            RemoveSingleSeparators(run, ' ', 1);
        } else {
            RemoveOtherSeparators(run);
        }
    }
}

}  // namespace

std::size_t CleanText(const PlayerOptions& options, char* text) {
    RecodeToWindows(options.CodePage, text);
    if (options.Dcd_pH &&
        (options.CodePage == kCodePageWindows || options.CodePage == kCodePageDos))
        RussifyPH(text);
    if (options.Dcd_NoUdar) ReplaceStressMarks(text);
    if (options.Dcd_NoCommand) RemoveEngineCommands(text);
    if (options.Dcd_NoChar) JoinSpacedLetters(text, options.Dcd_NoPeren);
    if (options.Dcd_NoPeren) return JoinHyphenated(text, false);
    return std::strlen(text);
}

void RussifyPH(char* text) {
    unsigned char* p = Bytes(text);
    if (*p == '\0') return;
    if (IsPH(p[0]) && !IsLatinLetter(p[1])) p[0] = RussianPH(p[0]);
    // Each test sees the previous character as already replaced, so "Hp" after a Russian
    // letter becomes Russian throughout.
    for (std::size_t i = 1; p[i] != '\0'; ++i) {
        if (!IsPH(p[i])) continue;
        const unsigned char before = p[i - 1], after = p[i + 1];
        const bool amongLatin = !IsCyrillicLetter(before) && !IsCyrillicLetter(after) &&
                                (IsLatinLetter(before) || IsLatinLetter(after));
        if (!amongLatin) p[i] = RussianPH(p[i]);
    }
}

void ReplaceStressMarks(char* text) {
    ReplaceAllBytes(text, '\'', '"');
}

void RemoveEngineCommands(char* text) {
    ReplaceAllBytes(text, '<', ' ');
    ReplaceAllBytes(text, '>', ' ');
    StripCommands(text);
}

std::size_t JoinHyphenated(char* text, bool withBlank) {
    RemoveBlankLines(Bytes(text));
    return JoinBrokenWords(Bytes(text), withBlank);
}

std::size_t PackWhiteSpace(char* text) {
    unsigned char* p = Bytes(text);
    std::size_t write = 0;
    for (const unsigned char* read = p; *read != '\0'; ++read) {
        unsigned char c = *read;
        if (c == '\n') continue;
        if (c == '\t' || c == '\f' || c == '\r') c = ' ';
        if (c == ' ' && write > 0 && p[write - 1] == ' ') continue;
        p[write++] = c;
    }
    p[write] = '\0';
    return write;
}

SpacedRun FindSpacedRun(const char* text, int minimum) {
    // States: 0 inside a word, 1 before a letter, 2 on a letter of the run, 3 after its
    // separator.
    if (minimum < 1) minimum = 1;  // a run needs at least one spaced letter after its first
    const unsigned char* p = Bytes(text);
    int state = 1;
    int count = 0;
    bool started = false;
    std::size_t start = 0;
    std::size_t lastLetter = 0, letterBefore = 0;  // the run's two latest single letters
    bool endedOnPair = false;
    std::size_t i = 0;
    for (; p[i] != '\0'; ++i) {
        if (!IsLetter(p[i])) {
            if (state == 0) state = 1;
            if (state == 2) state = 3;
            continue;
        }
        if (state == 1) {
            started = true;
            start = lastLetter = i;
            state = 2;
        } else if (state == 2) {
            if (count >= minimum) {
                endedOnPair = true;
                break;
            }
            started = false;
            count = 0;
            state = 0;
        } else if (state == 3) {
            ++count;
            letterBefore = lastLetter;
            lastLetter = i;
            state = 2;
        }
    }
    SpacedRun run;
    if (!started || count < minimum) return run;
    // On a pair of adjacent letters, the first one opens the next word.
    const std::size_t end = (endedOnPair ? letterBefore : lastLetter) + 1;
    std::size_t separatorsEnd = end;
    while (p[separatorsEnd] != '\0' && !IsLetter(p[separatorsEnd]))
        ++separatorsEnd;
    run.found = true;
    run.start = start;
    run.length = end - start;
    run.lengthWithSeparators = separatorsEnd - start;
    return run;
}

void JoinSpacedLetters(char* text, bool joinHyphenated) {
    for (char* from = text;;) {
        const SpacedRun run = FindSpacedRun(from, kMinimumSpacedLetters);
        if (!run.found) return;
        char* at = from + run.start;
        if (run.length > 1) {
            std::string letters(at, run.length);
            CleanSpacedRun(letters, joinHyphenated);
            // Cleaned letters, then the separators, then blanks: the text keeps its length.
            const std::size_t separators = run.lengthWithSeparators - run.length;
            std::memmove(at + letters.size(), at + run.length, separators);
            std::memcpy(at, letters.data(), letters.size());
            std::memset(at + letters.size() + separators, ' ', run.length - letters.size());
        }
        from = at + run.lengthWithSeparators;
    }
}

}  // namespace tovrin
