#pragma once

#include "text/PlayerOptions.h"

namespace tovrin {

enum class Move { ParagraphDown, ParagraphUp, SectionDown, SectionUp };

// Where the player's caret goes for one paragraph or section step from `caret`; the text
// bounds must be set to the document.
const char* MoveTarget(const LayoutParams& layout, Move move, const char* caret);

}  // namespace tovrin
