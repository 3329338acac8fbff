#include "text/TextFinder.h"

#include <array>
#include <cstring>

namespace tovrin {
namespace {

constexpr char kCr = '\r';

// The line breaks nearest to the last positions asked about, so that stepping through a very
// long line does not search it again from every position. Each holds a line break (or a bound)
// and a stretch next to it known to hold no carriage return. Reset with the bounds.
struct BreakBefore {
    const char* Break = nullptr;    // a carriage return, or the first character
    const char* CleanTo = nullptr;  // no carriage return in (Break, CleanTo]
};
struct BreakAfter {
    const char* CleanFrom = nullptr;  // no carriage return in [CleanFrom, Break)
    const char* Break = nullptr;      // a carriage return, or the end
};
// The last stretch of white space and carriage returns crossed by a page-break skip, so that
// stepping line by line through a long run of empty lines does not cross it again each time.
struct BlankRunAhead {
    const char* From = nullptr;          // [From, To) holds only white space and line breaks
    const char* To = nullptr;            // the first other character, or the end
    const char* LastFormFeed = nullptr;  // the last form feed in [From, To), if any
};
struct BlankRunBehind {
    const char* To = nullptr;             // [To, From] holds only white space and line breaks;
    const char* From = nullptr;           // the character before To is another one
    const char* FirstFormFeed = nullptr;  // the first form feed in [To, From], if any
};
// The library's one piece of state: the bounds, and what is known about the lines near the
// last positions asked about, which belongs to those bounds. Each thread has its own, so a
// worker may cut a copy of a document while the window goes on reading the original.
struct FinderState {
    TextBounds Bounds;
    BreakBefore Before;
    BreakAfter After;
    BlankRunAhead Ahead;
    BlankRunBehind Behind;
};
thread_local FinderState gState;

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f';
}

// The character at p, or 0 at and past the terminator, so no step reads outside the text.
char At(const char* p) {
    return p < gState.Bounds.End ? *p : '\0';
}

bool AtStart(const char* p) {
    return p <= gState.Bounds.First;
}
bool AtEnd(const char* p) {
    return p >= gState.Bounds.End;
}

const char* Clamp(const char* p) {
    if (p < gState.Bounds.First) return gState.Bounds.First;
    if (p > gState.Bounds.End) return gState.Bounds.End;
    return p;
}

// The last carriage return in [first, p], or the first character; p lies before the end.
const char* LastBreakUpTo(const char* p) {
    if (gState.Before.Break && gState.Before.Break <= p) {
        if (p <= gState.Before.CleanTo) return gState.Before.Break;
        const void* found =
            memrchr(gState.Before.CleanTo + 1, kCr, static_cast<size_t>(p - gState.Before.CleanTo));
        if (!found) {
            gState.Before.CleanTo = p;
            return gState.Before.Break;
        }
        gState.Before = {static_cast<const char*>(found), p};
        return gState.Before.Break;
    }
    const void* found =
        memrchr(gState.Bounds.First, kCr, static_cast<size_t>(p - gState.Bounds.First + 1));
    gState.Before = {found ? static_cast<const char*>(found) : gState.Bounds.First, p};
    return gState.Before.Break;
}

// The first carriage return in [p, end), or the end; p lies before the end.
const char* FirstBreakFrom(const char* p) {
    if (gState.After.Break && p <= gState.After.Break) {
        if (p >= gState.After.CleanFrom) return gState.After.Break;
        const void* found = memchr(p, kCr, static_cast<size_t>(gState.After.CleanFrom - p));
        if (!found) {
            gState.After.CleanFrom = p;
            return gState.After.Break;
        }
        gState.After = {p, static_cast<const char*>(found)};
        return gState.After.Break;
    }
    const void* found = memchr(p, kCr, static_cast<size_t>(gState.Bounds.End - p));
    gState.After = {p, found ? static_cast<const char*>(found) : gState.Bounds.End};
    return gState.After.Break;
}

const char* PreviousLineBreak(const char* p) {
    if (AtStart(p)) return gState.Bounds.First;
    if (At(p) == kCr) --p;
    if (p >= gState.Bounds.End) p = gState.Bounds.End - 1;
    return LastBreakUpTo(p);
}

bool IsEmptyFromLineStart(const char* lineStart) {
    return Indentation(lineStart) < 0;
}

bool IsBlank(char c) {
    return IsWhite(c) || c == kCr;
}

// From an empty line over a run of empty lines, kept only when the run holds a form feed.
const char* PageBreakSkipForward(const char* p) {
    if (!IsEmptyLine(p)) return p;
    if (!(gState.Ahead.From && gState.Ahead.From <= p && p <= gState.Ahead.To)) {
        gState.Ahead = {p, p, nullptr};
        for (; !AtEnd(gState.Ahead.To) && IsBlank(*gState.Ahead.To); ++gState.Ahead.To)
            if (*gState.Ahead.To == '\f') gState.Ahead.LastFormFeed = gState.Ahead.To;
    }
    const bool formFeed = gState.Ahead.LastFormFeed && gState.Ahead.LastFormFeed >= p;
    return formFeed && !AtEnd(gState.Ahead.To) ? gState.Ahead.To : p;
}

const char* PageBreakSkipBackward(const char* p) {
    if (!IsEmptyLine(p)) return p;
    if (!(gState.Behind.From && gState.Behind.To <= p && p <= gState.Behind.From)) {
        gState.Behind = {p, p, At(p) == '\f' ? p : nullptr};
        for (; gState.Behind.To > gState.Bounds.First && IsBlank(gState.Behind.To[-1]);
             --gState.Behind.To)
            if (gState.Behind.To[-1] == '\f') gState.Behind.FirstFormFeed = gState.Behind.To - 1;
    }
    const bool formFeed = gState.Behind.FirstFormFeed && gState.Behind.FirstFormFeed <= p;
    return formFeed && !AtStart(gState.Behind.To) ? gState.Behind.To : p;
}

// Counts the empty lines from the line start p down to the next non-empty line, which is left
// in `after`; -1 when the text ends first.
int CountEmptyForward(const char* p, const char*& after) {
    int count = 0;
    while (!AtEnd(p)) {
        if (!IsEmptyFromLineStart(p)) {
            after = p;
            return count;
        }
        ++count;
        p = NextLine(p);
    }
    return -1;
}

// Counts the empty lines above the line start p; `top` is left at the topmost of them (p when
// there are none). -1 when the start of the text comes before a non-empty line.
int CountEmptyBackward(const char* p, const char*& top) {
    int count = 0;
    top = p;
    while (!AtStart(p)) {
        p = PreviousLine(p);
        if (!IsEmptyLine(p)) return count;
        ++count;
        top = p;
    }
    return -1;
}

bool AtLineContentBeginning(const char* p) {
    while (p > gState.Bounds.First && IsWhite(p[-1]))
        --p;
    return p == gState.Bounds.First || p[-1] == kCr;
}

bool StartRule(const char* p, const LineMeasures& m, int32_t abzType) {
    if (abzType == kAbzEachLine) return AtLineContentBeginning(p) && m.Cur >= 0;
    return IsParagraphStart(p, m) && (abzType != 1 || m.Prev < 0);
}

bool EndRule(const char* p, const LineMeasures& m, int32_t abzType) {
    return IsParagraphEnd(p, m) && (abzType != 1 || m.Next < 0);
}

// Whether the body scan of a paragraph goes on over the line that starts at c.
bool ContinuesForward(const char* c, int base, int32_t abzType) {
    if (AtEnd(c)) return false;
    return abzType == 1 ? !IsEmptyFromLineStart(c) : Indentation(c) == base;
}

bool ContinuesBackward(const char* c, int base, int32_t abzType) {
    return abzType == 1 ? !IsEmptyLine(c) : Indentation(LineStart(c)) == base;
}

// The paragraph of a text whose every non-empty line is one: from p to the next line's start,
// or the next non-empty line when p stands on an empty line or after its line's content.
TextRange FindLineParagraph(const char* p) {
    const char* const end = gState.Bounds.End;
    TextRange range{p, p};
    const char* c = p;
    if (Indentation(p) < 0 && !IsEmptyLine(p)) {
        c = LineEnd(p);
        if (AtEnd(c)) return {end, end};
        c = NextLine(c);
    }
    while (!AtEnd(c) && IsEmptyLine(c))
        c = NextLine(c);
    if (AtEnd(c)) return {end, end};
    if (c != p) range.Start = LineStart(c);
    range.End = NextLine(c);
    return range;
}

// The most frequent number of empty lines between the paragraphs of the given form.
int MostCommonGapOfForm(const LayoutParams& layout, const char* text) {
    std::array<int, 257> tally{};
    const char* c = Clamp(text);
    while (!AtEnd(c)) {
        const TextRange paragraph = FindParagraph(layout, c);
        if (AtEnd(paragraph.End)) break;
        const char* after = nullptr;
        const int empty = CountEmptyForward(paragraph.End, after);
        if (empty < 0) break;
        // Runs longer than the tally are not gaps between paragraphs but page fill; skip them.
        if (empty < static_cast<int>(tally.size())) ++tally[empty];
        if (after <= c) break;
        c = after;
    }
    int best = 0;
    for (size_t n = 1; n < tally.size(); ++n)
        if (tally[n] > tally[best]) best = static_cast<int>(n);
    return best;
}

}  // namespace

