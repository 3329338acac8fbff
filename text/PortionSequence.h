#pragma once

#include "text/PlayerOptions.h"
#include "text/Portion.h"

#include <functional>
#include <string>

namespace tovrin {

// How cutting a text portion after portion ended.
struct CutOutcome {
    bool Finished = true;              // the last portion reached the end of the text
    bool Stopped = false;              // the receiver of the portions asked to stop
    const char* Position = nullptr;    // when stalled: where the stalled portion was cut
    const char* PortionEnd = nullptr;  // and where that portion claimed to end

    // The cutter could not move on: the rest of the text was never reached.
    bool Stalled() const { return !Finished && !Stopped; }
};

// Cuts the text [first, end) from `from` to its end as the player reads it: each portion
// starts where the previous one ended. Every sound portion goes to `take`. Stops without
// taking it at the first portion that does not end past its position inside the text, since
// reading on from there would never finish.
CutOutcome CutToTheEnd(const char* first, const char* end, const char* from,
                       const std::function<Portion(const char*)>& cut,
                       const std::function<void(const Portion&)>& take);

// One line saying where a stalled cut stopped, as byte offsets from `first`.
std::string DescribeStall(const CutOutcome& outcome, const char* first);

// Receives a prepared portion and the shares of the text (0..1) read before and after it;
// returns false to stop.
using PortionHandler = std::function<bool(const std::string& text, double from, double to)>;

// Cuts the zero-terminated text [begin, end) from `from` into the portions a player window
// reads, one after another, and hands each one that has something to say to `handle`. The
// outcome says whether the end was reached, the handler stopped it, or the cutter stalled
// (which a caller must treat as a failure: the rest of the text was never read).
CutOutcome ForEachPortion(const char* begin, const char* end, const char* from,
                          const PlayerOptions& options, const PortionHandler& handle);
// The same with the portions cut by `cut` instead of the player's cutter.
CutOutcome ForEachPortion(const char* begin, const char* end, const char* from,
                          const std::function<Portion(const char*)>& cut,
                          const PortionHandler& handle);

}  // namespace tovrin
