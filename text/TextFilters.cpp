#include "text/TextFilters.h"

#include "platform/Win1251Case.h"
#include "text/CodePages.h"
#include "text/EngineCommands.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        const auto byte = static_cast<unsigned char>(c);
        if (IsLatinLetterWin1251(byte)) classes[c] = kLatin;
        if (IsCyrillicLetterWin1251(byte)) classes[c] = kCyrillic;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\f') classes[c] = kWhite;
    }
    return classes;
}();

// PackWhiteSpace's view of a byte: a blank, or a byte that ends the stretch kept as it is.
constexpr unsigned kPackBlank = 1;
constexpr unsigned kPackStop = 2;
constexpr auto kPackKinds = [] {
    std::array<unsigned char, 256> kinds{};
    kinds[' '] = kPackBlank;
    for (const unsigned char c : {'\0', '\t', '\n', '\f', '\r'})
        kinds[c] = kPackStop;
    return kinds;
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

#if defined(__SSE2__)
// Sixteen bytes looked at together; bit i of each mask stands for byte i.
class Block16 {
  public:
    explicit Block16(const unsigned char* bytes)
        : bytes_(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes))) {}

    unsigned Letters() const {
        const __m128i cyrillic = AtLeast(0xC0);
        const __m128i yo = Same(_mm_or_si128(bytes_, Splat(0x10)), 0xB8);  // Ё or ё
        const __m128i latinOffset = _mm_sub_epi8(_mm_or_si128(bytes_, Splat(0x20)), Splat('a'));
        const __m128i latin = _mm_cmpeq_epi8(_mm_min_epu8(latinOffset, Splat(25)), latinOffset);
        return Mask(_mm_or_si128(_mm_or_si128(cyrillic, yo), latin));
    }

    unsigned Equal(unsigned char c) const { return Mask(Same(bytes_, c)); }

    // Tabs, line feeds, form feeds and carriage returns.
    unsigned Controls() const {
        return Mask(_mm_or_si128(_mm_or_si128(Same(bytes_, '\t'), Same(bytes_, '\n')),
                                 _mm_or_si128(Same(bytes_, '\f'), Same(bytes_, '\r'))));
    }

  private:
    static __m128i Splat(unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); }
    static __m128i Same(__m128i bytes, unsigned char c) { return _mm_cmpeq_epi8(bytes, Splat(c)); }
    static unsigned Mask(__m128i flags) { return static_cast<unsigned>(_mm_movemask_epi8(flags)); }
    __m128i AtLeast(unsigned char c) const {
        return _mm_cmpeq_epi8(_mm_max_epu8(bytes_, Splat(c)), bytes_);
    }

    __m128i bytes_;
};
constexpr std::size_t kBlock = 16;
#endif

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

// Moves `length` bytes from `from` down to `to` (to <= from); nothing to do while no byte
// has been dropped yet.
void MoveDown(unsigned char* to, const unsigned char* from, std::size_t length) {
    if (to != from && length > 0) std::memmove(to, from, length);
}

const unsigned char* FindByte(const unsigned char* text, char c) {
    return Bytes(std::strchr(reinterpret_cast<const char*>(text), c));
}