void SetTextBounds(const char* a, const char* b) {
    gState.Bounds.First = a < b ? a : b;
    gState.Bounds.End = a < b ? b : a;
    gState.Before = {};
    gState.After = {};
    gState.Ahead = {};
    gState.Behind = {};
}

const TextBounds& CurrentTextBounds() {
    return gState.Bounds;
}

const char* LineEnd(const char* p) {
    p = Clamp(p);
    if (AtEnd(p)) return gState.Bounds.End;
    return FirstBreakFrom(p);
}

const char* NextLineStart(const char* p) {
    const char* lineBreak = LineEnd(p);
    if (AtEnd(lineBreak)) return lineBreak;
    p = lineBreak + 1;
    if (At(p) == '\n') ++p;
    // The new line's start is asked for next, and its line break is the one just passed.
    gState.Before = {lineBreak, p - 1};
    return p;
}

const char* LineStart(const char* p) {
    p = Clamp(p);
    if (AtStart(p)) return gState.Bounds.First;
    const char* lineBreak = PreviousLineBreak(p);
    return At(lineBreak) == kCr ? NextLineStart(lineBreak) : lineBreak;
}

const char* NextLine(const char* p) {
    p = NextLineStart(p);
    if (!AtEnd(p)) p = PageBreakSkipForward(p);
    if (!AtEnd(p)) p = LineStart(p);
    return p;
}

