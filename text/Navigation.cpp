#include "text/Navigation.h"

#include "text/TextFinder.h"

#include <algorithm>

namespace tovrin {

const char* MoveTarget(const LayoutParams& layout, Move move, const char* caret) {
    const TextBounds& bounds = CurrentTextBounds();
    caret = std::clamp(caret, bounds.First, bounds.End);
    switch (move) {
        case Move::ParagraphUp:
            return FindParagraphStart(layout, caret).Start;
        case Move::SectionUp:
            return FindPreviousSection(layout, caret).Start;
        case Move::ParagraphDown: {
            // From a paragraph's first character the step goes on to the next paragraph.
            const TextRange here = FindParagraph(layout, caret);
            return here.Start == caret ? FindParagraph(layout, here.End).Start : here.Start;
        }
        case Move::SectionDown: {
            const TextRange here = FindNextSection(layout, caret);
            return here.Start == caret ? FindNextSection(layout, here.End).Start : here.Start;
        }
    }
    return caret;
}

}  // namespace tovrin