// Drops every line that holds only white space, with the line break before it; a blank
// line at the very start goes together with its own line break. Returns the new length.
std::size_t RemoveBlankLines(unsigned char* text) {
    std::size_t write = 0;
    std::size_t lineStart = 0;  // output position just after the last carriage return kept
    const unsigned char* read = text;
    for (;;) {
        // The line's leading white space, up to its first other character.
        while (IsWhiteSpace(*read))
            text[write++] = *read++;
        if (*read == '\0') break;
        if (*read == '\r') {
            write = lineStart;  // a blank line and its break go
            ++read;
            continue;
        }
        // The line holds text: it is kept whole, up to and including its carriage return.
        const unsigned char* lineBreak = FindByte(read, '\r');
        const std::size_t kept = lineBreak ? static_cast<std::size_t>(lineBreak - read) + 1
                                           : std::strlen(reinterpret_cast<const char*>(read));
        MoveDown(text + write, read, kept);
        write += kept;
        read += kept;
        if (!lineBreak) break;
        lineStart = write;
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

// The letters of a spaced run, cleaned where they stand in the text: always zero-terminated
// at `size`, which only ever shrinks.
struct RunText {
    char* data = nullptr;
    std::size_t size = 0;
};

// Removes, in place, every character for which `drop(text, i)` holds; `drop` sees the text
// as it was before the call.
template <typename Drop>
void RemoveWhere(RunText& text, Drop drop) {
    std::size_t write = 0;
    for (std::size_t read = 0; read < text.size; ++read)
        if (!drop(text, read)) text.data[write++] = text.data[read];
    text.size = write;
    text.data[write] = '\0';
}

bool LetterAt(const RunText& text, std::size_t i) {
    return IsLetter(static_cast<unsigned char>(text.data[i]));
}

bool NextIs(const RunText& text, std::size_t i, char c) {
    return i + 1 < text.size && text.data[i + 1] == c;
}

void RemoveAll(RunText& text, char c) {
    RemoveWhere(text, [c](const RunText& t, std::size_t i) { return t.data[i] == c; });
}

// A single separator goes, a doubled one (a word gap) is kept once; if the letters are still
// spaced after that, every separator goes.
void RemoveSingleSeparators(RunText& text, char separator, int minimumLeft) {
    RemoveWhere(text, [separator](const RunText& t, std::size_t i) {
        return t.data[i] == separator && !NextIs(t, i, separator);
    });
    if (FindSpacedRun(text.data, minimumLeft).found) RemoveAll(text, separator);
}

// Spelt-out letters with other separators ("с.л.о.в.о"): keep letters and whatever stands
// right before a letter; if still spaced, keep letters only.
void RemoveOtherSeparators(RunText& text) {
    RemoveWhere(text, [](const RunText& t, std::size_t i) {
        const bool beforeLetter = i + 1 < t.size && LetterAt(t, i + 1);
        return !LetterAt(t, i) && !beforeLetter;
    });
    if (FindSpacedRun(text.data, 1).found)
        RemoveWhere(text, [](const RunText& t, std::size_t i) { return !LetterAt(t, i); });
}

// Joins the letters of one spaced run, choosing the separator that dominates it.
void CleanSpacedRun(RunText& run, bool joinHyphenated) {
    if (joinHyphenated) run.size = JoinHyphenated(run.data, true);
    std::size_t underscores = 0, hyphens = 0, blanks = 0;
    for (std::size_t i = 0; i < run.size; ++i) {
        underscores += run.data[i] == '_';
        hyphens += run.data[i] == '-';
        blanks += run.data[i] == ' ';
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

// Ends the text at `at` for a while, so that the stretch before it can be cleaned in place
// as a text of its own; the byte comes back when this goes.
class TemporaryEnd {
  public:
    explicit TemporaryEnd(char* at) : at_(at), saved_(*at) { *at = '\0'; }
    ~TemporaryEnd() { *at_ = saved_; }
    TemporaryEnd(const TemporaryEnd&) = delete;
    TemporaryEnd& operator=(const TemporaryEnd&) = delete;

  private:
    char* at_;
    char saved_;
};

// Cleans the spaced run of `length` bytes at `at` in place; returns the length left.
std::size_t CleanSpacedRunAt(char* at, std::size_t length, bool joinHyphenated) {
    const TemporaryEnd end(at + length);
    RunText run{at, length};
    CleanSpacedRun(run, joinHyphenated);
    return run.size;
}

// The run from `start` to `end`, with the non-letters that follow it.
SpacedRun RunOf(const unsigned char* text, std::size_t start, std::size_t end) {
    std::size_t separatorsEnd = end;
    while (text[separatorsEnd] != '\0' && !IsLetter(text[separatorsEnd]))
        ++separatorsEnd;
    SpacedRun run;
    run.found = true;
    run.start = start;
    run.length = end - start;
    run.lengthWithSeparators = separatorsEnd - start;
    return run;
}

// Length of the stretch from `text` that PackWhiteSpace keeps as it is: no line breaks, tabs,
// form feeds or terminator, and no blank right after another (or after `blankBefore`).
// `length` is the distance to the terminator.
std::size_t PlainPackLength(const unsigned char* text, std::size_t length, bool blankBefore) {
    unsigned blank = blankBefore ? 1 : 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + kBlock <= length; i += kBlock) {
        const Block16 block(text + i);
        const unsigned blanks = block.Equal(' ');
        const unsigned stops = block.Controls() | (blanks & ((blanks << 1) | blank));
        if (stops != 0) return i + static_cast<std::size_t>(std::countr_zero(stops));
        blank = blanks >> (kBlock - 1);
    }
#endif
    for (;; ++i) {
        const unsigned kind = kPackKinds[text[i]];
        if (kind & (kPackStop | blank)) return i;
        blank = kind;
    }
}

// Index of the first one-letter word at or after `from` (the byte before `from` counting as
// a non-letter), or `length`, the terminator's index. Words of two letters or more cannot
// open a spaced run, so they are passed over in blocks, and byte by byte near the end with
// three letter flags in a window.
std::size_t FindSingleLetter(const unsigned char* text, std::size_t from, std::size_t length) {
    std::size_t i = from;
    unsigned window = 0;  // letter flags of the two bytes before i, the nearer in bit 0
#if defined(__SSE2__)
    // A block also looks at the byte after it, at most the terminator.
    for (unsigned letterBefore = 0; i + kBlock <= length; i += kBlock) {
        const unsigned letters = Block16(text + i).Letters();
        const unsigned letterAfter = IsLetter(text[i + kBlock]) ? 1u : 0u;
        const unsigned single = letters & ~((letters << 1) | letterBefore) &
                                ~((letters >> 1) | (letterAfter << (kBlock - 1)));
        if (single != 0) return i + static_cast<std::size_t>(std::countr_zero(single));
        letterBefore = letters >> (kBlock - 1);
        window = ((letters >> (kBlock - 2)) & 1u) << 1 | letterBefore;
    }
#endif
    for (;; ++i) {
        const unsigned char c = text[i];
        window = ((window << 1) | (IsLetter(c) ? 1u : 0u)) & 7u;
        if (window == 2u) return i - 1;  // non-letter, letter, non-letter
        if (c == '\0') return i;
    }
}

// First run of single letters in the `length` bytes at `text`; see FindSpacedRun.
SpacedRun FindSpacedRunIn(const unsigned char* p, std::size_t length, int minimum) {
    if (minimum < 1) minimum = 1;  // a run needs at least one spaced letter after its first
    for (std::size_t from = 0;;) {
        const std::size_t start = FindSingleLetter(p, from, length);
        if (start == length) return {};
        // Single letters after the first one, each after its non-letters.
        int following = 0;
        std::size_t last = start;
        for (std::size_t i = start + 1;; ++i) {
            while (p[i] != '\0' && !IsLetter(p[i]))
                ++i;
            if (p[i] == '\0') return following >= minimum ? RunOf(p, start, last + 1) : SpacedRun{};
            if (IsLetter(p[i + 1])) {
                // A longer word: the run before it counts this word's first letter too.
                if (following + 1 >= minimum) return RunOf(p, start, last + 1);
                from = i;
                break;
            }
            ++following;
            last = i;
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
    // Bytes are only ever moved down, so the terminator stays put until the end.
    const unsigned char* const end = p + std::strlen(text);
    std::size_t write = 0;
    const unsigned char* read = p;
    const auto blankWritten = [&] { return write > 0 && p[write - 1] == ' '; };
    for (;;) {
        const std::size_t plain =
            PlainPackLength(read, static_cast<std::size_t>(end - read), blankWritten());
        MoveDown(p + write, read, plain);
        write += plain;
        read += plain;
        const unsigned char c = *read++;
        if (c == '\0') break;
        // A line feed goes; other white space is a blank, kept unless one was just written.
        if (c != '\n' && !blankWritten()) p[write++] = ' ';
        // After a blank, all further white space goes.
        if (blankWritten())
            while (*read != '\0' && kPackKinds[*read] != 0)
                ++read;
    }
    p[write] = '\0';
    return write;
}

SpacedRun FindSpacedRun(const char* text, int minimum) {
    return FindSpacedRunIn(Bytes(text), std::strlen(text), minimum);
}

void JoinSpacedLetters(char* text, bool joinHyphenated) {
    // Each run keeps its length, so the terminator stays where it is.
    char* const end = text + std::strlen(text);
    for (char* from = text;;) {
        const SpacedRun run = FindSpacedRunIn(Bytes(from), static_cast<std::size_t>(end - from),
                                              kMinimumSpacedLetters);
        if (!run.found) return;
        char* at = from + run.start;
        if (run.length > 1) {
            const std::size_t kept = CleanSpacedRunAt(at, run.length, joinHyphenated);
            // Cleaned letters, then the separators, then blanks: the text keeps its length.
            const std::size_t separators = run.lengthWithSeparators - run.length;
            std::memmove(at + kept, at + run.length, separators);
            std::memset(at + kept + separators, ' ', run.length - kept);
        }
        from = at + run.lengthWithSeparators;
    }
}

}  // namespace tovrin