const char* PreviousLine(const char* p) {
    p = PreviousLineBreak(Clamp(p));
    if (!AtStart(p)) p = PageBreakSkipBackward(p);
    if (!AtStart(p)) p = LineStart(p);
    return p;
}

bool IsEmptyLine(const char* p) {
    return IsEmptyFromLineStart(LineStart(p));
}

int Indentation(const char* p) {
    p = Clamp(p);
    int width = 0;
    for (; !AtEnd(p); ++p) {
        switch (*p) {
            case ' ':
            case '\f':
                ++width;
                break;
            case '\t':
                width = (width / 8 + 1) * 8;
                break;
            case '\n':
                break;
            case kCr:
                return -1;
            default:
                return width;
        }
    }
    return -1;
}

LineMeasures MeasureLines(const char* p) {
    p = Clamp(p);
    const char* lineStart = LineStart(p);
    LineMeasures m;
    m.Cur = Indentation(lineStart);
    m.Prev = AtStart(lineStart) ? -1 : Indentation(PreviousLine(p));
    m.Next = Indentation(NextLine(p));
    return m;
}

bool IsParagraphStart(const char* p, const LineMeasures& m) {
    if (!AtLineContentBeginning(Clamp(p)) || m.Cur < 0) return false;
    return m.Prev < 0 || m.Prev < m.Cur || (m.Prev == m.Cur && m.Next >= 0 && m.Next < m.Cur);
}

bool IsParagraphEnd(const char* p, const LineMeasures& m) {
    return Indentation(p) < 0 && m.Cur >= 0 && (m.Next < 0 || m.Cur < m.Next);
}

bool IsLineParagraphStart(const char* p) {
    p = Clamp(p);
    return AtLineContentBeginning(p) && !IsEmptyLine(p);
}

bool IsLineParagraphEnd(const char* p) {
    p = Clamp(p);
    return Indentation(p) < 0 || AtLineContentBeginning(p);
}

TextRange FindParagraph(const LayoutParams& layout, const char* p) {
    return FindParagraph(layout, p, -1);
}

TextRange FindParagraph(const LayoutParams& layout, const char* p, ptrdiff_t scanLimit) {
    const char* const end = gState.Bounds.End;
    p = Clamp(p);
    // A line is found whole at once (its end is one memchr away); no limit is needed.
    if (layout.AbzType == kAbzEachLine) return FindLineParagraph(p);
    const char* c = p;
    LineMeasures m = MeasureLines(p);
    TextRange range{p, p};
    bool moved = false;

    if (EndRule(p, m, layout.AbzType)) {
        c = LineEnd(p);
        if (AtEnd(c)) return {end, end};
        c = NextLine(c);
        range.Start = c;
        if (AtEnd(c)) return {end, end};
        m.Cur = Indentation(c);
        moved = true;
    }
    if (m.Cur < 0) {
        while (!AtEnd(c) && IsEmptyLine(c))
            c = NextLine(c);
        if (AtEnd(c)) return {end, end};
        range.Start = c;
        moved = true;
    }
    if (moved) {
        m = MeasureLines(c);
    } else {
        c = LineEnd(p);
        if (AtEnd(c)) return {range.Start, end};
    }

    const int base = m.Next >= 0 && m.Next <= m.Cur ? m.Next : m.Cur;
    const char* limit =
        scanLimit >= 0 && end - range.Start > scanLimit ? range.Start + scanLimit : nullptr;
    do {
        c = NextLine(c);
        // Once a continuing line lies past the limit the paragraph is known to be longer.
        if (limit && c > limit && ContinuesForward(c, base, layout.AbzType))
            return {range.Start, c};
    } while (ContinuesForward(c, base, layout.AbzType));

    if (Indentation(c) >= 0) {
        const int cur = Indentation(LineStart(c));
        // A line of body indentation followed by a shallower one opens the next paragraph.
        if (cur < 0 || (layout.AbzType != 1 && cur < base)) c = PreviousLine(c);
    }
    range.End = c;
    return range;
}

