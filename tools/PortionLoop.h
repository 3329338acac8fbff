#pragma once

#include <functional>

#include "text/Portion.h"

namespace tovrin {

// How cutting a text portion after portion ended.
struct CutOutcome {
    bool Finished = true;              // the last portion reached the end of the text
    const char* Position = nullptr;    // when not finished: where the stalled portion was cut
    const char* PortionEnd = nullptr;  // and where that portion claimed to end
};

// Cuts the text [first, end) from `from` to its end as the player reads it: each portion
// starts where the previous one ended. Every sound portion goes to `take`. Stops without
// taking it at the first portion that does not end past its position inside the text, since
// reading on from there would never finish.
CutOutcome CutToTheEnd(const char* first, const char* end, const char* from,
                       const std::function<Portion(const char*)>& cut,
                       const std::function<void(const Portion&)>& take);

}  // namespace tovrin
