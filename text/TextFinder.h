#pragma once

#include "text/PlayerOptions.h"

#include <cstddef>

namespace tovrin {

// Positions are pointers into the one zero-terminated buffer named by the text bounds; the
// byte offset of a position is `position - CurrentTextBounds().First`.

// The first character and the terminator of the document being worked on.
struct TextBounds {
    const char* First = nullptr;
    const char* End = nullptr;
};

// Sets the library-wide bounds; the smaller position becomes the first character. Owners call
// it before each position-based call, for the buffer whose positions they pass.
void SetTextBounds(const char* a, const char* b);
const TextBounds& CurrentTextBounds();

// Result of the forward searches: a paragraph or section from Start up to End.
struct TextRange {
    const char* Start = nullptr;
    const char* End = nullptr;
};

// Result of the backward searches: the first line start found, and Aux, where the search
// turned back.
struct TextStart {
    const char* Start = nullptr;
    const char* Aux = nullptr;
};

// Indentation of a line and its neighbours; -1 means an empty line or no line.
struct LineMeasures {
    int Cur = -1;
    int Prev = -1;
    int Next = -1;
};

// Line steps; each stops at the bounds.
const char* LineEnd(const char* p);
const char* NextLineStart(const char* p);
const char* LineStart(const char* p);
const char* NextLine(const char* p);
const char* PreviousLine(const char* p);
bool IsEmptyLine(const char* p);

// Indentation of the line part that begins at p: blanks and form feeds count 1, tabs up to the
// next multiple of 8, line feeds 0; -1 when only white space follows on the line.
int Indentation(const char* p);
LineMeasures MeasureLines(const char* p);

// The plain layout tests for indented text, as the portion cutter uses them.
bool IsParagraphStart(const char* p, const LineMeasures& m);
bool IsParagraphEnd(const char* p, const LineMeasures& m);

// The same tests for texts whose every line is a paragraph: p begins a non-empty line's
// content; p begins a line's content or only white space follows it on its line.
bool IsLineParagraphStart(const char* p);
bool IsLineParagraphEnd(const char* p);

TextRange FindParagraph(const LayoutParams& layout, const char* p);
TextStart FindParagraphStart(const LayoutParams& layout, const char* p);

// Bounded forms for cutting portions, so that a document without paragraph marks is not scanned
// whole. The forward search stops once the paragraph is known to run more than `scanLimit`
// bytes past its start and then returns an end beyond that. The backward search stops once the
// start is known to lie at or before `floor` and then returns a start at or before it (and an
// aux at or before it, when the true aux lies there too).
TextRange FindParagraph(const LayoutParams& layout, const char* p, ptrdiff_t scanLimit);
TextStart FindParagraphStart(const LayoutParams& layout, const char* p, const char* floor);
TextRange FindNextSection(const LayoutParams& layout, const char* p);
TextStart FindPreviousSection(const LayoutParams& layout, const char* p);

// The most frequent number of empty lines between the paragraphs that follow `text`
// (counts 0 to 256); the text bounds must cover `text`.
int MostCommonGap(const LayoutParams& layout, const char* text);
// The same between lines: each non-empty line counts as a paragraph.
int MostCommonLineGap(const LayoutParams& layout, const char* text);

}  // namespace tovrin