TextStart FindParagraphStart(const LayoutParams& layout, const char* p) {
    return FindParagraphStart(layout, p, nullptr);
}

TextStart FindParagraphStart(const LayoutParams& layout, const char* p, const char* floor) {
    const char* const first = gState.Bounds.First;
    p = Clamp(p);
    const char* c = p;
    LineMeasures m = MeasureLines(p);
    TextStart result{p, p};
    int cur = m.Cur;
    int base = 0;
    bool baseSet = false;

    if (StartRule(p, m, layout.AbzType)) {
        c = LineStart(p);
        result.Aux = c;
        if (AtStart(c)) return {first, first};
        c = PreviousLine(c);
        if (AtStart(c) && IsEmptyLine(c)) return {first, first};
        cur = base = Indentation(LineStart(c));
        baseSet = true;
    }
    if (cur < 0) {
        const char* remembered = c;
        while (!AtStart(c) && IsEmptyLine(c)) {
            remembered = c;
            c = PreviousLine(c);
            // Empty lines reach below the floor: the start and aux both lie there too.
            if (floor && c <= floor && IsEmptyLine(c)) return {c, c};
        }
        if (IsEmptyLine(c)) return {first, first};
        result.Aux = remembered;
        cur = base = Indentation(LineStart(c));
        baseSet = true;
    }
    if (!baseSet) {
        base = cur;
        c = LineStart(c);
        if (AtStart(c)) return {first, result.Aux};
    }
    // Every line is a paragraph: the line reached is the paragraph's first and only line.
    if (layout.AbzType == kAbzEachLine) {
        result.Start = c;
        return result;
    }

    while (!AtStart(c)) {
        c = PreviousLine(c);
        if (!ContinuesBackward(c, base, layout.AbzType)) break;
        // Past the floor the start is known to lie at or before it.
        if (floor && c <= floor) {
            result.Start = c;
            return result;
        }
    }

    if (IsEmptyLine(c)) {
        c = NextLine(c);
    } else {
        const LineMeasures top = MeasureLines(c);
        const bool keep = top.Cur >= 0 && (layout.AbzType == 1 ? top.Prev < 0 : top.Cur >= base);
        if (!keep) c = NextLine(c);
    }
    result.Start = c;
    return result;
}

TextRange FindNextSection(const LayoutParams& layout, const char* p) {
    TextRange paragraph = FindParagraph(layout, p);
    TextRange section = paragraph;
    for (;;) {
        const char* after = nullptr;
        const int empty = CountEmptyForward(paragraph.End, after);
        if (empty < 0) break;
        if (empty >= layout.RazdEmpt) break;
        paragraph = FindParagraph(layout, after);
        if (paragraph.End <= section.End) break;
        section.End = paragraph.End;
    }
    return section;
}

TextStart FindPreviousSection(const LayoutParams& layout, const char* p) {
    TextStart paragraph = FindParagraphStart(layout, p);
    TextStart section = paragraph;
    while (!AtStart(section.Start)) {
        const char* top = nullptr;
        const int empty = CountEmptyBackward(section.Start, top);
        if (empty < 0 || empty >= layout.RazdEmpt) break;
        paragraph = FindParagraphStart(layout, top);
        if (paragraph.Start >= section.Start) break;
        section.Start = paragraph.Start;
    }
    return section;
}

int MostCommonGap(const LayoutParams& layout, const char* text) {
    LayoutParams indented = layout;
    indented.AbzType = kAbzIndented;
    return MostCommonGapOfForm(indented, text);
}

int MostCommonLineGap(const LayoutParams& layout, const char* text) {
    LayoutParams lines = layout;
    lines.AbzType = kAbzEachLine;
    return MostCommonGapOfForm(lines, text);
}

}  // namespace tovrin
